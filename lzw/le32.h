// Little-endian 32-bit words, the only integer encoding in every file the tools read or write.
#pragma once

#include <cstdint>

namespace lzw {

// Reads the word stored at p[0..3], least significant byte first.
constexpr uint32_t get_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Stores `value` at p[0..3], least significant byte first.
constexpr void put_le32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace lzw
