// The fast codecs against the straightforward reference ones: the encoder must write the
// same stream for every input, the decoder the same bytes for every stream, corrupt ones and
// cut-off capacities included.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "codec_helpers.h"
#include "common/code_stream.h"
#include "reference/reference_codec.h"
#include "stream_model.h"
#include "tool_runner.h"

namespace {

using namespace testing_support;

std::string reference_encode(const std::string& input) {
  const auto length = static_cast<int64_t>(input.size());
  auto out =
      std::make_unique<uint8_t[]>(static_cast<size_t>(common::max_stream_size(input.size()) + 1));
  const int64_t written = reference::reference_compress(
      out.get(), reinterpret_cast<const uint8_t*>(input.data()), length);
  return std::string(reinterpret_cast<const char*>(out.get()), static_cast<size_t>(written));
}

std::string reference_decode(const std::string& stream, int64_t capacity) {
  auto out = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  const int64_t written = reference::reference_decompress(
      out.get(), capacity, reinterpret_cast<const uint8_t*>(stream.data()),
      static_cast<int64_t>(stream.size()));
  return std::string(reinterpret_cast<const char*>(out.get()), static_cast<size_t>(written));
}

// Inputs of every character: text, binary with structure, runs, noise, and mixtures that
// switch between them inside one segment.
std::vector<std::string> varied_inputs() {
  std::vector<std::string> inputs;
  for (uint32_t n = 0; n < 300; n += 7) inputs.push_back(random_bytes(n, n));
  for (uint32_t n = 1; n < 40; ++n) inputs.push_back(std::string(n, 'a'));
  inputs.push_back(text_like(300000, 21));
  inputs.push_back(random_bytes(200000, 22));
  inputs.push_back(distinct_pairs(65536));
  inputs.push_back(std::string(9000000, '\xEE'));
  std::mt19937 engine(23);
  std::string mixture;
  while (mixture.size() < 400000) {
    const uint32_t kind = engine() % 4;
    const size_t length = 1 + engine() % 5000;
    if (kind == 0) mixture += text_like(length, static_cast<uint32_t>(engine()));
    if (kind == 1) mixture += random_bytes(length, static_cast<uint32_t>(engine()));
    if (kind == 2) mixture += std::string(length, static_cast<char>(engine()));
    if (kind == 3) mixture += distinct_pairs(length % 3000 + 1);
  }
  inputs.push_back(mixture);
  // Few distinct bytes: deep strings and many codes that end in their own first byte.
  std::string binary(300000, '\0');
  for (char& byte : binary) byte = static_cast<char>("\x00\x01\xFF"[engine() % 3]);
  inputs.push_back(binary);
  return inputs;
}

TEST(DifferentialTest, EncoderWritesWhatTheReferenceWrites) {
  for (const std::string& input : varied_inputs()) {
    ASSERT_EQ(encode(input), reference_encode(input)) << "input of " << input.size() << " bytes";
  }
}

// Valid streams with bytes flipped, cut short or extended with noise, and pure noise: the
// decoder must produce what the reference produces, byte for byte, at every capacity.
TEST(DifferentialTest, DecoderDecodesWhatTheReferenceDecodesOnAnyStream) {
  std::mt19937 engine(31);
  std::vector<std::string> streams;
  for (const std::string& input : {text_like(30000, 32), std::string(50000, 'x'),
                                   random_bytes(20000, 33), distinct_pairs(8000)}) {
    const std::string valid = encode(input);
    streams.push_back(valid);
    for (int i = 0; i < 60; ++i) {
      std::string damaged = valid;
      const int flips = 1 + static_cast<int>(engine() % 4);
      for (int f = 0; f < flips; ++f) {
        damaged[engine() % damaged.size()] ^= static_cast<char>(1u << (engine() % 8));
      }
      streams.push_back(damaged);
    }
    streams.push_back(valid.substr(0, valid.size() / 3));
    streams.push_back(valid + random_bytes(500, 34));
  }
  for (uint32_t seed = 0; seed < 200; ++seed) {
    streams.push_back(random_bytes(1 + engine() % 4000, seed + 100));
  }
  // Strings walked from a literal above the byte range, and codes above the next code.
  streams.push_back(pack_codes({{256, 9}, {400, 9}, {258, 9}, {259, 9}, {260, 9}, {0, 16}}));
  streams.push_back(pack_codes({{256, 9}, {'q', 9}, {300, 9}, {259, 9}, {300, 9}, {0, 16}}));
  for (const std::string& stream : streams) {
    const std::string expected = reference_decode(stream, 1 << 24);
    ASSERT_EQ(decode(stream, 1 << 24), expected);
    for (const int64_t capacity : {0, 1, 100, 5000}) {
      ASSERT_EQ(decode(stream, capacity), reference_decode(stream, capacity));
    }
  }
}

}  // namespace
