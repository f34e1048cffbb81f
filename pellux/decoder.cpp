// LZW decoder for the code stream.
//
// Every string a segment defines is the previous string followed by one byte, and the
// previous string was just written to the destination followed by the current one. So each
// code's string already lies in the destination: the decoder keeps, for each code, where an
// earlier copy starts and how long it is, and decodes a code by copying that many bytes,
// sixteen at a time. Streams that do something a valid stream never does (a literal above the
// byte range after CLEAR, a code beyond the next one, no CLEAR at the start), and the last
// strings before the destination's capacity, are finished by the decoding steps done one at a
// time: rebuilding each string from its prefix and suffix through a reversal stack. Both ways
// keep the prefix/suffix table, so the second can take over from the first at any code and
// every stream decodes to the same bytes either way.
#include "decoder.h"

#include <array>
#include <cstring>

#include "common/code_stream.h"
#include "common/le32.h"

namespace pellux {
namespace {

using common::kClearCode;
using common::kCodeLimit;
using common::kEndCode;
using common::kFirstStringCode;
using common::kMaxCodeWidth;
using common::kMinCodeWidth;

constexpr size_t kStackSize = 8192;
constexpr size_t kChunk = 16;

// The string table: code = prefix string + suffix byte. Codes 0 to 255 are their own byte.
// The entry past the last code takes definitions that nothing can reference.
std::array<uint16_t, kCodeLimit + 1> prefix_of;
std::array<uint8_t, kCodeLimit + 1> suffix_of;
// Strings are pushed from their last byte down to their first and copied out in order.
std::array<uint8_t, kStackSize> string_stack;

// Where a copy of each code's string lies and how long it is. One entry past the last code
// takes the definition that follows code 4095, which nothing can reference.
std::array<const uint8_t*, kCodeLimit + 1> copy_of;
std::array<uint32_t, kCodeLimit + 1> length_of;

// The one-byte strings, with room for a whole chunk to be read after any of them.
constexpr std::array<uint8_t, 256 + kChunk> make_all_bytes() {
  std::array<uint8_t, 256 + kChunk> bytes{};
  for (size_t i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}
constexpr std::array<uint8_t, 256 + kChunk> kAllBytes = make_all_bytes();

// Decoder state, handed from the fast loop to the steps when they take over.
struct State {
  const uint8_t* source;
  int64_t source_length;
  int64_t pos;  // source byte of the next code
  uint32_t bit_offset;
  uint32_t width;
  uint32_t mask;
  uint32_t threshold;
  uint32_t next_code;
  uint32_t previous;
  uint8_t first_byte;
  uint8_t* destination;
  int64_t capacity;
  int64_t count;
};

// A code is read only while three bytes remain at its start, which is what lets a reader
// that has widened before END still find it, or stop cleanly when it cannot.
inline bool can_read(const State& s) {
  return s.source_length - s.pos >= 3;
}

inline uint32_t read_code(State& s) {
  const uint8_t* at = s.source + s.pos;
  const uint32_t window = static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
                          (static_cast<uint32_t>(at[2]) << 16);
  const uint32_t code = (window >> s.bit_offset) & s.mask;
  s.bit_offset += s.width;
  s.pos += s.bit_offset >> 3;
  s.bit_offset &= 7;
  return code;
}

inline void restart_segment(State& s) {
  s.width = kMinCodeWidth;
  s.mask = (1u << kMinCodeWidth) - 1;
  s.threshold = 1u << kMinCodeWidth;
  s.next_code = kFirstStringCode;
}

// The width grows right after the definition that makes the next code reach 512, 1024, 2048.
inline void widen_if_due(State& s) {
  if (s.next_code >= s.threshold && s.width < kMaxCodeWidth) {
    ++s.width;
    s.mask = 2 * s.mask + 1;
    s.threshold <<= 1;
  }
}

// The decoding steps, one code at a time, from wherever `s` stands. Output that would pass
// the capacity is cut there and decoding stops; a string whose prefix chain is longer than
// the stack (only a loop of prefixes makes one) ends decoding before any of it is written.
int64_t decode_by_steps(State& s) {
  while (can_read(s)) {
    uint32_t code = read_code(s);
    if (code == kEndCode) break;
    if (code == kClearCode) {
      restart_segment(s);
      if (!can_read(s)) break;
      // The code after CLEAR is taken as a literal without testing it for CLEAR or END.
      code = read_code(s);
      s.previous = code;
      s.first_byte = static_cast<uint8_t>(code);
      if (s.count == s.capacity) break;
      s.destination[s.count++] = s.first_byte;
      continue;
    }

    const uint32_t current = code;
    size_t top = kStackSize;
    if (code >= s.next_code) {
      // Not yet defined: in a valid stream this is the code being defined right now, the
      // previous string followed by its own first byte.
      string_stack[--top] = s.first_byte;
      prefix_of[code] = static_cast<uint16_t>(s.previous);
      suffix_of[code] = s.first_byte;
      code = s.previous;
    }
    while (code > 255) {
      if (top == 1) return s.count;  // a prefix loop: no valid string is this long
      string_stack[--top] = suffix_of[code];
      code = prefix_of[code];
    }
    s.first_byte = static_cast<uint8_t>(code);
    string_stack[--top] = s.first_byte;

    const size_t length = kStackSize - top;
    const auto room = static_cast<size_t>(s.capacity - s.count);
    if (length > room) {
      if (room > 0) std::memcpy(s.destination + s.count, string_stack.data() + top, room);
      return s.capacity;
    }
    std::memcpy(s.destination + s.count, string_stack.data() + top, length);
    s.count += static_cast<int64_t>(length);

    // Definitions past the last code can never be referenced, so they are dropped.
    if (s.next_code < kCodeLimit) {
      prefix_of[s.next_code] = static_cast<uint16_t>(s.previous);
      suffix_of[s.next_code] = s.first_byte;
      ++s.next_code;
    }
    s.previous = current;
    widen_if_due(s);
  }
  return s.count;
}

// Where the string decoded last starts in the destination, and its length.
struct LastString {
  const uint8_t* copy;
  uint32_t length;
};

enum class Outcome { kEnded, kStopped, kHandOver };

// Takes the CLEAR that `s` stands at and the literal after it. Hands over, with `s` still at
// the CLEAR, when the literal is one a valid stream never has or does not fit.
Outcome start_segment(State& s, LastString& last) {
  State t = s;
  read_code(t);
  restart_segment(t);
  if (!can_read(t)) {
    s = t;
    return Outcome::kStopped;
  }
  const uint32_t literal = read_code(t);
  if (literal > 255 || t.count == t.capacity) return Outcome::kHandOver;
  t.previous = literal;
  t.first_byte = static_cast<uint8_t>(literal);
  last = {t.destination + t.count, 1};
  t.destination[t.count++] = t.first_byte;
  s = t;
  return Outcome::kEnded;  // the segment has begun
}

// Decodes by copying earlier output for as long as the stream stays valid and the next string
// with a chunk's slack fits the destination. Returns kHandOver with `s` at the first code it
// does not decode, or kStopped when the stream ended.
Outcome decode_by_copies(State& s) {
  LastString last{nullptr, 0};
  if (!can_read(s)) return Outcome::kStopped;
  {
    State t = s;
    if (read_code(t) != kClearCode) return Outcome::kHandOver;  // no CLEAR at the start
  }
  Outcome started = start_segment(s, last);
  if (started != Outcome::kEnded) return started;
  for (uint32_t b = 0; b < 256; ++b) {
    copy_of[b] = &kAllBytes[b];
    length_of[b] = 1;
  }
  for (;;) {
    // The hot state lives in locals for the loop and goes back to `s` when it ends.
    const uint8_t* const source = s.source;
    // Codes are read four bytes at a time while four remain; the last ones are left to the
    // steps, which read exactly the three bytes a code needs.
    const int64_t wide_last = s.source_length - 4;
    int64_t pos = s.pos;
    uint32_t bit_offset = s.bit_offset;
    uint32_t width = s.width;
    uint32_t mask = s.mask;
    uint32_t threshold = s.threshold;
    // The next code at which the width grows; none once it is 12 bits.
    uint32_t widen_at = width < kMaxCodeWidth ? threshold : UINT32_MAX;
    uint32_t next_code = s.next_code;
    uint32_t previous = s.previous;
    uint8_t* to = s.destination + s.count;
    uint8_t* const end = s.destination + s.capacity;
    uint32_t code = 0;
    while (pos <= wide_last) {
      code = (common::get_le32(source + pos) >> bit_offset) & mask;
      if (code - kClearCode < 2) break;  // CLEAR or END
      // The string the next code will be, already in place: the previous string and the
      // first byte of what follows it. A code equal to the next code is exactly that string.
      copy_of[next_code] = last.copy;
      length_of[next_code] = last.length + 1;
      if (code > next_code) break;
      const uint32_t length = length_of[code];
      if (length + kChunk > static_cast<size_t>(end - to)) break;
      const uint8_t* from = copy_of[code];
      // Sixteen bytes at a time, each chunk read whole before it is written. A copy lies
      // wholly before its destination, so every byte a chunk reads is final by then, except
      // in the string that is its own next code: its last byte is its first, which a copy of
      // up to sixteen bytes reads before writing it.
      uint32_t done = 0;
      do {
        uint8_t chunk[kChunk];
        std::memcpy(chunk, from + done, kChunk);
        std::memcpy(to + done, chunk, kChunk);
        done += kChunk;
      } while (done < length);
      if (code == next_code) to[length - 1] = to[0];
      bit_offset += width;
      pos += bit_offset >> 3;
      bit_offset &= 7;
      // Definitions past the last code are dropped: the entry one past the tables' codes
      // takes them, and the next code stays at the limit.
      prefix_of[next_code] = static_cast<uint16_t>(previous);
      suffix_of[next_code] = to[0];
      next_code += next_code < kCodeLimit ? 1 : 0;
      if (next_code == widen_at) {
        ++width;
        mask = 2 * mask + 1;
        threshold <<= 1;
        widen_at = width < kMaxCodeWidth ? threshold : UINT32_MAX;
      }
      previous = code;
      last = {to, length};
      to += length;
    }
    s.pos = pos;
    s.bit_offset = bit_offset;
    s.width = width;
    s.mask = mask;
    s.threshold = threshold;
    s.next_code = next_code;
    s.previous = previous;
    s.first_byte = last.copy[0];
    s.count = to - s.destination;
    if (pos > wide_last) return can_read(s) ? Outcome::kHandOver : Outcome::kStopped;
    if (code == kEndCode) {
      read_code(s);
      return Outcome::kStopped;
    }
    if (code != kClearCode) return Outcome::kHandOver;
    started = start_segment(s, last);
    if (started != Outcome::kEnded) return started;
  }
}

}  // namespace

int64_t decompress_buffer(uint8_t* destination, int64_t capacity, const uint8_t* source,
                          int64_t source_length) {
  // A corrupt stream may walk entries its own segment never defined; clearing the table makes
  // what it decodes to depend on the stream alone, not on what an earlier call left behind.
  prefix_of.fill(0);
  suffix_of.fill(0);
  State s{source, source_length, 0, 0, 0, 0, 0, 0, 0, 0, destination, capacity, 0};
  restart_segment(s);
  if (decode_by_copies(s) == Outcome::kStopped) return s.count;
  return decode_by_steps(s);
}

}  // namespace pellux
