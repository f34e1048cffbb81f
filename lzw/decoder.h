// The decoder: a code stream in memory in, the bytes it encodes out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "lzw/code_stream.h"

namespace lzw {

// Why decoding stopped.
enum class DecodeStop {
  kEnd,          // END was read, or is all that the stream's last bytes hold
  kStreamEnded,  // the stream ran out before END
  kCapacity,     // the next bytes did not fit the destination: output was cut there
  kPrefixLoop,   // a code's chain of prefixes loops (only a corrupt stream has one)
};

struct DecodeResult {
  size_t count;  // bytes decoded so far, in all
  DecodeStop stop;
};

constexpr size_t kStringStackSize = 8192;

// The most bytes a stream of `stream_length` bytes can decode to, whatever it holds: every
// code takes at least 9 bits, and no code gives more than the string stack holds.
constexpr uint64_t max_decoded_size(uint64_t stream_length) {
  return (stream_length * 8 / lzw::kMinCodeWidth + 1) * kStringStackSize;
}

// The most one segment of a stream can decode to: its k-th data code stands for k bytes at
// most, and a segment ends after 3839 of them. Strings only refer back into their own segment,
// so a window this large (and a chunk more) decodes any stream an encoder writes.
constexpr size_t kMaxSegmentOutput = size_t{kMaxSegmentDataCodes} * (kMaxSegmentDataCodes + 1) / 2;
static_assert(kMaxSegmentOutput == 7370880);

// Where a decoding stands between calls. Set up by begin_decoding; not to be changed by hand.
struct DecodeState {
  const uint8_t* source;
  size_t source_length;
  size_t pos;       // source byte of the next code; never past source_length
  bool more_input;  // more of the stream follows the source
  uint32_t bit_offset;
  uint32_t width;
  uint32_t mask;
  uint32_t threshold;
  uint32_t next_code;
  uint32_t previous;
  uint8_t first_byte;
  uint8_t phase;
  uint8_t* destination;      // the window the output goes into
  size_t capacity;           // of the window
  size_t count;              // bytes in the window
  uint64_t flushed;          // bytes decoded before the window was last restarted
  uint64_t limit;            // the most bytes the whole stream may decode to
  size_t pause;              // decoding pauses once the count has reached this (below the capacity)
  const uint8_t* last_copy;  // where the string decoded last lies, and its length
  uint32_t last_length;
  DecodeStop stop;  // why decoding ended, once it has
};

// The tables of one decoder. Allocate it once with new_decoder and reuse it for every call;
// one decoder serves one thread at a time, and any number of them may run at once. Entries
// one past the last code take definitions that nothing can reference.
struct Decoder {
  std::array<uint16_t, lzw::kCodeLimit + 1> prefix_of;  // code = prefix string + suffix
  std::array<uint8_t, lzw::kCodeLimit + 1> suffix_of;
  std::array<uint8_t, kStringStackSize> string_stack;       // strings pushed last byte first
  std::array<const uint8_t*, lzw::kCodeLimit + 1> copy_of;  // where each string lies
  std::array<uint32_t, lzw::kCodeLimit + 1> length_of;
  DecodeState state;
};

// A new decoder, or an empty pointer when its memory cannot be had. Never throws.
std::unique_ptr<Decoder> new_decoder();

// Decodes the `source_length` bytes of code stream at `source` into `destination`, writing at
// most `capacity` bytes, and says how many and why it stopped. A stream that stops early (no
// END, or fewer than 3 bytes left) yields what was decoded so far. Corrupt streams are decoded
// by the same steps as valid ones and never write past the destination or the decoder's own
// tables: output that would pass `capacity` is cut there and decoding stops, and a string
// whose prefix chain is longer than the string stack (only a loop of prefixes in a corrupt
// stream makes one) ends decoding before any of it is written. The result depends on the
// stream and the capacity alone, never on earlier calls. Allocates nothing.
DecodeResult decompress_buffer(Decoder& decoder, uint8_t* destination, size_t capacity,
                               const uint8_t* source, size_t source_length);

// The same decoding done one code at a time throughout, rebuilding every string from its
// prefixes: slower, and byte for byte what decompress_buffer gives for any stream and capacity.
// The reference the fast path is held to.
DecodeResult decompress_by_steps(Decoder& decoder, uint8_t* destination, size_t capacity,
                                 const uint8_t* source, size_t source_length);

// Decoding in pieces, in constant memory: the stream arrives a piece at a time and the output
// goes into a window the caller writes out and reuses. The bytes and the reason it stops are
// exactly decompress_buffer's with a capacity of `limit`.
//
//   begin_decoding(decoder, window, window_size, limit);
//   give_input(decoder, piece, length, last);      // the first piece
//   loop: decode_some(decoder, pause, result) says
//     kPaused       the window holds `pause` bytes or more: write some out, go on
//     kNeedInput    the piece is used up to input_used(decoder): give the next piece, which
//                   must start with the bytes of this one from there on
//     kFlushWindow  write out everything in the window, then restart_window: the stream has
//                   come to a place where nothing before it is referred to any more
//     kEnded        result.stop says why
//
// A window of kMaxSegmentOutput and a chunk more decodes every stream an encoder writes by
// copying; a stream with a longer segment (no CLEAR after a full table) is finished one code at
// a time, which needs the string stack's size of window. A window at least `limit` bytes long
// never needs flushing; a window that does must hold the string stack at least. The window and
// the pieces must stay in place between calls.
enum class DecodeStatus { kPaused, kNeedInput, kFlushWindow, kEnded };
void begin_decoding(Decoder& decoder, uint8_t* window, size_t window_size, uint64_t limit);
void give_input(Decoder& decoder, const uint8_t* source, size_t length, bool last);
DecodeStatus decode_some(Decoder& decoder, size_t pause, DecodeResult& result);
size_t input_used(const Decoder& decoder);
void restart_window(Decoder& decoder);

}  // namespace lzw
