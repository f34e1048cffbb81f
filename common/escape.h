// Names from an archive made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace common {

// `name` with every control byte (0x00 to 0x1F and 0x7F) written as \xNN, so that a name
// cannot move the cursor or send the terminal a command; every other byte as stored. With
// `ascii_only`, bytes from 0x80 up are written as \xNN too.
std::string escape_name(std::string_view name, bool ascii_only = false);

}  // namespace common
