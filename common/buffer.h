// Owned heap buffers that never throw.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

namespace common {

using Bytes = std::unique_ptr<uint8_t[]>;

// An uninitialised buffer of `size` bytes, or an empty pointer when the memory cannot be had.
// A request for 0 bytes succeeds.
inline Bytes allocate_bytes(uint64_t size) {
  if (size > PTRDIFF_MAX) return nullptr;
  return Bytes(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
}

}  // namespace common
