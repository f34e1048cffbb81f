// File queries and safe file creation on POSIX systems, with 64-bit sizes and positions.
#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace common {

int64_t regular_file_size(std::FILE* stream) {
  struct stat info {};
  if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool seek_to(std::FILE* stream, int64_t offset) {
  return offset >= 0 && fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool truncate_file(std::FILE* stream, int64_t length) {
  return ftruncate(fileno(stream), static_cast<off_t>(length)) == 0;
}

bool identify_file(const char* path, FileId& id) {
  struct stat info {};
  if (stat(path, &info) != 0) return false;
  id = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  return true;
}

bool same_file(const char* a, const char* b) {
  FileId first{}, second{};
  return identify_file(a, first) && identify_file(b, second) && first == second;
}

bool platform_reserves(std::string_view /*name*/) {
  return false;
}

bool make_directory(const char* path) {
  struct stat info {};
  return mkdir(path, 0777) == 0 ||
         (errno == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode));
}

std::FILE* create_new_file(const char* path, bool overwrite) {
  // Non-blocking, so that a FIFO waiting there cannot hold the run up.
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  if (!overwrite) flags |= O_EXCL;
  const int fd = open(path, flags, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  std::FILE* file = nullptr;
  // A file with another name is refused too: emptying it would empty that other name's file.
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
      ftruncate(fd, 0) == 0) {
    file = fdopen(fd, "wb");
  }
  if (file == nullptr) close(fd);
  return file;
}

}  // namespace common
