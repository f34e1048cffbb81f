// Scanning the file list.
#include "file_list.h"

#include <new>

namespace corvane {
namespace {

// Whitespace as the C locale defines it; never the locale-dependent isspace.
bool is_space(int ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// One scan of "%c %s\n" into `entry`, which keeps what the scan does not reach.
ListError scan_entry(std::FILE* list, ListEntry& entry) {
  int ch = std::getc(list);
  if (ch != EOF) {
    entry.command = static_cast<char>(ch);
    do {
      ch = std::getc(list);
    } while (ch != EOF && is_space(ch));
  }
  if (ch != EOF) {
    std::string token;
    do {
      if (token.size() == kPathLimit) return ListError::kPathTooLong;
      token.push_back(static_cast<char>(ch));
      ch = std::getc(list);
    } while (ch != EOF && !is_space(ch));
    entry.path = std::move(token);
    while (ch != EOF && is_space(ch)) ch = std::getc(list);
    if (ch != EOF) std::ungetc(ch, list);
  }
  return std::ferror(list) ? ListError::kReadError : ListError::kNone;
}

}  // namespace

ListError read_list(std::FILE* list, std::vector<ListEntry>& entries) {
  ListEntry entry;
  try {
    while (!std::feof(list)) {
      const ListError error = scan_entry(list, entry);
      if (error != ListError::kNone) return error;
      entries.push_back(entry);
    }
  } catch (const std::bad_alloc&) {
    // A list too large to hold cannot be read.
    return ListError::kReadError;
  }
  return ListError::kNone;
}

}  // namespace corvane
