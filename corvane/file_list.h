// The file list: entries of a command character and a path, scanned like "%c %s\n".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace corvane {

// A path token longer than this is refused; no file system takes paths anywhere near it.
constexpr size_t kPathLimit = size_t{64} << 10;

// What one scan left: a scan that runs into the end of the list keeps what it did not reach,
// so both start out as a NUL command and an empty path and carry over between scans.
struct ListEntry {
  char command = '\0';
  std::string path;
};

enum class ListError {
  kNone,
  kReadError,    // reading the list failed
  kPathTooLong,  // a path token of more than kPathLimit bytes
};

// Scans the whole list into `entries`, one per scan in the order the entries are dispatched:
// the very next character is the command whatever it is, then optional whitespace, then one
// whitespace-delimited path token, then all whitespace up to the next entry. Scanning goes on
// while the end-of-file indicator is not set, and only a scan that ran into the end of the
// list sets it; a scan cut short keeps the previous command or path, and is dispatched too.
ListError read_list(std::FILE* list, std::vector<ListEntry>& entries);

}  // namespace corvane
