// Escaping names for printing and for lists.
#include "escape.h"

#include <cstdio>

namespace common {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int hex_value(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

}  // namespace

std::string escape_name(std::string_view name, bool ascii_only) {
  std::string escaped;
  for (const char ch : name) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7F || (ascii_only && byte >= 0x80)) {
      static constexpr char kLowerHex[] = "0123456789abcdef";
      escaped += "\\x";
      escaped += kLowerHex[byte >> 4];
      escaped += kLowerHex[byte & 0xF];
    } else {
      escaped += ch;
    }
  }
  return escaped;
}

size_t utf8_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  // The sequence's length, and the range its second byte must lie in (which rules out overlong
  // forms, surrogates and code points past U+10FFFF).
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (length == 0 || at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

std::string encode_token(std::string_view bytes) {
  if (bytes.empty()) return "%-";
  std::string token;
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const size_t length = utf8_length(bytes, i);
    if (byte <= 0x20 || byte == 0x7F || byte == '%' || length == 0) {
      token += '%';
      token += kHex[byte >> 4];
      token += kHex[byte & 0xF];
      ++i;
    } else {
      token.append(bytes.substr(i, length));
      i += length;
    }
  }
  return token;
}

bool decode_token(std::string_view token, std::string& bytes) {
  bytes.clear();
  if (token == "%-") return true;
  for (size_t i = 0; i < token.size(); ++i) {
    if (token[i] != '%') {
      bytes += token[i];
      continue;
    }
    const int high = i + 2 < token.size() ? hex_value(token[i + 1]) : -1;
    const int low = i + 2 < token.size() ? hex_value(token[i + 2]) : -1;
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::string json_string(std::string_view bytes) {
  std::string out = "\"";
  char code[8];
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const size_t length = utf8_length(bytes, i);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte == 0x7F || length == 0) {
      std::snprintf(code, sizeof code, "\\u%04X", length == 0 ? 0xDC00 + byte : byte);
      out += code;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    ++i;
  }
  return out + "\"";
}

}  // namespace common
