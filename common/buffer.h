// Owned heap buffers that never throw.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace common {

struct FreeBytes {
  void operator()(uint8_t* bytes) const { std::free(bytes); }
};
using Bytes = std::unique_ptr<uint8_t[], FreeBytes>;

// An uninitialised buffer of `size` bytes, or an empty pointer when the memory cannot be had.
// A request for 0 bytes succeeds. Large buffers are laid out so that the system can back them
// with large pages where it offers them: one page fault for every 2 MiB, not for every 4 KiB.
Bytes allocate_bytes(uint64_t size);

}  // namespace common
