// The platform's files and folders as both programs need them, with 64-bit sizes and positions
// on every platform. Writing goes through output.h, which builds on the calls at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace common {

// What tells one file from every other: its device (or volume) and its number there.
struct FileId {
  uint64_t device = 0;
  uint64_t number = 0;
  bool operator==(const FileId&) const = default;
};

// Opens the file at `path` for reading without waiting on it (a FIFO with no writer, a device
// that blocks on open), then reads from it as usual. With `await_writer`, a FIFO is then waited
// on until its writer has written or gone, as a pipe is read; without, it reads as empty.
// `text` reads a list as the platform's text files are written. Empty pointer on failure.
std::FILE* open_input(const char* path, bool await_writer = false, bool text = false);

// The identity of the file open as `stream`; false when it cannot be had.
bool identify(std::FILE* stream, FileId& id);

// The identity of the file at `path`, following links; false when nothing is there.
bool identify_file(const char* path, FileId& id);

// Length in bytes of the regular file open as `stream`, or -1 when it is anything else (a
// directory, a device, a pipe) or cannot be queried. The stream's position is not touched.
int64_t regular_file_size(std::FILE* stream);

// Length in bytes of the regular file at `path`, following links, or -1 as above. A FIFO there
// is not opened, so it is no wait.
int64_t regular_file_size(const char* path);

// Moves `stream` to the absolute byte `offset`; false when it cannot (a pipe, say).
bool seek_to(std::FILE* stream, int64_t offset);

// Reads up to `count` bytes at the absolute byte `offset` of the file open as `stream`, without
// moving its position, so that several threads may read one file at once; returns how many,
// fewer at the end of the file or on an error.
size_t read_at(std::FILE* stream, int64_t offset, uint8_t* bytes, size_t count);

// True when `stream` is a terminal.
bool is_terminal(std::FILE* stream);

// True when the platform will not take `name` as a file's name in a folder, or takes it as
// something else: never on POSIX systems; on Windows a name holding one of : * ? " < > |,
// ending in a dot or a space, or naming a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to
// LPT9, whatever extension follows).
bool platform_reserves(std::string_view name);

// True when the platform's file names fold letter case (Windows), so that two names that differ
// only in case are one file.
bool platform_folds_case();

// A folder held open for the whole run: files are created in it by name relative to it, so
// that the folder cannot be swapped for another (or for a link) between one file and the next.
struct Folder {
  int fd = -1;             // POSIX: the open folder
  std::string path;        // as given or made: for messages, and for the Windows calls
  void* handle = nullptr;  // Windows: the folder held open without delete sharing
};

enum class FolderError {
  kNone,
  kMissingParent,  // a folder on the way is missing and was not to be created
  kNotAFolder,     // a file, or a link where no link may be followed, stands in the way
  kDenied,         // the system refused (permissions, read-only file system, ...)
  kOther,
};

// Why a folder could not be had, in words for a message.
const char* folder_reason(FolderError error);

// Opens the folder at `path` as typed, links followed; with `create`, makes it first when it
// is missing, and every folder on the way to it, as mkdir -p does.
FolderError open_folder(const char* path, bool create, Folder& folder);

// Opens the folder `name` inside `parent`, making it when missing; never through a link.
FolderError open_subfolder(const Folder& parent, std::string_view name, Folder& folder);

void close_folder(Folder& folder);

// The identity of an open folder.
bool identify_folder(const Folder& folder, FileId& id);

// What stands at `name` in `folder`, without following a link there.
struct Standing {
  bool exists = false;
  bool plain = false;  // a regular file with no other name
  FileId id;
};
Standing look_in(const Folder& folder, std::string_view name);

// Creates `name` in `folder` for writing, never through a link: nothing may stand there yet.
// Returns a descriptor, or -1; `exists` says whether something stood in the way.
int create_in(const Folder& folder, std::string_view name, bool& exists);

// Moves `from` over `to` in `folder` in one step, replacing what `to` names (never what a link
// there points to).
bool rename_in(const Folder& folder, std::string_view from, std::string_view to);

// Removes the file `name` in `folder`.
bool remove_in(const Folder& folder, std::string_view name);

// Opens the file at the typed `path` for writing, links followed, without waiting on it and
// without emptying it; -1 on failure.
int open_typed(const char* path);

// The identity of the file open as `fd`, and whether it is a regular file.
bool identify_fd(int fd, FileId& id, bool& regular);

// The length of the regular file open as `fd`; false when it has none.
bool file_length(int fd, int64_t& length);

// Cuts the file open as `fd` to `length` bytes; false when it cannot.
bool truncate_fd(int fd, int64_t length);

// Writes all `count` bytes at `bytes` to `fd`, at `offset` when it is not negative; false when
// any of them could not be written. `done`, when given, receives how many were.
bool write_fd(int fd, const uint8_t* bytes, size_t count, int64_t offset = -1,
              size_t* done = nullptr);

bool close_fd(int fd);

// Takes the advisory lock on the whole file open as `fd`, calling `on_wait` first when another
// process holds it, and waiting for it; held until `fd` is closed. False when the lock cannot
// be had at all.
bool lock_fd(int fd, const std::function<void()>& on_wait);

// The folder that holds the file at the typed `path` (links in it followed, as a program that
// writes through them would) and the file's own name there.
bool split_typed_path(const char* path, std::string& folder, std::string& name);

// A name for a temporary file that no other run can pick at the same time.
std::string temporary_name(unsigned serial);

}  // namespace common
