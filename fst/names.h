// Which entries an extraction of many writes, and under which names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fst {

// True when `name` matches `pattern`, where '*' stands for any run of bytes and '?' for any
// one byte, with the ASCII letters A to Z folded to one case, as lookup folds them.
bool matches_pattern(std::string_view pattern, std::string_view name);

// True when `name` can be a file in a folder without leaving it: not empty, not "." or "..",
// no separator, no control byte, and nothing the platform reserves.
bool is_safe_file_name(std::string_view name);

// A stored name as a path inside a folder: its folders and its file, each a safe file name.
// Both `\` and `/` separate; a drive prefix and empty or `.` components are dropped; any other
// component that is not a safe file name (`..`, a control byte, a name the platform reserves) is
// written in an escaped form, each offending byte as %XX, which can neither climb out of the
// folder nor name a device. A name left with no component at all is "(unnamed)".
// The longest part of a safe path, in bytes.
constexpr size_t kMostComponent = 250;

struct SafePath {
  std::vector<std::string> folders;
  std::string file;
  bool changed = false;  // anything but the separators differs from the stored name
};
SafePath safe_path(std::string_view stored);

}  // namespace fst
