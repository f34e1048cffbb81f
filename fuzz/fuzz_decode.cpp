// Fuzz target: arbitrary bytes decoded into a destination of exactly its capacity, which must
// come out exactly as the decoder's one-code-at-a-time steps have them. The first two bytes
// choose the capacity, the rest is the stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lzw/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (size < 2) return 0;
  const size_t capacity = data[0] | (size_t{data[1]} << 8);
  const auto fast = std::make_unique<uint8_t[]>(capacity);
  const auto steps = std::make_unique<uint8_t[]>(capacity);
  const lzw::DecodeResult got =
      lzw::decompress_buffer(*decoder, fast.get(), capacity, data + 2, size - 2);
  const lzw::DecodeResult expected =
      lzw::decompress_by_steps(*decoder, steps.get(), capacity, data + 2, size - 2);
  if (got.count > capacity || got.count != expected.count || got.stop != expected.stop ||
      std::memcmp(fast.get(), steps.get(), got.count) != 0) {
    std::abort();
  }
  return 0;
}
