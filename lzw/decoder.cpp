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
// every stream decodes to the same bytes either way. Both can pause at a code boundary and go
// on from there, since everything they need between codes is kept in the decoder's state.
#include "decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "lzw/le32.h"

namespace lzw {
namespace {

constexpr size_t kChunk = 16;

enum Phase : uint8_t { kAtStart, kCopying, kStepping, kEnded };

// The one-byte strings, with room for a whole chunk to be read after any of them.
constexpr std::array<uint8_t, 256 + kChunk> make_all_bytes() {
  std::array<uint8_t, 256 + kChunk> bytes{};
  for (size_t i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}
constexpr std::array<uint8_t, 256 + kChunk> kAllBytes = make_all_bytes();

using State = DecodeState;

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

// Why a stream with fewer than three bytes left stopped: the encoder writes END at the width
// of the last data code and zero bits after it, so a sound stream's last one or two bytes
// read as END (the bits past the stream taken as zero) even when the reader has widened.
DecodeStop tail_stop(const State& s) {
  uint32_t window = 0;
  for (size_t i = 0; s.pos + i < s.source_length; ++i) {
    window |= static_cast<uint32_t>(s.source[s.pos + i]) << (8 * i);
  }
  const bool holds_end = s.pos < s.source_length && ((window >> s.bit_offset) & s.mask) == kEndCode;
  return holds_end ? DecodeStop::kEnd : DecodeStop::kStreamEnded;
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

// True once the count has reached where the caller asked decoding to pause.
inline bool pause_due(const State& s) {
  return s.pause < s.capacity && s.count >= s.pause;
}

// Where output must end in the window: its end, or the stream's limit when that comes first.
inline size_t output_end(const State& s) {
  return static_cast<size_t>(std::min<uint64_t>(s.capacity, s.limit - s.flushed));
}

// True when the window ends before the limit and has less than `room` bytes left.
inline bool window_short(const State& s, size_t room) {
  return s.flushed + s.capacity < s.limit && s.capacity - s.count < room;
}

enum class Outcome { kBegun, kStopped, kHandOver, kPaused, kNeedInput, kFlushWindow };

// Where decoding stands once the stream has no code left to read: waiting for its next piece,
// or ended.
Outcome out_of_codes(State& s) {
  if (s.more_input) return Outcome::kNeedInput;
  s.stop = tail_stop(s);
  return Outcome::kStopped;
}

// The decoding steps, one code at a time, from wherever the state stands. Output that would
// pass the capacity is cut there and decoding stops; a string whose prefix chain is longer than
// the stack (only a loop of prefixes makes one) ends decoding before any of it is written.
// Returns kPaused, kNeedInput, kFlushWindow (at a code boundary: any string fits the window
// once it is restarted) or kStopped, with the reason in the state.
Outcome decode_by_steps(Decoder& d) {
  State& s = d.state;
  uint16_t* const prefix_of = d.prefix_of.data();
  uint8_t* const suffix_of = d.suffix_of.data();
  uint8_t* const stack = d.string_stack.data();
  while (can_read(s)) {
    if (pause_due(s)) return Outcome::kPaused;
    if (window_short(s, kStringStackSize)) return Outcome::kFlushWindow;
    const size_t at = s.pos;
    const uint32_t at_bit = s.bit_offset;
    uint32_t code = read_code(s);
    if (code == kEndCode) {
      s.stop = DecodeStop::kEnd;
      return Outcome::kStopped;
    }
    if (code == kClearCode) {
      // CLEAR and the literal after it go together: when the literal comes with the next
      // piece, the CLEAR is taken again then.
      if (!can_read(s) && s.more_input) {
        s.pos = at;
        s.bit_offset = at_bit;
        return Outcome::kNeedInput;
      }
      restart_segment(s);
      if (!can_read(s)) break;
      // The code after CLEAR is taken as a literal without testing it for CLEAR or END.
      code = read_code(s);
      s.previous = code;
      s.first_byte = static_cast<uint8_t>(code);
      if (s.count == output_end(s)) {
        s.stop = DecodeStop::kCapacity;
        return Outcome::kStopped;
      }
      s.destination[s.count++] = s.first_byte;
      continue;
    }

    const uint32_t current = code;
    size_t top = kStringStackSize;
    if (code >= s.next_code) {
      // Not yet defined: in a valid stream this is the code being defined right now, the
      // previous string followed by its own first byte.
      stack[--top] = s.first_byte;
      prefix_of[code] = static_cast<uint16_t>(s.previous);
      suffix_of[code] = s.first_byte;
      code = s.previous;
    }
    while (code > 255) {
      if (top == 1) {  // no valid string is this long
        s.stop = DecodeStop::kPrefixLoop;
        return Outcome::kStopped;
      }
      stack[--top] = suffix_of[code];
      code = prefix_of[code];
    }
    s.first_byte = static_cast<uint8_t>(code);
    stack[--top] = s.first_byte;

    const size_t length = kStringStackSize - top;
    const size_t room = output_end(s) - s.count;
    if (length > room) {
      if (room > 0) std::memcpy(s.destination + s.count, stack + top, room);
      s.count += room;
      s.stop = DecodeStop::kCapacity;
      return Outcome::kStopped;
    }
    std::memcpy(s.destination + s.count, stack + top, length);
    s.count += length;

    // Definitions past the last code can never be referenced, so they are dropped.
    if (s.next_code < kCodeLimit) {
      prefix_of[s.next_code] = static_cast<uint16_t>(s.previous);
      suffix_of[s.next_code] = s.first_byte;
      ++s.next_code;
    }
    s.previous = current;
    widen_if_due(s);
  }
  return out_of_codes(s);
}

// Takes the CLEAR that the state stands at and the literal after it. Hands over, with the
// state still at the CLEAR, when the literal is one a valid stream never has or does not fit.
Outcome start_segment(State& s) {
  State t = s;
  read_code(t);
  restart_segment(t);
  if (!can_read(t)) {
    // The CLEAR is taken again with the next piece.
    if (s.more_input) return Outcome::kNeedInput;
    s = t;
    s.stop = tail_stop(s);
    return Outcome::kStopped;
  }
  const uint32_t literal = read_code(t);
  if (literal > 255 || t.count == output_end(t)) return Outcome::kHandOver;
  t.previous = literal;
  t.first_byte = static_cast<uint8_t>(literal);
  t.last_copy = t.destination + t.count;
  t.last_length = 1;
  t.destination[t.count++] = t.first_byte;
  s = t;
  return Outcome::kBegun;
}

// Decodes by copying earlier output for as long as the stream stays valid and the next string
// with a chunk's slack fits the destination. Returns kHandOver with the state at the first
// code it does not decode, kPaused or kNeedInput at a code boundary, kFlushWindow at a CLEAR
// when the window has less room left than a segment can take, or kStopped with the reason
// stored.
Outcome decode_by_copies(Decoder& d) {
  State& s = d.state;
  const uint8_t** const copy_of = d.copy_of.data();
  uint32_t* const length_of = d.length_of.data();
  uint16_t* const prefix_of = d.prefix_of.data();
  uint8_t* const suffix_of = d.suffix_of.data();
  constexpr size_t kSegmentRoom = kMaxSegmentOutput + kChunk;
  if (s.phase == kAtStart) {
    if (!can_read(s)) return out_of_codes(s);
    State t = s;
    if (read_code(t) != kClearCode) return Outcome::kHandOver;  // no CLEAR at the start
    // A window too small for a segment leaves every code to the steps.
    if (window_short(s, kSegmentRoom))
      return s.count > 0 ? Outcome::kFlushWindow : Outcome::kHandOver;
    const Outcome started = start_segment(s);
    if (started != Outcome::kBegun) return started;
    for (uint32_t b = 0; b < 256; ++b) {
      copy_of[b] = &kAllBytes[b];
      length_of[b] = 1;
    }
    s.phase = kCopying;
  }
  for (;;) {
    // The hot state lives in locals for the loop and goes back to the state when it ends.
    const uint8_t* const source = s.source;
    // Codes are read four bytes at a time while four remain; the last ones are left to the
    // steps, which read exactly the three bytes a code needs.
    const size_t source_length = s.source_length;
    size_t pos = s.pos;
    uint32_t bit_offset = s.bit_offset;
    uint32_t width = s.width;
    uint32_t mask = s.mask;
    uint32_t threshold = s.threshold;
    // The next code at which the width grows; none once it is 12 bits.
    uint32_t widen_at = width < kMaxCodeWidth ? threshold : UINT32_MAX;
    uint32_t next_code = s.next_code;
    uint32_t previous = s.previous;
    const uint8_t* last_copy = s.last_copy;
    uint32_t last_length = s.last_length;
    uint8_t* to = s.destination + s.count;
    uint8_t* const end = s.destination + output_end(s);
    uint8_t* const pause_at =
        s.pause < s.capacity ? s.destination + s.pause : s.destination + s.capacity;
    uint32_t code = 0;
    while (source_length - pos >= 4 && to < pause_at) {
      code = (lzw::get_le32(source + pos) >> bit_offset) & mask;
      if (code - kClearCode < 2) break;  // CLEAR or END
      // The string the next code will be, already in place: the previous string and the
      // first byte of what follows it. A code equal to the next code is exactly that string.
      copy_of[next_code] = last_copy;
      length_of[next_code] = last_length + 1;
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
      last_copy = to;
      last_length = length;
      to += length;
    }
    s.pos = pos;
    s.bit_offset = bit_offset;
    s.width = width;
    s.mask = mask;
    s.threshold = threshold;
    s.next_code = next_code;
    s.previous = previous;
    s.last_copy = last_copy;
    s.last_length = last_length;
    s.first_byte = last_copy[0];
    s.count = static_cast<size_t>(to - s.destination);
    if (to >= pause_at && s.pause < s.capacity) return Outcome::kPaused;
    if (source_length - pos < 4) {
      // The last codes of a piece wait for the next; those of the stream go one at a time.
      if (s.more_input) return Outcome::kNeedInput;
      if (can_read(s)) return Outcome::kHandOver;
      return out_of_codes(s);
    }
    if (code == kEndCode) {
      s.stop = DecodeStop::kEnd;
      return Outcome::kStopped;
    }
    if (code != kClearCode) return Outcome::kHandOver;
    // Nothing before a CLEAR is referred to after it: the window can start again here.
    if (window_short(s, kSegmentRoom))
      return s.count > 0 ? Outcome::kFlushWindow : Outcome::kHandOver;
    const Outcome started = start_segment(s);
    if (started != Outcome::kBegun) return started;
  }
}

}  // namespace

std::unique_ptr<Decoder> new_decoder() {
  return std::unique_ptr<Decoder>(new (std::nothrow) Decoder);
}

// A fresh start. A corrupt stream may walk entries its own segment never defined; clearing the
// table makes what it decodes to depend on the stream alone, not on what an earlier call left.
void begin_decoding(Decoder& decoder, uint8_t* window, size_t window_size, uint64_t limit) {
  decoder.prefix_of.fill(0);
  decoder.suffix_of.fill(0);
  State& s = decoder.state;
  s = State{};
  s.more_input = true;
  s.phase = kAtStart;
  s.destination = window;
  s.capacity = window_size;
  s.limit = limit;
  s.pause = window_size;
  s.stop = DecodeStop::kStreamEnded;
  restart_segment(s);
}

void give_input(Decoder& decoder, const uint8_t* source, size_t length, bool last) {
  State& s = decoder.state;
  s.source = source;
  s.source_length = length;
  s.pos = 0;
  s.more_input = !last;
}

size_t input_used(const Decoder& decoder) {
  return decoder.state.pos;
}

void restart_window(Decoder& decoder) {
  State& s = decoder.state;
  s.flushed += s.count;
  s.count = 0;
}

DecodeStatus decode_some(Decoder& decoder, size_t pause, DecodeResult& result) {
  State& s = decoder.state;
  Outcome outcome = Outcome::kStopped;
  if (s.phase != kEnded) {
    s.pause = std::min(pause, s.capacity);
    if (s.phase != kStepping) {
      outcome = decode_by_copies(decoder);
      if (outcome == Outcome::kHandOver) s.phase = kStepping;
    }
    if (s.phase == kStepping) outcome = decode_by_steps(decoder);
    if (outcome == Outcome::kStopped) s.phase = kEnded;
  }
  result = {static_cast<size_t>(s.flushed + s.count), s.stop};
  switch (outcome) {
    case Outcome::kPaused:
      return DecodeStatus::kPaused;
    case Outcome::kNeedInput:
      return DecodeStatus::kNeedInput;
    case Outcome::kFlushWindow:
      return DecodeStatus::kFlushWindow;
    default:
      return DecodeStatus::kEnded;
  }
}

namespace {

// Decodes a whole stream held in memory into a destination that takes all of it.
DecodeResult decode_whole(Decoder& decoder, uint8_t* destination, size_t capacity,
                          const uint8_t* source, size_t source_length, bool by_steps) {
  begin_decoding(decoder, destination, capacity, capacity);
  give_input(decoder, source, source_length, true);
  if (by_steps) decoder.state.phase = kStepping;
  DecodeResult result{0, DecodeStop::kStreamEnded};
  decode_some(decoder, capacity, result);
  return result;
}

}  // namespace

DecodeResult decompress_buffer(Decoder& decoder, uint8_t* destination, size_t capacity,
                               const uint8_t* source, size_t source_length) {
  return decode_whole(decoder, destination, capacity, source, source_length, false);
}

DecodeResult decompress_by_steps(Decoder& decoder, uint8_t* destination, size_t capacity,
                                 const uint8_t* source, size_t source_length) {
  return decode_whole(decoder, destination, capacity, source, source_length, true);
}

}  // namespace lzw
