// Lookup by base name. Two records with one base name: the first in table order wins.
#include "lookup.h"

namespace fst {
namespace {

constexpr size_t kPartLimit = 255;  // name and extension parts are each cut to this length

// ASCII letters only: the lookup must not depend on the locale.
char fold_case(char ch) {
  return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

}  // namespace

bool equal_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold_case(a[i]) != fold_case(b[i])) return false;
  }
  return true;
}

std::string base_name(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);
  const size_t separator = path.find_last_of("\\/");
  if (separator != std::string_view::npos) path.remove_prefix(separator + 1);
  const size_t dot = path.rfind('.');
  const std::string_view name_part = path.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? "" : path.substr(dot);
  std::string base(name_part.substr(0, kPartLimit));
  base += extension.substr(0, kPartLimit);
  return base;
}

int64_t find_record(const Toc& toc, std::string_view requested) {
  const std::string wanted = base_name(requested);
  for (size_t i = 0; i < toc.size(); ++i) {
    if (equal_folded(wanted, base_name(record_name(toc[i])))) return static_cast<int64_t>(i);
  }
  return -1;
}

}  // namespace fst
