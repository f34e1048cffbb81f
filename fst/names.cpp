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

namespace {

// The component with every byte that keeps it from being a safe file name escaped: control
// bytes and, when that is not enough (`..`, a reserved name, a trailing dot or space), the
// bytes a platform would object to, then the first byte.
std::string escaped_component(std::string_view component) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto escape = [](unsigned char byte) {
    return std::string{'%', kHex[byte >> 4], kHex[byte & 0xF]};
  };
  std::string out;
  for (const char ch : component) {
    const auto byte = static_cast<unsigned char>(ch);
    // A byte the platform reserves anywhere in a name (the ':' of Windows).
    const bool reserved = common::platform_reserves(std::string{'x', ch, 'x'});
    out += byte < 0x20 || byte == 0x7F || reserved ? escape(byte) : std::string(1, ch);
  }
  if (!out.empty() && (out.back() == '.' || out.back() == ' ')) {
    const auto last = static_cast<unsigned char>(out.back());
    out.pop_back();
    out += escape(last);
  }
  if (!is_safe_file_name(out)) out = escape(static_cast<unsigned char>(out[0])) + out.substr(1);
  return out;
}

}  // namespace

SafePath safe_path(std::string_view stored) {
  SafePath path;
  std::string_view rest = stored;
  if (rest.size() >= 2 && rest[1] == ':') rest.remove_prefix(2);
  std::vector<std::string> parts;
  while (!rest.empty()) {
    const size_t separator = rest.find_first_of("\\/");
    const std::string_view part = rest.substr(0, separator);
    rest.remove_prefix(separator == std::string_view::npos ? rest.size() : separator + 1);
    if (part.empty() || part == ".") continue;
    std::string made = is_safe_file_name(part) ? std::string(part) : escaped_component(part);
    // Escapes make a name up to three times as long: cut, never inside an escape, to leave
    // room for a "~N" within the 255 bytes a file name may have.
    size_t cut = std::min(made.size(), kMostComponent);
    while (cut < made.size() && cut > 0 && made.find('%', cut - 2) < cut) --cut;
    while (cut < made.size() && cut > 0 && (made[cut - 1] == '.' || made[cut - 1] == ' ')) --cut;
    made.resize(cut);
    parts.push_back(made);
  }
  if (parts.empty()) parts.push_back("(unnamed)");
  path.file = parts.back();
  parts.pop_back();
  path.folders = std::move(parts);
  std::string joined;
  for (const std::string& folder : path.folders) joined += folder + "/";
  joined += path.file;
  std::string plain(stored);
  for (char& ch : plain) ch = ch == '\\' ? '/' : ch;
  path.changed = joined != plain;
  return path;
}

}  // namespace fst
