// Exactly-sized codec calls and generated inputs for the tests.
#include "codec_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "common/code_stream.h"
#include "lzw/decoder.h"
#include "lzw/encoder.h"

namespace testing_support {

std::string encode(const std::string& input) {
  static const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  const auto bound = static_cast<size_t>(common::max_stream_size(input.size()));
  auto out = std::make_unique<uint8_t[]>(bound);
  std::fill_n(out.get(), bound, uint8_t{0xA5});
  const size_t written = lzw::compress_buffer(
      *encoder, out.get(), reinterpret_cast<const uint8_t*>(input.data()), input.size());
  EXPECT_LE(written, bound);
  // Nothing past the stream is written.
  EXPECT_EQ(std::count(out.get() + std::min(written, bound), out.get() + bound, uint8_t{0xA5}),
            static_cast<std::ptrdiff_t>(bound - std::min(written, bound)));
  return std::string(reinterpret_cast<const char*>(out.get()), written);
}

std::string decode(const std::string& stream, int64_t capacity) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  auto out = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  const lzw::DecodeResult result =
      lzw::decompress_buffer(*decoder, out.get(), static_cast<size_t>(capacity),
                             reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
  EXPECT_LE(result.count, static_cast<size_t>(capacity));
  return std::string(reinterpret_cast<const char*>(out.get()), result.count);
}

std::string text_like(size_t length, uint32_t seed) {
  static const char* const kWords[] = {"the",    "archive", "of",    "entries", "and",  "a",
                                       "stream", "code",    "to",    "file",    "list", "is",
                                       "data",   "offset",  "which", "each",    "byte", "table"};
  std::mt19937 engine(seed);
  std::string text;
  while (text.size() < length) {
    text += kWords[engine() % std::size(kWords)];
    const uint32_t r = engine() % 16;
    text += r == 0 ? ".\n" : r == 1 ? ", " : " ";
  }
  text.resize(length);
  return text;
}

}  // namespace testing_support
