// Encoding and decoding through exactly-sized heap buffers, so that the sanitizers see any
// write past the encoder's bound or the decoder's capacity.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// Encodes into a heap buffer of exactly the worst-case bound.
std::string encode(const std::string& input);

// Decodes into a destination of exactly `capacity` bytes.
std::string decode(const std::string& stream, int64_t capacity);

// Text-like bytes: words from a small vocabulary with spaces, punctuation and line breaks.
std::string text_like(size_t length, uint32_t seed);

}  // namespace testing_support
