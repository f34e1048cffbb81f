// Reading a file a list names (a listed file, a manifest's file) whole into memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "buffer.h"
#include "files.h"
#include "output.h"

namespace common {

// A listed file must be addressable with a signed 32-bit size.
constexpr int64_t kListedFileLimit = int64_t{1} << 31;

enum class ListedError {
  kNone,
  kCannotOpen,   // the file cannot be opened
  kNotReadable,  // not a regular file, or reading it failed
  kTooLarge,     // 2 GiB or more
  kNoMemory,     // no memory for its bytes
  kIsOutput,     // it is a file the run writes
};

struct CloseFile {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

struct ListedFile {
  std::unique_ptr<std::FILE, CloseFile> stream;
  FileId id;
  int64_t reported_length = 0;  // the length the file system reports, before reading
  Bytes bytes;
  size_t length = 0;  // bytes read
};

// Opens the listed file at `path` without waiting on it and takes its reported length; refuses
// a file the run writes, what is not a regular file and what is 2 GiB or more, before anything
// is read.
ListedError open_listed_file(const Run& run, const char* path, ListedFile& file);

// Reads the opened file to its end, which may lie before or after its reported length (a file
// that grows or shrinks, or one whose length reads as 0 but holds data), and closes it.
ListedError read_listed_file(ListedFile& file);

// Closes the file if it is still open.
void close_listed_file(ListedFile& file);

}  // namespace common
