// The extractor's decoder: a code stream in memory in, the bytes it encodes out.
#pragma once

#include <cstdint>

namespace pellux {

// Decodes the `source_length` bytes of code stream at `source` into `destination`, writing at
// most `capacity` bytes, and returns the count written. A stream that stops early (no END, or
// fewer than 3 bytes left) yields what was decoded so far. Corrupt streams are decoded by the
// same steps as valid ones and never write past the destination or the decoder's own tables:
// output that would pass `capacity` is cut there and decoding stops, and a string whose prefix
// chain is longer than the string stack (only a loop of prefixes in a corrupt stream makes
// one) ends decoding before any of it is written. Allocates nothing; not reentrant, since the
// string table and the string stack are process-wide.
int64_t decompress_buffer(uint8_t* destination, int64_t capacity, const uint8_t* source,
                          int64_t source_length);

}  // namespace pellux
