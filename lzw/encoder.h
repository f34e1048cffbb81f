// The encoder: a memory buffer in, a code stream out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/code_stream.h"

namespace lzw {

// Two-byte strings are found in a table indexed by both bytes; longer strings live in a hash
// table of codes with eight times as many slots as a segment has strings.
constexpr uint32_t kSlotBits = 15;
constexpr uint32_t kSlotCount = 1u << kSlotBits;
static_assert(kSlotCount >= 8 * (common::kCodeLimit - common::kFirstStringCode));
// The parse gathers this many codes before they are packed into bits.
constexpr size_t kBatchCodes = 2048;

// The tables of one encoder. Allocate it once with new_encoder and reuse it for every call;
// one encoder serves one thread at a time, and any number of them may run at once.
struct Encoder {
  std::array<uint16_t, 256 * 256> pair_code;        // the code of each two-byte string
  std::array<uint16_t, kSlotCount> slots;           // the codes of longer strings, 0 for none
  std::array<uint32_t, common::kCodeLimit> key_of;  // the string each code stands for
  std::array<uint32_t, 256> byte_keys;              // the hash's random value for each byte
  std::array<uint16_t, kBatchCodes> batch;          // codes waiting to be packed
};

// A new encoder, or an empty pointer when its memory cannot be had. Never throws.
std::unique_ptr<Encoder> new_encoder();

// Encodes `length` bytes at `input` (0 allowed) as one code stream written to `output`, which
// must hold common::max_stream_size(length) bytes; nothing past the stream is written. Returns
// the stream's length in bytes. Allocates nothing.
size_t compress_buffer(Encoder& encoder, uint8_t* output, const uint8_t* input, size_t length);

}  // namespace lzw
