// Reference decoder for the tests: the decoding steps done one at a time through the string
// stack, with the same limits as the fast decoder. The fast decoder must match it byte for
// byte on every stream, corrupt ones included.
#include "reference_codec.h"

#include <array>
#include <cstring>

#include "common/code_stream.h"

namespace reference {
namespace {

using common::kClearCode;
using common::kCodeLimit;
using common::kEndCode;
using common::kFirstStringCode;
using common::kMaxCodeWidth;
using common::kMinCodeWidth;

constexpr size_t kStackSize = 8192;

// The string table: code = prefix string + suffix byte. Codes 0 to 255 are their own byte.
std::array<uint16_t, kCodeLimit> prefix_of;
std::array<uint8_t, kCodeLimit> suffix_of;
// Strings are pushed from their last byte down to their first and copied out in order.
std::array<uint8_t, kStackSize> string_stack;

}  // namespace

int64_t reference_decompress(uint8_t* destination, int64_t capacity, const uint8_t* source,
                             int64_t source_length) {
  // A corrupt stream may walk entries its own segment never defined; clearing the table makes
  // what it decodes to depend on the stream alone, not on what an earlier call left behind.
  prefix_of.fill(0);
  suffix_of.fill(0);

  int64_t pos = 0;
  uint32_t bit_offset = 0;
  uint32_t width = kMinCodeWidth;
  uint32_t mask = (1u << width) - 1;
  uint32_t threshold = 1u << width;
  uint32_t next_code = kFirstStringCode;
  uint32_t previous = 0;
  uint8_t first_byte = 0;
  int64_t count = 0;

  // A code is read only while three bytes remain, which is what lets a reader that has
  // widened before END still find it, or stop cleanly when it cannot.
  auto read_code = [&]() {
    const uint32_t window = static_cast<uint32_t>(source[pos]) |
                            (static_cast<uint32_t>(source[pos + 1]) << 8) |
                            (static_cast<uint32_t>(source[pos + 2]) << 16);
    const uint32_t code = (window >> bit_offset) & mask;
    bit_offset += width;
    pos += bit_offset >> 3;
    bit_offset &= 7;
    return code;
  };

  while (source_length - pos >= 3) {
    uint32_t code = read_code();
    if (code == kEndCode) break;
    if (code == kClearCode) {
      width = kMinCodeWidth;
      mask = (1u << width) - 1;
      threshold = 1u << width;
      next_code = kFirstStringCode;
      if (source_length - pos < 3) break;
      // The code after CLEAR is taken as a literal without testing it for CLEAR or END.
      code = read_code();
      previous = code;
      first_byte = static_cast<uint8_t>(code);
      if (count == capacity) break;
      destination[count++] = first_byte;
      continue;
    }

    const uint32_t current = code;
    size_t top = kStackSize;
    if (code >= next_code) {
      // Not yet defined: in a valid stream this is the code being defined right now, the
      // previous string followed by its own first byte.
      string_stack[--top] = first_byte;
      prefix_of[code] = static_cast<uint16_t>(previous);
      suffix_of[code] = first_byte;
      code = previous;
    }
    while (code > 255) {
      if (top == 1) return count;  // a prefix loop: no valid string is this long
      string_stack[--top] = suffix_of[code];
      code = prefix_of[code];
    }
    first_byte = static_cast<uint8_t>(code);
    string_stack[--top] = first_byte;

    const size_t length = kStackSize - top;
    const size_t room = static_cast<size_t>(capacity - count);
    if (length > room) {
      if (room > 0) std::memcpy(destination + count, string_stack.data() + top, room);
      return capacity;
    }
    std::memcpy(destination + count, string_stack.data() + top, length);
    count += static_cast<int64_t>(length);

    // Definitions past the last code can never be referenced, so they are dropped.
    if (next_code < kCodeLimit) {
      prefix_of[next_code] = static_cast<uint16_t>(previous);
      suffix_of[next_code] = first_byte;
      ++next_code;
    }
    previous = current;
    if (next_code >= threshold && width < kMaxCodeWidth) {
      ++width;
      mask = 2 * mask + 1;
      threshold <<= 1;
    }
  }
  return count;
}

}  // namespace reference
