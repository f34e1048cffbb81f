// Owned heap buffers.
#include "buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace common {
namespace {

constexpr uint64_t kLargePage = uint64_t{2} << 20;

}  // namespace

Bytes allocate_bytes(uint64_t size) {
  if (size > PTRDIFF_MAX - kLargePage) return nullptr;
#if defined(__linux__)
  if (size >= 4 * kLargePage) {
    const uint64_t rounded = (size + kLargePage - 1) / kLargePage * kLargePage;
    void* bytes = std::aligned_alloc(kLargePage, rounded);
    if (bytes != nullptr) madvise(bytes, rounded, MADV_HUGEPAGE);
    return Bytes(static_cast<uint8_t*>(bytes));
  }
#endif
  return Bytes(static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size)));
}

}  // namespace common
