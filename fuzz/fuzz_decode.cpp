// Fuzz target: arbitrary bytes decoded into a destination of exactly its capacity, which must
// come out exactly as the straightforward reference decoder has them. The first two bytes
// choose the capacity, the rest is the stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "pellux/decoder.h"
#include "reference/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int64_t capacity = data[0] | (data[1] << 8);
  auto destination = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  const int64_t written = pellux::decompress_buffer(destination.get(), capacity, data + 2,
                                                    static_cast<int64_t>(size - 2));
  if (written < 0 || written > capacity) std::abort();
  auto expected = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  const int64_t expected_written = reference::reference_decompress(
      expected.get(), capacity, data + 2, static_cast<int64_t>(size - 2));
  if (expected_written != written ||
      std::memcmp(expected.get(), destination.get(), static_cast<size_t>(written)) != 0) {
    std::abort();
  }
  return 0;
}
