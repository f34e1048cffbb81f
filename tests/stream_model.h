// An independent model of the code stream for tests: a strict reader that checks a stream's
// layout while decoding it, and a packer for hand-made streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct StreamCode {
  uint32_t code;
  uint32_t width;
};

struct ParsedStream {
  std::vector<StreamCode> codes;  // every code in order, CLEAR and END included
  std::string decoded;
  std::string error;  // empty when the stream is laid out exactly as the format says
};

// Width of a segment's k-th data code (k counts from 1).
uint32_t data_code_width(uint32_t k);

// Reads `stream` strictly: CLEAR first at 9 bits; each data code at the width its count in
// the segment gives and never above the next code to be defined; CLEAR at 12 bits after the
// 3839th data code unless END follows; END at the width of the last data code; zero fill bits
// and no byte after END's last one.
ParsedStream parse_stream(const std::string& stream);

// Packs codes least significant bit first, zero-filling the last byte.
std::string pack_codes(const std::vector<StreamCode>& codes);

// A sequence of `length` bytes in which no pair of neighbours occurs twice, so that every
// data code encodes exactly one byte (up to 65536 bytes).
std::string distinct_pairs(size_t length);

}  // namespace testing_support
