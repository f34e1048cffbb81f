// Straightforward encoder and decoder kept as the reference for the fast ones: same contracts
// as compress_buffer and decompress_buffer.
#pragma once

#include <cstdint>

namespace reference {

int64_t reference_compress(uint8_t* output, const uint8_t* input, int64_t length);

int64_t reference_decompress(uint8_t* destination, int64_t capacity, const uint8_t* source,
                             int64_t source_length);

}  // namespace reference
