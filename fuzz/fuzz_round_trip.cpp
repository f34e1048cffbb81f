// Fuzz target: any bytes, encoded and decoded again, must come back unchanged, and the stream
// must be exactly what the straightforward reference encoder writes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/code_stream.h"
#include "lzw/decoder.h"
#include "lzw/encoder.h"
#include "reference/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  // Exactly the bound, so that the sanitizer sees a write past it.
  const auto bound = static_cast<size_t>(common::max_stream_size(size));
  auto stream = std::make_unique<uint8_t[]>(bound);
  const size_t stream_length = lzw::compress_buffer(*encoder, stream.get(), data, size);
  if (stream_length > bound) std::abort();
  // The reference encoder's last write may touch one byte past its stream.
  auto expected = std::make_unique<uint8_t[]>(bound + 1);
  const int64_t expected_length =
      reference::reference_compress(expected.get(), data, static_cast<int64_t>(size));
  if (expected_length != static_cast<int64_t>(stream_length) ||
      std::memcmp(expected.get(), stream.get(), stream_length) != 0) {
    std::abort();
  }

  auto decoded = std::make_unique<uint8_t[]>(size);
  const lzw::DecodeResult result =
      lzw::decompress_buffer(*decoder, decoded.get(), size, stream.get(), stream_length);
  if (result.count != size || result.stop != lzw::DecodeStop::kEnd ||
      (size > 0 && std::memcmp(decoded.get(), data, size) != 0)) {
    std::abort();
  }
  return 0;
}
