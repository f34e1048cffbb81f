// Fuzz target: the file-list scanner on arbitrary bytes. Every entry it gives must be one the
// list could have held: a path without whitespace, never longer than the limit, and no more
// entries than the list has bytes, plus the one a list always gives.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "corvane/file_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* list = fmemopen(bytes.data(), bytes.size(), "r");
  if (list == nullptr) return 0;
  std::vector<corvane::ListEntry> entries;
  if (corvane::read_list(list, entries) == corvane::ListError::kNone) {
    if (entries.empty() || entries.size() > size + 1) __builtin_trap();
    for (const corvane::ListEntry& entry : entries) {
      const bool blank = entry.path.find_first_of(" \t\n\v\f\r") != std::string::npos;
      if (blank || entry.path.size() > corvane::kPathLimit) __builtin_trap();
    }
  }
  std::fclose(list);
  return 0;
}
