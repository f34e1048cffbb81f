// Files and folders on POSIX systems, with 64-bit sizes and positions.
#include "files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace common {
namespace {

// Opens `path` without waiting on it, then lets reads block as usual.
int open_now(const char* path, int flags) {
  const int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  const int status = fcntl(fd, F_GETFL);
  if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

FileId id_of(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

FolderError folder_error() {
  switch (errno) {
    case ENOENT:
      return FolderError::kMissingParent;
    case ENOTDIR:
    case ELOOP:
    case EEXIST:
      return FolderError::kNotAFolder;
    case EACCES:
    case EPERM:
    case EROFS:
      return FolderError::kDenied;
    default:
      return FolderError::kOther;
  }
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Makes every folder on the way to `path` that is missing, as typed (links followed).
FolderError make_folders(const std::string& path) {
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    if (!part.empty() && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return folder_error();
    if (end == std::string::npos) return FolderError::kNone;
  }
}

}  // namespace

std::FILE* open_input(const char* path, bool await_writer, bool /*text*/) {
  const int fd = open_now(path, O_RDONLY);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (await_writer && fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) {
    pollfd ready{fd, POLLIN, 0};
    while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
  }
  std::FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) close(fd);
  return stream;
}

bool identify(std::FILE* stream, FileId& id) {
  bool regular = false;
  return identify_fd(fileno(stream), id, regular);
}

bool identify_file(const char* path, FileId& id) {
  struct stat info {};
  if (stat(path, &info) != 0) return false;
  id = id_of(info);
  return true;
}

int64_t regular_file_size(std::FILE* stream) {
  struct stat info {};
  if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

int64_t regular_file_size(const char* path) {
  struct stat info {};
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool seek_to(std::FILE* stream, int64_t offset) {
  return offset >= 0 && fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

size_t read_at(std::FILE* stream, int64_t offset, uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fileno(stream), bytes + done, count - done,
                              static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

bool is_terminal(std::FILE* stream) {
  return isatty(fileno(stream)) == 1;
}

bool platform_reserves(std::string_view /*name*/) {
  return false;
}

bool platform_folds_case() {
  return false;
}

FolderError open_folder(const char* path, bool create, Folder& folder) {
  folder.path = path;
  folder.fd = open(path, kFolderFlags);
  if (folder.fd < 0 && errno == ENOENT && create) {
    const FolderError made = make_folders(folder.path);
    if (made != FolderError::kNone) return made;
    folder.fd = open(path, kFolderFlags);
  }
  return folder.fd < 0 ? folder_error() : FolderError::kNone;
}

FolderError open_subfolder(const Folder& parent, std::string_view name, Folder& folder) {
  const std::string own(name);
  folder.path = parent.path + "/" + own;
  if (mkdirat(parent.fd, own.c_str(), 0777) != 0 && errno != EEXIST) return folder_error();
  folder.fd = openat(parent.fd, own.c_str(), kFolderFlags | O_NOFOLLOW);
  return folder.fd < 0 ? folder_error() : FolderError::kNone;
}

bool identify_folder(const Folder& folder, FileId& id) {
  bool regular = false;
  return identify_fd(folder.fd, id, regular);
}

void close_folder(Folder& folder) {
  if (folder.fd >= 0) close(folder.fd);
  folder.fd = -1;
}

Standing look_in(const Folder& folder, std::string_view name) {
  struct stat info {};
  Standing standing;
  if (fstatat(folder.fd, std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return standing;
  }
  standing.exists = true;
  standing.plain = S_ISREG(info.st_mode) && info.st_nlink == 1;
  standing.id = id_of(info);
  return standing;
}

int create_in(const Folder& folder, std::string_view name, bool& exists) {
  const int fd = openat(folder.fd, std::string(name).c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  exists = fd < 0 && errno == EEXIST;
  return fd;
}

bool rename_in(const Folder& folder, std::string_view from, std::string_view to) {
  return renameat(folder.fd, std::string(from).c_str(), folder.fd, std::string(to).c_str()) == 0;
}

bool remove_in(const Folder& folder, std::string_view name) {
  return unlinkat(folder.fd, std::string(name).c_str(), 0) == 0;
}

int open_typed(const char* path) {
  return open_now(path, O_WRONLY | O_CREAT);
}

bool identify_fd(int fd, FileId& id, bool& regular) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  id = id_of(info);
  regular = S_ISREG(info.st_mode);
  return true;
}

bool file_length(int fd, int64_t& length) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  length = static_cast<int64_t>(info.st_size);
  return true;
}

bool truncate_fd(int fd, int64_t length) {
  return ftruncate(fd, static_cast<off_t>(length)) == 0;
}

bool write_fd(int fd, const uint8_t* bytes, size_t count, int64_t offset, size_t* done) {
  if (done != nullptr) *done = 0;
  while (count > 0) {
    const ssize_t wrote =
        offset < 0 ? write(fd, bytes, count) : pwrite(fd, bytes, count, static_cast<off_t>(offset));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes += wrote;
    count -= static_cast<size_t>(wrote);
    if (done != nullptr) *done += static_cast<size_t>(wrote);
    if (offset >= 0) offset += wrote;
  }
  return true;
}

bool close_fd(int fd) {
  return close(fd) == 0;
}

bool lock_fd(int fd, const std::function<void()>& on_wait) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) return false;
  on_wait();
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool split_typed_path(const char* path, std::string& folder, std::string& name) {
  std::string target = path;
  // A link the user typed is written through, as cp writes through it: to the file it names.
  if (char* real = realpath(path, nullptr); real != nullptr) {
    target = real;
    std::free(real);
  }
  const size_t slash = target.rfind('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  name = slash == std::string::npos ? target : target.substr(slash + 1);
  return !name.empty();
}

std::string temporary_name(unsigned serial) {
  return ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(serial);
}

}  // namespace common
