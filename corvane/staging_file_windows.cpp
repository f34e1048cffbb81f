// Opening the staging file safely on Windows.
#include "corvane/staging_file.h"

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace corvane {
namespace {

// A file on disk that is no folder, no link or other reparse point, and has no other name.
bool is_plain_file(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         info.nNumberOfLinks == 1;
}

// Waits for the lock on every byte the file can have, held until the process ends.
bool lock_whole_file(HANDLE file) {
  OVERLAPPED from_start{};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from_start) != 0;
}

}  // namespace

bool open_staging_file(const char* path, StagingFile& staging) {
  // Opening the reparse point itself lets a planted link be seen and refused, not followed.
  const HANDLE file =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The lock belongs to the open file, which the lock's own handle keeps open after the stream's
  // handle, a duplicate, closes. It comes before the emptying: the file may be another run's.
  HANDLE for_stream = nullptr;
  if (!is_plain_file(file) || DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(),
                                              &for_stream, 0, FALSE, DUPLICATE_SAME_ACCESS) == 0) {
    CloseHandle(file);
    return false;
  }
  const int lock = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(for_stream), _O_BINARY);
  std::FILE* stream = nullptr;
  if (lock != -1 && fd != -1 && lock_whole_file(file) && SetEndOfFile(file) != 0) {
    stream = _fdopen(fd, "wb");
  }
  if (stream == nullptr) {
    if (lock != -1) _close(lock);
    if (lock == -1) CloseHandle(file);
    if (fd != -1) _close(fd);
    if (fd == -1) CloseHandle(for_stream);
    return false;
  }
  staging.stream = stream;
  staging.lock = lock;
  return true;
}

}  // namespace corvane
