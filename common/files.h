// File queries and safe file creation both programs need, with 64-bit sizes and positions on
// every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace common {

// Length in bytes of the regular file open as `stream`, or -1 when it is anything else (a
// directory, a device, a pipe) or cannot be queried. The stream's position is not touched.
int64_t regular_file_size(std::FILE* stream);

// Moves `stream` to the absolute byte `offset`; false when it cannot (a pipe, say).
bool seek_to(std::FILE* stream, int64_t offset);

// Cuts the file open as `stream` to `length` bytes; false when it cannot.
bool truncate_file(std::FILE* stream, int64_t length);

// What tells one file from every other: its device (or volume) and its number there.
struct FileId {
  uint64_t device;
  uint64_t number;
  bool operator==(const FileId&) const = default;
};

// The identity of the file at `path`, following links; false when nothing is there.
bool identify_file(const char* path, FileId& id);

// True when both paths name one existing file (through links or different spellings). A path
// that does not exist names no file, so the answer is then false.
bool same_file(const char* a, const char* b);

// Creates the folder at `path` (one level); true also when a folder, or a link to one, is
// already there.
bool make_directory(const char* path);

// Opens a new file at `path` for binary writing, never through a symbolic link or reparse point:
// with `overwrite` false nothing may exist at `path` yet; with it true an existing plain file
// with no other name is emptied, and anything else there (a link, a folder, a device, a file
// with a second name) is refused. Empty pointer on failure.
std::FILE* create_new_file(const char* path, bool overwrite);

// True when the platform will not take `name` as a file's name in a folder, or takes it as
// something else: never on POSIX systems; on Windows a name holding one of : * ? " < > |,
// ending in a dot or a space, or naming a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to
// LPT9, whatever extension follows).
bool platform_reserves(std::string_view name);

enum class NewFile { kWritten, kCannotCreate, kWriteFailed };

// Writes `count` bytes at `bytes` to a new file at `path`, created as create_new_file does.
NewFile write_new_file(const char* path, bool overwrite, const uint8_t* bytes, size_t count);

}  // namespace common
