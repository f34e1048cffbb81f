// Fuzz target: any bytes, encoded and decoded again, must come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/code_stream.h"
#include "corvane/encoder.h"
#include "pellux/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  // Exactly the bound plus one byte, so that the sanitizer sees a write past it.
  const auto stream_capacity = static_cast<size_t>(common::max_stream_size(length) + 1);
  auto stream = std::make_unique<uint8_t[]>(stream_capacity);
  const int64_t stream_length = corvane::compress_buffer(stream.get(), data, length);
  if (stream_length > common::max_stream_size(length)) std::abort();

  auto decoded = std::make_unique<uint8_t[]>(size);
  const int64_t decoded_length =
      pellux::decompress_buffer(decoded.get(), length, stream.get(), stream_length);
  if (decoded_length != length || (size > 0 && std::memcmp(decoded.get(), data, size) != 0)) {
    std::abort();
  }
  return 0;
}
