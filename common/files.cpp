// File queries with 64-bit sizes and positions.
#include "files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace common {

int64_t regular_file_size(std::FILE* stream) {
  struct stat info {};
  if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool is_directory(std::FILE* stream) {
  struct stat info {};
  return fstat(fileno(stream), &info) == 0 && S_ISDIR(info.st_mode);
}

bool seek_to(std::FILE* stream, int64_t offset) {
  return offset >= 0 && fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool truncate_file(std::FILE* stream, int64_t length) {
  return ftruncate(fileno(stream), static_cast<off_t>(length)) == 0;
}

bool same_file(const char* a, const char* b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace common
