// The file list: entries of a command character and a path, scanned like "%c %s\n".
#pragma once

#include <cstdio>
#include <string>

namespace corvane {

// What the last scan left: a scan that runs into the end of the list keeps what it did not
// reach, so both start out as a NUL command and an empty path and carry over between scans.
struct ListEntry {
  char command = '\0';
  std::string path;
};

enum class ScanResult {
  kEntry,      // an entry to dispatch; the end-of-file indicator may now be set
  kReadError,  // reading the list failed
};

// Scans one entry from `list` into `entry` the way the pattern "%c %s\n" does: the very next
// character is the command whatever it is, then optional whitespace, then one
// whitespace-delimited path token, then all whitespace up to the next entry. The end-of-file
// indicator is set only by a scan that ran into the end of the list.
ScanResult scan_entry(std::FILE* list, ListEntry& entry);

}  // namespace corvane
