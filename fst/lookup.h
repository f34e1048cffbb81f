// The lookup of an entry by base name: directories, drive prefix and ASCII case ignored.
#pragma once

#include <string>
#include <string_view>

#include "table.h"

namespace fst {

// The part of a path that lookup compares: drive prefix dropped, final component after the
// last '\' or '/', its name and extension parts (split at the last '.') each cut to 255 bytes.
std::string base_name(std::string_view path);

// True when the two base names are equal with the ASCII letters A to Z folded to one case.
bool equal_folded(std::string_view a, std::string_view b);

// Index of the first record whose base name equals the base name of `requested` with ASCII
// letters folded to one case, or -1 when none does.
int64_t find_record(const Toc& toc, std::string_view requested);

}  // namespace fst
