// An independent model of the code stream, written from the format's rules alone: a
// straightforward encoder that gives each code with its width, and a bit packer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct StreamCode {
  uint32_t code;
  uint32_t width;
};

// Width of a segment's k-th data code (k counts from 1).
uint32_t data_code_width(uint32_t k);

// The codes the format gives for `input`: CLEAR at 9 bits; greedy longest matches over a
// dictionary of strings defined in order from 258; each data code at the width its place in
// the segment gives; after a segment's 3839th data code, CLEAR at 12 bits when more follow;
// END at the width of the last data code.
std::vector<StreamCode> model_codes(const std::string& input);

// Packs codes least significant bit first, zero-filling the last byte.
std::string pack_codes(const std::vector<StreamCode>& codes);

// A sequence of `length` bytes in which no pair of neighbours occurs twice, so that every
// data code encodes exactly one byte (up to 65536 bytes).
std::string distinct_pairs(size_t length);

// Decodes `stream` as a program does in constant memory: the stream given `piece` bytes at a
// time (with what the decoder has not used carried over), the output taken out of a window of
// `window` bytes whenever it pauses, every `pause` bytes, or asks for the window to be written
// out. Returns the bytes and the lzw::DecodeStop, as a number, in `stop`.
std::string decode_in_pieces(const std::string& stream, uint64_t limit, size_t window, size_t piece,
                             size_t pause, int& stop);

struct Decoded {
  std::string bytes;
  int stop;  // the lzw::DecodeStop, as a number
};
// Decodes `stream` into exactly `capacity` bytes in three ways: in one call, one code at a time,
// and as decode_in_pieces does with `window`, `piece` and `pause`. Returns what the steps give;
// `agree` tells whether the other two gave the same bytes and stop.
Decoded decode_three_ways(const std::string& stream, size_t capacity, size_t window, size_t piece,
                          size_t pause, bool& agree);

}  // namespace testing_support
