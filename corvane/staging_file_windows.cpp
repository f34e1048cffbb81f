// Opening the staging file safely on Windows.
#include "corvane/staging_file.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

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

// Takes the lock on every byte the file can have, held until the process ends; waits, saying
// so, while another run holds it.
bool lock_whole_file(HANDLE file, const char* path) {
  OVERLAPPED from_start{};
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                 &from_start) != 0) {
    return true;
  }
  std::fprintf(stderr, "corvane: waiting for another run in this folder to finish with %s\n", path);
  from_start = OVERLAPPED{};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from_start) != 0;
}

}  // namespace

bool open_staging_file(const char* path, StagingFile& staging) {
  // Opening the reparse point itself lets a planted link be seen and refused, not followed.
  const HANDLE file =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The lock belongs to the open file, which the lock's own handle keeps open after the
  // writing handle, a duplicate, closes. It comes before the emptying: the file may be another
  // run's.
  HANDLE for_writing = nullptr;
  if (!is_plain_file(file) || DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(),
                                              &for_writing, 0, FALSE, DUPLICATE_SAME_ACCESS) == 0) {
    CloseHandle(file);
    return false;
  }
  const int lock = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(for_writing), _O_BINARY);
  if (lock != -1 && fd != -1 && lock_whole_file(file, path) && SetEndOfFile(file) != 0) {
    staging = {fd, lock};
    return true;
  }
  if (lock != -1) _close(lock);
  if (lock == -1) CloseHandle(file);
  if (fd != -1) _close(fd);
  if (fd == -1) CloseHandle(for_writing);
  return false;
}

}  // namespace corvane
