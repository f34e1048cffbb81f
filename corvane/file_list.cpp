// Scanning the file list.
#include "file_list.h"

namespace corvane {
namespace {

// Whitespace as the C locale defines it; never the locale-dependent isspace.
bool is_space(int ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

}  // namespace

ScanResult scan_entry(std::FILE* list, ListEntry& entry) {
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
      token.push_back(static_cast<char>(ch));
      ch = std::getc(list);
    } while (ch != EOF && !is_space(ch));
    entry.path = std::move(token);
    while (ch != EOF && is_space(ch)) ch = std::getc(list);
    if (ch != EOF) std::ungetc(ch, list);
  }
  return std::ferror(list) ? ScanResult::kReadError : ScanResult::kEntry;
}

}  // namespace corvane
