// The encoder: a memory buffer in, a code stream out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "code_stream.h"

namespace lzw {

// Two-byte strings are found in a table indexed by both bytes; longer strings live in a hash
// table of codes with eight times as many slots as a segment has strings. A slot number, read
// from the top: 3 bits for one of eight parts of the table, 7 for one of the 128 cache lines in
// a part, 5 for one of the 32 slots in a line.
constexpr uint32_t kSlotBits = 15;
constexpr uint32_t kSlotCount = 1u << kSlotBits;
constexpr uint32_t kLineBits = 5;
static_assert(kSlotCount >= 8 * (lzw::kCodeLimit - lzw::kFirstStringCode));

// What both tables hold for a code: the code in the low 12 bits and, in the 3 bits above, a tag
// shared by the 32 codes of its group (code >> 5), a fixed scramble of the group's number. A
// string's slot is its prefix's entry XORed with a random value for its last byte, so the tag
// puts each group of a byte's strings in its own part of the table: every byte's strings spread
// over all eight parts whatever the random values, instead of crowding into the one part the
// value alone picks (bare codes leave the top 3 bits to it).
constexpr uint32_t table_entry(uint32_t code) {
  uint32_t x = (code >> kLineBits) * 0x9E3779B1u;
  x ^= x >> 15;
  x *= 0x85EBCA77u;
  return code | (x >> 29) << lzw::kMaxCodeWidth;
}
static_assert(table_entry(0) == 0, "an empty slot holds 0");
// The parse gathers this many codes before they are packed into bits.
constexpr size_t kBatchCodes = 2048;

// Where an encoding stands between pieces. Set up by begin_encoding; not to be changed by hand.
struct EncodeState {
  uint64_t bits = 0;        // bits of the stream not yet written out
  uint32_t count = 0;       // ... how many
  uint32_t width = 0;       // of the segment's next data code
  uint32_t last_width = 0;  // of its last data code
  uint32_t data_codes = 0;  // data codes since the last CLEAR
  uint32_t next_code = 0;   // the next code to define
  bool started = false;     // the opening CLEAR is written
};

// A piece of input is encoded up to the last round that starts this far before its end, unless
// it is the last piece: no string is as long, so every round encoded ends inside the piece.
constexpr size_t kPieceMargin = 4096;
static_assert(kPieceMargin > kMaxSegmentDataCodes + 2);

// The tables of one encoder. Allocate it once with new_encoder and reuse it for every call;
// one encoder serves one thread at a time, and any number of them may run at once.
struct Encoder {
  std::array<uint16_t, 256 * 256> pair_code;  // the entry of each two-byte string
  // The entries of longer strings, 0 for none; aligned to the cache lines the slots are in.
  alignas(64) std::array<uint16_t, kSlotCount> slots;
  std::array<uint32_t, lzw::kCodeLimit> key_of;  // the string each code stands for
  // The hash's random value for each byte; no two of them point into one cache line.
  std::array<uint32_t, 256> byte_keys;
  std::array<uint16_t, kBatchCodes> batch;  // codes waiting to be packed
  EncodeState state;
};

// A new encoder, or an empty pointer when its memory cannot be had. Never throws.
std::unique_ptr<Encoder> new_encoder();

// Encodes `length` bytes at `input` (0 allowed) as one code stream written to `output`, which
// holds `capacity` bytes; max_stream_size(length) is always enough. Returns the stream's length
// in bytes, or 0 when the stream does not fit: nothing is ever written past the capacity, nor
// past the stream. Allocates nothing.
size_t compress_buffer(Encoder& encoder, uint8_t* output, size_t capacity, const uint8_t* input,
                       size_t length);

// Encoding in pieces, in constant memory: the stream is exactly compress_buffer's for the
// pieces' bytes one after the other.
//
//   begin_encoding(encoder);
//   loop: step = encode_some(encoder, piece, length, last, output, capacity);
//
// Each call encodes the piece as far as it can be encoded without knowing what follows: all of
// it when `last`, otherwise up to a point kPieceMargin bytes or less before its end (nothing of
// a piece no longer than that). `step.consumed` says how far: the next piece must start with
// the bytes from there on. The stream's bytes so far go to `output` (`step.written` of them);
// max_stream_size(consumed) + 8 bytes of capacity is always enough, and nothing is written past
// it: a piece whose bytes do not fit gives step.fits false and no bytes.
struct EncodeStep {
  size_t consumed;
  size_t written;
  bool fits;
};
void begin_encoding(Encoder& encoder);
EncodeStep encode_some(Encoder& encoder, const uint8_t* input, size_t length, bool last,
                       uint8_t* output, size_t capacity);

}  // namespace lzw
