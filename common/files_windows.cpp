// Files and folders on Windows, with 64-bit sizes and positions. Paths are UTF-8: the
// programs' manifest makes it the process code page, which the "A" calls and the C runtime use.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "common/files.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace common {
namespace {

HANDLE handle_of_fd(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileId id_of(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber, uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

// The volume and index that identify the file at `path`; `flags` may add that a link there is
// looked at itself. False when nothing is there.
bool identify(const char* path, DWORD flags, BY_HANDLE_FILE_INFORMATION& info) {
  // Backup semantics let a folder be opened too; no access is asked for, only its identity.
  const HANDLE file = CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return known;
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

std::string child(const Folder& folder, std::string_view name) {
  return folder.path + "\\" + std::string(name);
}

FolderError folder_error() {
  switch (GetLastError()) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
      return FolderError::kMissingParent;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
    case ERROR_DIRECTORY:
      return FolderError::kNotAFolder;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FolderError::kDenied;
    default:
      return FolderError::kOther;
  }
}

// Holds the folder at `path` open, without delete sharing, so that it cannot be moved, removed
// or replaced while the run writes into it. `flags` may add that a link there is not followed.
FolderError hold_folder(const std::string& path, DWORD flags, Folder& folder) {
  folder.path = path;
  const HANDLE handle =
      CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return folder_error();
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(handle);
    return FolderError::kNotAFolder;
  }
  folder.handle = handle;
  return FolderError::kNone;
}

}  // namespace

std::FILE* open_input(const char* path, bool /*await_writer*/, bool text) {
  // Nothing a path names makes an open wait here, so the runtime's own open serves.
  return std::fopen(path, text ? "r" : "rb");
}

bool identify(std::FILE* stream, FileId& id) {
  bool regular = false;
  return identify_fd(_fileno(stream), id, regular);
}

bool identify_file(const char* path, FileId& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!identify(path, 0, info)) return false;
  id = id_of(info);
  return true;
}

int64_t regular_file_size(std::FILE* stream) {
  struct _stat64 info {};
  if (_fstat64(_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return info.st_size;
}

int64_t regular_file_size(const char* path) {
  // The runtime's stat describes a link, not the file it names, which the open follows.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!identify(path, 0, info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return -1;
  }
  return static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
}

bool seek_to(std::FILE* stream, int64_t offset) {
  // A pipe accepts any position without moving: it must fail, as it does on POSIX systems.
  return offset >= 0 && GetFileType(handle_of_fd(_fileno(stream))) != FILE_TYPE_PIPE &&
         _fseeki64(stream, offset, SEEK_SET) == 0;
}

size_t read_at(std::FILE* stream, int64_t offset, uint8_t* bytes, size_t count) {
  const HANDLE file = handle_of_fd(_fileno(stream));
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    const uint64_t where = static_cast<uint64_t>(offset) + done;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    const DWORD want = count - done > (1u << 30) ? 1u << 30 : static_cast<DWORD>(count - done);
    DWORD got = 0;
    if (ReadFile(file, bytes + done, want, &got, &at) == 0 || got == 0) break;
    done += got;
  }
  return done;
}

bool is_terminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

bool platform_reserves(std::string_view name) {
  if (name.find_first_of(":*?\"<>|") != std::string_view::npos) return true;
  // Windows drops a trailing dot or space, and gives devices the names below whatever follows.
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) return true;
  // The stem before any extension, without the spaces Windows drops before it ("CON .txt").
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (same_folded(stem, device)) return true;
  }
  // COM1 to COM9 and LPT1 to LPT9, also with the superscript digits 1, 2 and 3 (as UTF-8 or in
  // the ANSI code page).
  const std::string_view number = stem.size() > 3 ? stem.substr(3) : std::string_view();
  const bool port = same_folded(stem.substr(0, 3), "COM") || same_folded(stem.substr(0, 3), "LPT");
  return port && ((number.size() == 1 && number[0] >= '1' && number[0] <= '9') ||
                  number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3" ||
                  number == "\xB9" || number == "\xB2" || number == "\xB3");
}

bool platform_folds_case() {
  return true;
}

FolderError open_folder(const char* path, bool create, Folder& folder) {
  const std::string whole = path;
  if (create) {
    // Every folder on the way, as mkdir -p makes them; the first one may be a drive.
    for (size_t end = whole.find_first_of("\\/", 1);; end = whole.find_first_of("\\/", end + 1)) {
      const std::string part = whole.substr(0, end);
      if (!part.empty() && part.back() != ':' && CreateDirectoryA(part.c_str(), nullptr) == 0 &&
          GetLastError() != ERROR_ALREADY_EXISTS) {
        return folder_error();
      }
      if (end == std::string::npos) break;
    }
  }
  return hold_folder(whole, 0, folder);
}

FolderError open_subfolder(const Folder& parent, std::string_view name, Folder& folder) {
  const std::string path = child(parent, name);
  if (CreateDirectoryA(path.c_str(), nullptr) == 0 && GetLastError() != ERROR_ALREADY_EXISTS) {
    return folder_error();
  }
  return hold_folder(path, FILE_FLAG_OPEN_REPARSE_POINT, folder);
}

bool identify_folder(const Folder& folder, FileId& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(static_cast<HANDLE>(folder.handle), &info) == 0) return false;
  id = id_of(info);
  return true;
}

void close_folder(Folder& folder) {
  if (folder.handle != nullptr) CloseHandle(static_cast<HANDLE>(folder.handle));
  folder.handle = nullptr;
}

Standing look_in(const Folder& folder, std::string_view name) {
  BY_HANDLE_FILE_INFORMATION info{};
  Standing standing;
  if (!identify(child(folder, name).c_str(), FILE_FLAG_OPEN_REPARSE_POINT, info)) return standing;
  standing.exists = true;
  standing.plain =
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
      info.nNumberOfLinks == 1;
  standing.id = id_of(info);
  return standing;
}

int create_in(const Folder& folder, std::string_view name, bool& exists) {
  // CREATE_NEW refuses anything there, a dangling link too.
  const HANDLE file = CreateFileA(child(folder, name).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  exists = file == INVALID_HANDLE_VALUE &&
           (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS);
  if (file == INVALID_HANDLE_VALUE) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (fd == -1) CloseHandle(file);
  return fd;
}

bool rename_in(const Folder& folder, std::string_view from, std::string_view to) {
  return MoveFileExA(child(folder, from).c_str(), child(folder, to).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0;
}

bool remove_in(const Folder& folder, std::string_view name) {
  return DeleteFileA(child(folder, name).c_str()) != 0;
}

int open_typed(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (fd == -1) CloseHandle(file);
  return fd;
}

bool identify_fd(int fd, FileId& id, bool& regular) {
  const HANDLE file = handle_of_fd(fd);
  regular = false;
  id = {};
  // A device (NUL, a console) has no identity that a file could share.
  if (GetFileType(file) != FILE_TYPE_DISK) return file != INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) == 0) return false;
  id = id_of(info);
  regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return true;
}

bool file_length(int fd, int64_t& length) {
  struct _stat64 info {};
  if (_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
  length = info.st_size;
  return true;
}

bool truncate_fd(int fd, int64_t length) {
  // The runtime's _chsize takes a 32-bit length. The position stays where it was, as it does
  // on every platform: only the end moves.
  const HANDLE file = handle_of_fd(fd);
  LARGE_INTEGER position{}, end{};
  end.QuadPart = length;
  return length >= 0 && SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT) != 0 &&
         SetFilePointerEx(file, end, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(file) != 0 &&
         SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != 0;
}

bool write_fd(int fd, const uint8_t* bytes, size_t count, int64_t offset, size_t* done) {
  if (done != nullptr) *done = 0;
  const int64_t position = offset >= 0 ? _telli64(fd) : -1;
  if (offset >= 0 && (position < 0 || _lseeki64(fd, offset, SEEK_SET) < 0)) return false;
  bool ok = true;
  while (ok && count > 0) {
    const unsigned piece = count > (1u << 30) ? 1u << 30 : static_cast<unsigned>(count);
    const int wrote = _write(fd, bytes, piece);
    ok = wrote > 0;
    if (!ok) break;
    bytes += wrote;
    count -= static_cast<size_t>(wrote);
    if (done != nullptr) *done += static_cast<size_t>(wrote);
  }
  // Written at an offset, the file's own position stays where it was.
  if (offset >= 0 && _lseeki64(fd, position, SEEK_SET) < 0) ok = false;
  return ok;
}

bool close_fd(int fd) {
  return _close(fd) == 0;
}

bool lock_fd(int fd, const std::function<void()>& on_wait) {
  const HANDLE file = handle_of_fd(fd);
  OVERLAPPED from_start{};
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                 &from_start) != 0) {
    return true;
  }
  if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) return false;
  on_wait();
  from_start = OVERLAPPED{};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from_start) != 0;
}

bool split_typed_path(const char* path, std::string& folder, std::string& name) {
  std::string target = path;
  // A link the user typed is written through, as copy writes through it: to the file it names.
  const HANDLE file =
      CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char final_path[32768];
    const DWORD length =
        GetFinalPathNameByHandleA(file, final_path, sizeof final_path, VOLUME_NAME_DOS);
    if (length > 0 && length < sizeof final_path) {
      target.assign(final_path, length);
      if (target.rfind("\\\\?\\", 0) == 0) target.erase(0, 4);
    }
    CloseHandle(file);
  }
  const size_t slash = target.find_last_of("\\/");
  folder = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
  if (folder.size() == 2 && folder[1] == ':') folder += "\\";
  name = slash == std::string::npos ? target : target.substr(slash + 1);
  return !name.empty();
}

std::string temporary_name(unsigned serial) {
  return ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial);
}

}  // namespace common
