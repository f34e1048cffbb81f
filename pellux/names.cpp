// Patterns and safe file names.
#include "names.h"

#include "lookup.h"

namespace pellux {

bool matches_pattern(std::string_view pattern, std::string_view name) {
  // Greedy with one point to come back to: the latest '*' and where in the name it resumes.
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || equal_folded(pattern.substr(p, 1), name.substr(n, 1)))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool is_safe_file_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char ch : name) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7F || ch == '/' || ch == '\\') return false;
#ifdef _WIN32
    if (ch == ':' || ch == '*' || ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|') {
      return false;
    }
#endif
  }
#ifdef _WIN32
  // Windows drops a trailing dot or space, and gives devices the names below whatever follows.
  if (name.back() == '.' || name.back() == ' ') return false;
  const std::string_view stem = name.substr(0, name.find('.'));
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
    if (equal_folded(stem, device)) return false;
  }
  if (stem.size() == 4 &&
      (equal_folded(stem.substr(0, 3), "COM") || equal_folded(stem.substr(0, 3), "LPT")) &&
      stem[3] >= '1' && stem[3] <= '9') {
    return false;
  }
#endif
  return true;
}

}  // namespace pellux
