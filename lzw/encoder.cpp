// LZW encoder for the code stream: greedy longest match over a dictionary of at most 4096
// codes, widths 9 to 12 bits, packed least significant bit first.
//
// The stream depends only on which strings the dictionary holds, not on how they are found.
// Here two-byte strings sit in a table indexed by their bytes and longer ones in a small
// hash table; the parse collects codes in batches that a separate loop packs into bits.
#include "encoder.h"

#include <algorithm>
#include <bitset>
#include <new>
#include <random>

#include "lzw/le32.h"

namespace lzw {
namespace {

constexpr uint32_t kSlotMask = kSlotCount - 1;
constexpr uint32_t kCodeMask = kCodeLimit - 1;

constexpr std::array<uint16_t, kCodeLimit> make_entries() {
  std::array<uint16_t, kCodeLimit> entries{};
  for (uint32_t code = 0; code < kCodeLimit; ++code) {
    entries[code] = static_cast<uint16_t>(table_entry(code));
  }
  return entries;
}
constexpr std::array<uint16_t, kCodeLimit> kEntryOf = make_entries();

constexpr uint32_t code_of(uint32_t entry) {
  return entry & kCodeMask;
}

// Strings of two bytes, a root and one more byte, are found directly in the pair table: their
// lookup needs nothing but input bytes, so it starts long before the string before it has
// ended. Longer strings live in the slot table, two bytes a slot; code 0 (a root, never
// stored) marks an empty slot, and with eight times as many slots as a segment has strings a
// lookup almost always ends at its first slot.
//
// Each code's key is (prefix << 8 | byte) with bit 16 flipped, where the prefix is a root or an
// entry: CLEAR is never a prefix, so no key is 0. A code found in either table counts only once
// its key matches, which also retires whatever an earlier segment or call left in the pair
// table: the keys are cleared with every segment, the pair table never is.
constexpr uint32_t kKeyFlip = kClearCode << 8;

constexpr uint32_t key(uint32_t prefix, uint32_t c) {
  return ((prefix << 8) | c) ^ kKeyFlip;
}

// Tabulation hashing on the byte: a string's slot is its prefix's entry XORed with a random
// value for its last byte. The prefix reaches the next slot through a single XOR, which keeps
// the chain from one input byte to the next short. The values are drawn for every encoder, so
// that no input can be made to line up long probe sequences; the stream does not depend on
// them. No two values point into one cache line: then two bytes' strings share a line only
// where two different groups' tags differ just as the two values do, which for any two values
// is at most 30 of a byte's 120 groups; the second string of a shared slot probes on.
void draw_byte_keys(std::array<uint32_t, 256>& byte_keys) {
  uint64_t state = 0x2545F4914F6CDD1Dull;
  try {
    std::random_device device;
    state ^= (static_cast<uint64_t>(device()) << 32) | device();
  } catch (...) {
    // Without a random source the fixed values still encode exactly.
  }
  std::bitset<(kSlotCount >> kLineBits)> lines_taken;
  for (uint32_t& value : byte_keys) {
    do {
      state += 0x9E3779B97F4A7C15ull;  // splitmix64
      uint64_t z = state;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      value = static_cast<uint32_t>(z ^ (z >> 31)) & kSlotMask;
    } while (lines_taken[value >> kLineBits]);
    lines_taken[value >> kLineBits] = true;
  }
}

// Odd, so that probing visits every slot; longer than a line, and different for every byte.
constexpr uint32_t probe_step(uint32_t c) {
  return ((2 * c + 1) << kLineBits) + 1;
}

// The pair table's index for the two bytes at p: both bytes as one little-endian half-word.
inline uint32_t pair_index(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

// The hot tables of one encoder, as locals of the call.
struct Tables {
  uint16_t* pair_code;
  uint16_t* slots;
  uint32_t* key_of;
  const uint32_t* byte_keys;

  uint32_t slot_of(uint32_t prefix, uint32_t c) const { return prefix ^ byte_keys[c]; }

  // The entry of prefix + c among the longer strings (`prefix` an entry too), or 0 with `slot`
  // at the empty slot where it belongs. Another string in the first slot is rare, so probing on
  // is a branch the predictor gets right.
  uint32_t find_child(uint32_t prefix, uint32_t c, uint32_t& slot) const {
    const uint32_t want = key(prefix, c);
    slot = slot_of(prefix, c);
    uint32_t child = slots[slot];
    if (child != 0 && key_of[code_of(child)] != want) [[unlikely]] {
      const uint32_t step = probe_step(c);
      do {
        slot = (slot + step) & kSlotMask;
        child = slots[slot];
      } while (child != 0 && key_of[code_of(child)] != want);
    }
    return child;
  }

  void forget_strings() const {
    std::fill_n(slots, kSlotCount, uint16_t{0});
    std::fill_n(key_of, kCodeLimit, uint32_t{0});
  }
};

// Codes collect in a 64-bit accumulator and leave it 32 bits at a time; the last bits are
// written once at the end, with zero fill. The stream's bytes are the same as writing every
// code into the byte stream directly, and nothing is written past the stream's last byte.
struct BitWriter {
  uint8_t* out;
  size_t pos;       // bytes of the stream so far
  size_t capacity;  // of the output: nothing is written from here on
  uint64_t bits;
  uint32_t count;
};

inline void put_code(BitWriter& w, uint32_t code, uint32_t width) {
  w.bits |= static_cast<uint64_t>(code) << w.count;
  w.count += width;
  if (w.count >= 32) {
    if (w.pos + 4 <= w.capacity) [[likely]] {
      put_le32(w.out + w.pos, static_cast<uint32_t>(w.bits));
    }
    w.pos += 4;
    w.bits >>= 32;
    w.count -= 32;
  }
}

// The parse runs ahead of the packing: codes gather in the batch and are packed in runs. A
// batch holds data codes only, but for a CLEAR at its start: the parse packs what it has
// before it ends a segment. A code's width follows from its place in its segment alone, so
// the packer needs nothing else from the parse.
struct Packer {
  BitWriter writer;
  uint32_t width;       // width of the segment's next data code
  uint32_t last_width;  // width of the segment's last data code (9 before the first)
  uint32_t data_codes;  // data codes written since the last CLEAR
};

// The data code after which the width grows past `width`: the one that defines code 2^width.
constexpr uint32_t last_code_of_width(uint32_t width) {
  return (1u << width) - kEndCode;
}
static_assert(last_code_of_width(9) == 255 && last_code_of_width(11) == 1791);

void pack(Packer& packer, const uint16_t* codes, size_t count) {
  Packer k = packer;
  size_t i = 0;
  if (count > 0 && codes[0] == kClearCode) {
    put_code(k.writer, kClearCode, k.last_width);
    k.width = k.last_width = kMinCodeWidth;
    k.data_codes = 0;
    i = 1;
  }
  // Runs of data codes of one width.
  while (i < count) {
    size_t run = count - i;
    if (k.width < kMaxCodeWidth) {
      run = std::min<size_t>(run, last_code_of_width(k.width) - k.data_codes);
    }
    for (size_t j = 0; j < run; ++j) put_code(k.writer, codes[i + j], k.width);
    i += run;
    k.data_codes += static_cast<uint32_t>(run);
    k.last_width = k.width;
    if (k.width < kMaxCodeWidth && k.data_codes == last_code_of_width(k.width)) ++k.width;
  }
  packer = k;
}

}  // namespace

std::unique_ptr<Encoder> new_encoder() {
  // Value-initialised: the pair table must start with codes the key check can look up.
  std::unique_ptr<Encoder> encoder(new (std::nothrow) Encoder());
  if (encoder) draw_byte_keys(encoder->byte_keys);
  return encoder;
}

void begin_encoding(Encoder& encoder) {
  encoder.state = EncodeState{};
  encoder.state.width = encoder.state.last_width = kMinCodeWidth;
  encoder.state.next_code = kFirstStringCode;
  const Tables t{encoder.pair_code.data(), encoder.slots.data(), encoder.key_of.data(),
                 encoder.byte_keys.data()};
  t.forget_strings();
}

EncodeStep encode_some(Encoder& encoder, const uint8_t* input, size_t length, bool last,
                       uint8_t* output, size_t capacity) {
  EncodeState& state = encoder.state;
  const Tables t{encoder.pair_code.data(), encoder.slots.data(), encoder.key_of.data(),
                 encoder.byte_keys.data()};
  uint16_t* const codes = encoder.batch.data();
  Packer packer{{output, 0, capacity, state.bits, state.count},
                state.width,
                state.last_width,
                state.data_codes};
  size_t n = 0;
  if (!state.started) codes[n++] = static_cast<uint16_t>(kClearCode);
  state.started = true;

  const uint8_t* p = input;
  if (length > 0) {
    const uint8_t* const end = input + length;
    const uint8_t* const last_byte = end - 1;  // no pair starts there
    // A round that starts before `stop` ends inside the piece, whatever the next one holds:
    // no string is as long as the margin. Rounds after it wait for the next piece.
    const uint8_t* const stop = last ? end : length > kPieceMargin ? end - kPieceMargin : input;
    uint32_t next_code = state.next_code;
    // The pair table entry of the two bytes at p, for the round that starts there.
    auto pair_at = [&t](const uint8_t* at) -> uint32_t { return t.pair_code[pair_index(at)]; };
    uint32_t next_pair = p < last_byte ? pair_at(p) : 0;
    // One code a round: its string starts at p with a root byte.
    while (p < stop) {
      if (n + 2 > kBatchCodes) {  // a round adds at most two codes (its own and a CLEAR)
        pack(packer, codes, n);
        n = 0;
      }
      uint32_t prefix = *p;  // a root, then an entry
      uint32_t slot = 0;
      bool in_pairs = true;  // the string to define has a root prefix
      if (p < last_byte && t.key_of[code_of(next_pair)] == key(prefix, p[1])) {
        prefix = next_pair;
        p += 2;
        in_pairs = false;
        // Longer strings: one hash lookup per byte. Alongside, the pair at the current byte
        // is read for the round that starts there if this lookup fails, so that a string's
        // end does not wait for it.
        while (p < last_byte) {
          const uint32_t c = *p;
          next_pair = pair_at(p);
          const uint32_t child = t.find_child(prefix, c, slot);
          if (child == 0) break;
          prefix = child;
          ++p;
        }
        // At the last byte of the input only when every byte before it was found.
        if (p == last_byte) {
          const uint32_t child = t.find_child(prefix, *p, slot);
          if (child != 0) {
            prefix = child;
            ++p;
          }
        }
      } else {
        ++p;
      }
      // The longest string found ends here: write its code, and define it extended by the
      // next byte, in the empty slot the search ended at.
      codes[n++] = static_cast<uint16_t>(code_of(prefix));
      if (p == end) break;
      if (next_code == kCodeLimit) [[unlikely]] {
        // The step that would define code 4096 ends the segment; its CLEAR starts a batch.
        pack(packer, codes, n);
        n = 0;
        codes[n++] = static_cast<uint16_t>(kClearCode);
        t.forget_strings();
        next_code = kFirstStringCode;
        next_pair = p < last_byte ? pair_at(p) : 0;
        continue;
      }
      const uint32_t c = *p;
      t.key_of[next_code] = key(prefix, c);
      if (in_pairs) {
        t.pair_code[pair_index(p - 1)] = kEntryOf[next_code];
        // The new pair may be the very one the next round needs.
        next_pair = p < last_byte ? pair_at(p) : 0;
      } else {
        t.slots[slot] = kEntryOf[next_code];
      }
      ++next_code;
    }
    state.next_code = next_code;
  }
  pack(packer, codes, n);
  BitWriter& w = packer.writer;
  if (last) {
    // END goes out at the width of the last data code; a reader that has already widened
    // reads one zero fill bit more, which still gives END.
    put_code(w, kEndCode, packer.last_width);
    const uint32_t tail_bytes = (w.count + 7) / 8;
    if (w.pos <= w.capacity && w.capacity - w.pos >= tail_bytes) {
      for (uint32_t i = 0; i < tail_bytes; ++i) {
        w.out[w.pos + i] = static_cast<uint8_t>(w.bits >> (8 * i));
      }
    }
    w.pos += tail_bytes;
    w.count = 0;
  }
  state.bits = w.bits;
  state.count = w.count;
  state.width = packer.width;
  state.last_width = packer.last_width;
  state.data_codes = packer.data_codes;
  // What did not fit was never written: the piece is refused whole.
  const bool fits = w.pos <= w.capacity;
  return {static_cast<size_t>(p - input), fits ? w.pos : 0, fits};
}

size_t compress_buffer(Encoder& encoder, uint8_t* output, size_t capacity, const uint8_t* input,
                       size_t length) {
  begin_encoding(encoder);
  const EncodeStep step = encode_some(encoder, input, length, true, output, capacity);
  return step.fits ? step.written : 0;
}

}  // namespace lzw
