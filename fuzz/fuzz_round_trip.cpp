// Fuzz target: any bytes, encoded and decoded again, must come back unchanged, and the stream
// must be exactly what the format's model gives.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "lzw/code_stream.h"
#include "lzw/decoder.h"
#include "lzw/encoder.h"
#include "stream_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  // Exactly the bound, so that the sanitizer sees a write past it.
  const auto bound = static_cast<size_t>(lzw::max_stream_size(size));
  const auto stream = std::make_unique<uint8_t[]>(bound);
  const size_t stream_length = lzw::compress_buffer(*encoder, stream.get(), bound, data, size);
  const std::string expected = testing_support::pack_codes(
      testing_support::model_codes(std::string(reinterpret_cast<const char*>(data), size)));
  if (stream_length != expected.size() ||
      std::memcmp(expected.data(), stream.get(), stream_length) != 0) {
    std::abort();
  }
  const auto decoded = std::make_unique<uint8_t[]>(size);
  const lzw::DecodeResult result =
      lzw::decompress_buffer(*decoder, decoded.get(), size, stream.get(), stream_length);
  if (result.count != size || result.stop != lzw::DecodeStop::kEnd ||
      (size > 0 && std::memcmp(decoded.get(), data, size) != 0)) {
    std::abort();
  }
  return 0;
}
