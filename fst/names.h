// Which entries an extraction of many writes, and under which names.
#pragma once

#include <string_view>

namespace fst {

// True when `name` matches `pattern`, where '*' stands for any run of bytes and '?' for any
// one byte, with the ASCII letters A to Z folded to one case, as lookup folds them.
bool matches_pattern(std::string_view pattern, std::string_view name);

// True when `name` can be a file in a folder without leaving it: not empty, not "." or "..",
// no separator, no control byte, and nothing the platform reserves.
bool is_safe_file_name(std::string_view name);

}  // namespace fst
