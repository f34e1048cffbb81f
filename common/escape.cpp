// Escaping names for printing.
#include "escape.h"

namespace common {

std::string escape_name(std::string_view name, bool ascii_only) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  for (const char ch : name) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7F || (ascii_only && byte >= 0x80)) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    } else {
      escaped += ch;
    }
  }
  return escaped;
}

}  // namespace common
