// The builder's encoder: a memory buffer in, a code stream out.
#pragma once

#include <cstdint>

namespace corvane {

// Encodes `length` bytes at `input` (0 allowed) as one code stream written to `output`, which
// must hold common::max_stream_size(length) + 1 bytes: the final write may touch the byte after
// the stream. Returns the stream's length in bytes. Allocates nothing; not reentrant, since the
// dictionary is process-wide.
int64_t compress_buffer(uint8_t* output, const uint8_t* input, int64_t length);

}  // namespace corvane
