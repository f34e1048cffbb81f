// Never-throwing heap buffers and file queries.
#include "support.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace common {

std::unique_ptr<uint8_t[]> allocate_bytes(int64_t size) {
  if (size < 0 || static_cast<uint64_t>(size) > PTRDIFF_MAX) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
}

int64_t stream_length(std::FILE* stream) {
  const long here = std::ftell(stream);
  if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(stream);
  if (std::fseek(stream, here, SEEK_SET) != 0) return -1;
  return length;
}

bool same_file(const char* a, const char* b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace common
