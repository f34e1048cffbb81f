// Exactly-sized codec calls and generated inputs for the tests.
#include "codec_helpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "common/code_stream.h"
#include "fst_writer.h"
#include "pellux/decoder.h"

namespace testing_support {

std::string encode(const std::string& input) {
  std::string stream = encode_stream(input);
  EXPECT_LE(static_cast<int64_t>(stream.size()),
            common::max_stream_size(static_cast<int64_t>(input.size())));
  return stream;
}

std::string decode(const std::string& stream, int64_t capacity) {
  auto out = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  const int64_t written = pellux::decompress_buffer(out.get(), capacity,
                                                    reinterpret_cast<const uint8_t*>(stream.data()),
                                                    static_cast<int64_t>(stream.size()));
  EXPECT_GE(written, 0);
  EXPECT_LE(written, capacity);
  return std::string(reinterpret_cast<const char*>(out.get()), static_cast<size_t>(written));
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
