// Reference encoder for the tests: the straightforward sibling-chain dictionary and a
// byte-at-a-time code writer. The fast encoder must write exactly what this one writes.
#include "reference_codec.h"

#include <array>

#include "common/code_stream.h"

namespace reference {
namespace {

using common::kClearCode;
using common::kCodeLimit;
using common::kEndCode;
using common::kFirstStringCode;
using common::kMaxCodeWidth;
using common::kMinCodeWidth;

constexpr int32_t kNone = -1;

// The dictionary: each string's children (itself extended by one byte) form a sibling chain
// in order of definition. Codes 0 to 255 are the one-byte roots.
std::array<int32_t, kCodeLimit> first_child;
std::array<int32_t, kCodeLimit> next_sibling;
std::array<uint8_t, kCodeLimit> last_byte;

// Strings 258 and up are initialised when they are defined, so only the roots need clearing.
void reset_dictionary() {
  for (uint32_t code = 0; code < 256; ++code) first_child[code] = kNone;
}

// Packs codes into the output least significant bit first.
struct BitWriter {
  uint8_t* out;
  int64_t pos;
  uint32_t bit_offset;
  uint32_t width;
};

// ORs the code's first bits into the partly used byte and stores the next two bytes outright,
// so every bit above the last code written is zero without clearing the buffer first.
void put_code(BitWriter& w, uint32_t code) {
  const uint32_t v = code << w.bit_offset;
  if (w.bit_offset == 0) {
    w.out[w.pos] = static_cast<uint8_t>(v);
  } else {
    w.out[w.pos] = static_cast<uint8_t>(w.out[w.pos] | static_cast<uint8_t>(v));
  }
  w.out[w.pos + 1] = static_cast<uint8_t>(v >> 8);
  w.out[w.pos + 2] = static_cast<uint8_t>(v >> 16);
  w.bit_offset += w.width;
  w.pos += w.bit_offset >> 3;
  w.bit_offset &= 7;
}

}  // namespace

int64_t reference_compress(uint8_t* output, const uint8_t* input, int64_t length) {
  BitWriter w{output, 0, 0, kMinCodeWidth};
  uint32_t threshold = 1u << kMinCodeWidth;
  reset_dictionary();
  uint32_t next_code = kFirstStringCode;
  put_code(w, kClearCode);

  if (length > 0) {
    const uint8_t* p = input;
    const uint8_t* const end = input + length;
    uint32_t prefix = *p++;
    while (p < end) {
      const uint8_t c = *p++;
      int32_t child = first_child[prefix];
      int32_t last_searched = kNone;
      while (child != kNone && last_byte[static_cast<uint32_t>(child)] != c) {
        last_searched = child;
        child = next_sibling[static_cast<uint32_t>(child)];
      }
      if (child != kNone) {
        prefix = static_cast<uint32_t>(child);
        continue;
      }
      // No match: define prefix + c (unless the segment is full) and emit the prefix.
      const uint32_t defined = next_code;
      if (defined < kCodeLimit) {
        first_child[defined] = kNone;
        next_sibling[defined] = kNone;
        last_byte[defined] = c;
        if (last_searched == kNone) {
          first_child[prefix] = static_cast<int32_t>(defined);
        } else {
          next_sibling[static_cast<uint32_t>(last_searched)] = static_cast<int32_t>(defined);
        }
        next_code = defined + 1;
      }
      put_code(w, prefix);
      if (defined >= threshold) {
        if (w.width < kMaxCodeWidth) {
          ++w.width;
          threshold <<= 1;
        } else {
          // The step that would define code 4096 ends the segment: CLEAR at width 12.
          put_code(w, kClearCode);
          w.width = kMinCodeWidth;
          threshold = 1u << kMinCodeWidth;
          reset_dictionary();
          next_code = kFirstStringCode;
        }
      }
      prefix = c;
    }
    put_code(w, prefix);
  }
  // END goes out at the width of the last data code; a reader that has already widened reads
  // one zero fill bit more, which still gives END.
  put_code(w, kEndCode);
  return w.bit_offset != 0 ? w.pos + 1 : w.pos;
}

}  // namespace reference
