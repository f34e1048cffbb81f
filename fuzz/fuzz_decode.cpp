// Fuzz target: arbitrary bytes decoded into a destination of exactly its capacity, in one call,
// and in constant memory (the stream in pieces, the output through a window), which must come
// out exactly as the decoder's one-code-at-a-time steps have them. The first two bytes choose
// the capacity, the third the pieces' size and whether the window is small, the rest is the
// stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "lzw/decoder.h"
#include "stream_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (size < 3) return 0;
  const size_t capacity = data[0] | (size_t{data[1]} << 8), piece = 1 + size_t{data[2]} % 128 * 8;
  const size_t window = (data[2] & 0x80) != 0 ? lzw::kStringStackSize : capacity + 1;
  const uint8_t* const stream = data + 3;
  const size_t length = size - 3;
  const auto fast = std::make_unique<uint8_t[]>(capacity);
  const auto steps = std::make_unique<uint8_t[]>(capacity);
  const lzw::DecodeResult got =
      lzw::decompress_buffer(*decoder, fast.get(), capacity, stream, length);
  int stop = 0;
  const std::string pieces =
      testing_support::decode_in_pieces(std::string(reinterpret_cast<const char*>(stream), length),
                                        capacity, window, piece, piece * 3, stop);
  const lzw::DecodeResult expected =
      lzw::decompress_by_steps(*decoder, steps.get(), capacity, stream, length);
  if (got.count > capacity || got.count != expected.count || got.stop != expected.stop ||
      pieces.size() != expected.count || stop != static_cast<int>(expected.stop) ||
      std::memcmp(fast.get(), steps.get(), got.count) != 0 ||
      std::memcmp(pieces.data(), steps.get(), got.count) != 0) {
    std::abort();
  }
  return 0;
}
