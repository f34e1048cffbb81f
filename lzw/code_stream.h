// Constants of the variable-width code stream shared by the encoder and the decoder.
#pragma once

#include <cstdint>

namespace lzw {

constexpr uint32_t kClearCode = 256;        // start a new segment: width 9, strings forgotten
constexpr uint32_t kEndCode = 257;          // the stream is complete
constexpr uint32_t kFirstStringCode = 258;  // first code a segment assigns to a string
constexpr uint32_t kMinCodeWidth = 9;
constexpr uint32_t kMaxCodeWidth = 12;
constexpr uint32_t kCodeLimit = 1u << kMaxCodeWidth;  // codes run from 0 to kCodeLimit - 1

// The step that would define code kCodeLimit ends a segment instead, so a segment holds at
// most this many data codes (codes other than CLEAR and END).
constexpr uint32_t kMaxSegmentDataCodes = kCodeLimit - kFirstStringCode + 1;

static_assert(kEndCode == kClearCode + 1);
static_assert(kFirstStringCode == kEndCode + 1);
static_assert((1u << (kMinCodeWidth - 1)) == kClearCode,
              "9 bits are the narrowest width holding CLEAR");
static_assert(kMaxSegmentDataCodes == 3839);

// Worst-case length in bytes of the stream for `input_length` bytes of input. Every data code
// consumes at least one input byte, so there are at most `input_length` of them; add the CLEAR
// that opens the stream, one more CLEAR after every kMaxSegmentDataCodes data codes, and the
// END. No code is wider than kMaxCodeWidth bits. The encoder writes nothing past its stream, so
// an output buffer of exactly this size is enough.
constexpr uint64_t max_stream_size(uint64_t input_length) {
  const uint64_t codes = input_length + 2 + input_length / kMaxSegmentDataCodes;
  return (codes * kMaxCodeWidth + 7) / 8;
}

static_assert(max_stream_size(0) == 3);

}  // namespace lzw
