// Fuzz target: arbitrary bytes decoded into a destination of exactly its capacity, which must
// come out exactly as the straightforward reference decoder has them. The first two bytes
// choose the capacity, the rest is the stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lzw/decoder.h"
#include "reference/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (size < 2) return 0;
  const size_t capacity = data[0] | (size_t{data[1]} << 8);
  auto destination = std::make_unique<uint8_t[]>(capacity);
  const lzw::DecodeResult result =
      lzw::decompress_buffer(*decoder, destination.get(), capacity, data + 2, size - 2);
  if (result.count > capacity) std::abort();
  auto expected = std::make_unique<uint8_t[]>(capacity);
  const int64_t expected_written = reference::reference_decompress(
      expected.get(), static_cast<int64_t>(capacity), data + 2, static_cast<int64_t>(size - 2));
  if (expected_written != static_cast<int64_t>(result.count) ||
      std::memcmp(expected.get(), destination.get(), result.count) != 0) {
    std::abort();
  }
  return 0;
}
