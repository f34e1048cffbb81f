// Names made safe to print on a terminal, and carried exactly through a text file.
#pragma once

#include <string>
#include <string_view>

namespace common {

// `name` with every control byte (0x00 to 0x1F and 0x7F) written as \xNN, so that a name
// cannot move the cursor or send the terminal a command; every other byte as stored. With
// `ascii_only`, bytes from 0x80 up are written as \xNN too.
std::string escape_name(std::string_view name, bool ascii_only = false);

// The length of the valid UTF-8 sequence that starts at `text[at]` (1 for ASCII), or 0 when
// the byte there does not start one.
size_t utf8_length(std::string_view text, size_t at);

// `bytes` as one token of a line in a list: every byte up to the space (0x20), 0x7F, '%', and
// every byte that is not part of valid UTF-8 as %XX (upper-case hex); every other byte as it
// is; no bytes at all as %-. decode_token gives the bytes back exactly.
std::string encode_token(std::string_view bytes);

// The bytes `token` stands for; false when a '%' is not followed by two hex digits.
bool decode_token(std::string_view token, std::string& bytes);

// `bytes` as a JSON string, quotes included. Valid UTF-8 is written as it is, `"`, `\` and
// control bytes as JSON escapes, and each byte that is not part of valid UTF-8 as the lone
// surrogate \uDCXX (XX the byte), as Python's "surrogateescape" does, so that the exact bytes
// come back from any JSON reader that keeps lone surrogates.
std::string json_string(std::string_view bytes);

}  // namespace common
