// File queries and safe file creation on Windows, with 64-bit sizes and positions. Paths are
// UTF-8: the programs' manifest makes it the process code page, which the "A" calls and the C
// runtime's fopen use.
#include "common/files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace common {
namespace {

HANDLE handle_of(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// The volume and index that identify the file at `path`, following links; false when nothing
// is there.
bool identify(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  // Backup semantics let a folder be opened too; no access is asked for, only its identity.
  const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return known;
}

// A file on disk that is no folder, no link or other reparse point, and has no other name.
bool is_plain_file(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         info.nNumberOfLinks == 1;
}

// ASCII letters only, whatever the locale.
bool same_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char ch) {
      return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch;
    };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

int64_t regular_file_size(std::FILE* stream) {
  struct _stat64 info {};
  if (_fstat64(_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return info.st_size;
}

bool seek_to(std::FILE* stream, int64_t offset) {
  // A pipe accepts any position without moving: it must fail, as it does on POSIX systems.
  return offset >= 0 && GetFileType(handle_of(stream)) != FILE_TYPE_PIPE &&
         _fseeki64(stream, offset, SEEK_SET) == 0;
}

bool truncate_file(std::FILE* stream, int64_t length) {
  // The runtime's _chsize takes a 32-bit length. The position stays where it was, as it does
  // on every platform: only the end moves.
  const HANDLE file = handle_of(stream);
  LARGE_INTEGER position{}, end{};
  end.QuadPart = length;
  return length >= 0 && SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT) != 0 &&
         SetFilePointerEx(file, end, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(file) != 0 &&
         SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != 0;
}

bool identify_file(const char* path, FileId& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!identify(path, info)) return false;
  id = {info.dwVolumeSerialNumber, uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
  return true;
}

bool same_file(const char* a, const char* b) {
  FileId first{}, second{};
  return identify_file(a, first) && identify_file(b, second) && first == second;
}

bool platform_reserves(std::string_view name) {
  if (name.find_first_of(":*?\"<>|") != std::string_view::npos) return true;
  // Windows drops a trailing dot or space, and gives devices the names below whatever follows.
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) return true;
  const std::string_view stem = name.substr(0, name.find('.'));
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
    if (same_folded(stem, device)) return true;
  }
  return stem.size() == 4 &&
         (same_folded(stem.substr(0, 3), "COM") || same_folded(stem.substr(0, 3), "LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

bool make_directory(const char* path) {
  if (CreateDirectoryA(path, nullptr) != 0) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::FILE* create_new_file(const char* path, bool overwrite) {
  // CREATE_NEW refuses anything at `path`, a dangling link too. Opening the reparse point itself
  // lets an existing link be seen and refused instead of followed. The C runtime's "x" mode
  // cannot do either: it ignores the "x".
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  overwrite ? OPEN_ALWAYS : CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // Emptied only once it is known to be a plain file; the new handle stands at its start.
  if (!is_plain_file(file) || SetEndOfFile(file) == 0) {
    CloseHandle(file);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (fd == -1) {
    CloseHandle(file);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) _close(fd);
  return stream;
}

}  // namespace common
