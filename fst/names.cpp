// Patterns and safe file names.
#include "names.h"

#include "common/files.h"
#include "lookup.h"

namespace fst {

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
  }
  return !common::platform_reserves(name);
}

}  // namespace fst
