// Fuzz target: any bytes, encoded and decoded again, must come back unchanged, and the stream
// must be exactly what the straightforward reference encoder writes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/code_stream.h"
#include "corvane/encoder.h"
#include "pellux/decoder.h"
#include "reference/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  // Exactly the bound plus one byte, so that the sanitizer sees a write past it.
  const auto stream_capacity = static_cast<size_t>(common::max_stream_size(length) + 1);
  auto stream = std::make_unique<uint8_t[]>(stream_capacity);
  const int64_t stream_length = corvane::compress_buffer(stream.get(), data, length);
  if (stream_length > common::max_stream_size(length)) std::abort();
  auto expected = std::make_unique<uint8_t[]>(stream_capacity);
  const int64_t expected_length = reference::reference_compress(expected.get(), data, length);
  if (expected_length != stream_length ||
      std::memcmp(expected.get(), stream.get(), static_cast<size_t>(stream_length)) != 0) {
    std::abort();
  }

  auto decoded = std::make_unique<uint8_t[]>(size);
  const int64_t decoded_length =
      pellux::decompress_buffer(decoded.get(), length, stream.get(), stream_length);
  if (decoded_length != length || (size > 0 && std::memcmp(decoded.get(), data, size) != 0)) {
    std::abort();
  }
  return 0;
}
