// Fuzz target: arbitrary bytes decoded into a destination of exactly its capacity, in one call
// and in pieces, which must come out exactly as the decoder's one-code-at-a-time steps have
// them. The first two bytes choose the capacity, the third the pieces' size, the rest is the
// stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lzw/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (size < 3) return 0;
  const size_t capacity = data[0] | (size_t{data[1]} << 8), piece = 1 + size_t{data[2]} * 8;
  const uint8_t* const stream = data + 3;
  const size_t length = size - 3;
  const auto fast = std::make_unique<uint8_t[]>(capacity);
  const auto pieces = std::make_unique<uint8_t[]>(capacity);
  const auto steps = std::make_unique<uint8_t[]>(capacity);
  const lzw::DecodeResult got =
      lzw::decompress_buffer(*decoder, fast.get(), capacity, stream, length);
  lzw::DecodeResult in_pieces{0, lzw::DecodeStop::kStreamEnded};
  lzw::begin_decoding(*decoder, pieces.get(), capacity, stream, length);
  while (!lzw::decode_some(*decoder, in_pieces.count + piece, in_pieces)) {
  }
  const lzw::DecodeResult expected =
      lzw::decompress_by_steps(*decoder, steps.get(), capacity, stream, length);
  if (got.count > capacity || got.count != expected.count || got.stop != expected.stop ||
      in_pieces.count != expected.count || in_pieces.stop != expected.stop ||
      std::memcmp(fast.get(), steps.get(), got.count) != 0 ||
      std::memcmp(pieces.get(), steps.get(), got.count) != 0) {
    std::abort();
  }
  return 0;
}
