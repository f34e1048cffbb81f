// The codec: known streams byte for byte, every stream against the format's model, and the
// decoder on damaged and hostile streams against its own one-code-at-a-time steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "lzw/decoder.h"
#include "lzw/encoder.h"
#include "stream_model.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;
using lzw::DecodeStop;

constexpr int kEnd = static_cast<int>(DecodeStop::kEnd);

std::vector<std::string> varied_inputs() {
  std::vector<std::string> inputs;
  for (uint32_t n = 0; n <= 24; ++n) inputs.push_back(random_bytes(n, n));
  for (uint32_t n = 1; n < 40; ++n) inputs.push_back(std::string(n, 'a'));
  // Segments that end just before, at and after every width change and segment end.
  for (const size_t k : {255u, 767u, 1791u, 3839u, 7678u}) {
    for (size_t d = k - 2; d <= k + 2; ++d) inputs.push_back(distinct_pairs(d));
  }
  inputs.push_back(std::string(15000000, '\0'));  // strings as long as a segment allows
  inputs.push_back(random_bytes(250000, 11));
  inputs.push_back(text_like(2000000, 12));
  // Each kind of input after another in one segment.
  inputs.push_back(text_like(100000, 13) + random_bytes(100000, 14) + std::string(90000, 'r') +
                   distinct_pairs(3000) + text_like(100000, 15));
  return inputs;
}

// Every width, every CLEAR and END's width follow from the model; a stream decodes back into
// a destination of exactly its input's size.
TEST(CodecTest, EncoderWritesWhatTheFormatGivesAndItDecodesBack) {
  for (const std::string& input : varied_inputs()) {
    const std::string stream = encode(input);
    ASSERT_EQ(stream, pack_codes(model_codes(input))) << input.size();
    const Decoded decoded = decode(stream, input.size());
    ASSERT_EQ(decoded.bytes, input);
    EXPECT_EQ(decoded.stop, kEnd);
  }
}

// Streams no encoder writes: damaged, cut, with junk after them, or noise. The fast decoder
// must give exactly what its steps give, bytes and reason, at every capacity, and what it gives
// must not depend on earlier calls.
TEST(CodecTest, DecoderMatchesItsStepsOnAnyStream) {
  std::mt19937 engine(31);
  const std::string valid = encode(text_like(30000, 32) + std::string(50000, 'x') +
                                   random_bytes(20000, 33) + distinct_pairs(8000));
  std::vector<std::string> streams = {valid.substr(0, valid.size() / 3),
                                      valid + random_bytes(500, 34)};
  for (uint32_t i = 0; i < 400; ++i) {
    std::string damaged = valid;
    for (uint32_t f = 0, flips = 1 + engine() % 4; f < flips; ++f) {
      damaged[engine() % damaged.size()] ^= static_cast<char>(1u << (engine() % 8));
    }
    streams.push_back(i % 2 ? damaged : random_bytes(1 + engine() % 4000, i));
  }
  const std::string noise = encode(text_like(100000, 9));
  for (const std::string& stream : streams) {
    const Decoded whole = decode(stream, 1 << 24);
    decode(noise, 100000);  // fills the tables with another stream's strings
    for (const size_t capacity : {size_t{0}, size_t{1}, size_t{5000}}) {
      const Decoded part = decode(stream, capacity);
      ASSERT_EQ(part.bytes, whole.bytes.substr(0, capacity));
    }
  }
}

// A segment of one-byte codes fills the table, then 12-bit codes go on without CLEAR: every
// code but CLEAR and END, five times over, code 258 + i standing for input bytes i and i + 1.
std::pair<std::string, std::string> past_full_table() {
  const std::string pairs = distinct_pairs(3839);
  std::vector<StreamCode> codes = model_codes(pairs);
  codes.pop_back();  // END
  std::string bytes = pairs;
  for (uint32_t n = 0; n < 5 * 4096; ++n) {
    const uint32_t code = n % 4096;
    if (code == 256 || code == 257) continue;
    codes.push_back({code, 12});
    bytes += code < 256 ? std::string(1, static_cast<char>(code)) : pairs.substr(code - 258, 2);
  }
  codes.push_back({257, 12});
  return {pack_codes(codes), bytes};
}

TEST(CodecTest, DecoderSaysWhyItStopped) {
  using enum DecodeStop;
  const std::string abc = "\x00\xC3\x88\x19\x13\x10"s;
  const auto [full, full_bytes] = past_full_table();
  const struct {
    std::string stream;
    size_t capacity;
    std::string bytes;
    DecodeStop stop;
  } cases[] = {
      {.stream = abc, .capacity = 3, .bytes = "abc", .stop = kEnd},
      // Too short for c and END; cut right after CLEAR; END alone, in two bytes.
      {.stream = abc.substr(0, 5), .capacity = 3, .bytes = "ab", .stop = kStreamEnded},
      {.stream = abc.substr(0, 2), .capacity = 3, .bytes = "", .stop = kStreamEnded},
      {.stream = "\x01\x01"s, .capacity = 3, .bytes = "", .stop = kEnd},
      {.stream = abc, .capacity = 2, .bytes = "ab", .stop = kCapacity},
      {.stream = abc, .capacity = 0, .bytes = "", .stop = kCapacity},
      // Literals above the byte range after CLEAR, at the start and in mid-stream, and strings
      // built on them: an entry never defined is an empty string of byte 0.
      {.stream = pack_codes({{256, 9}, {400, 9}, {258, 9}, {259, 9}, {260, 9}, {0, 16}}),
       .capacity = 100,
       .bytes = "\x90\0\0\x90\0\0\0\0\0\0\0\0\0\0"s,
       .stop = kStreamEnded},
      {.stream = pack_codes(
           {{256, 9}, {'a', 9}, {'b', 9}, {256, 9}, {300, 9}, {258, 9}, {259, 9}, {257, 9}}),
       .capacity = 100,
       .bytes = "ab,\0\0,\0\0\0\0"s,
       .stop = kEnd},
      {.stream = pack_codes({{256, 9}, {256, 9}, {258, 9}, {257, 9}}),
       .capacity = 100,
       .bytes = "\0\0\0\0"s,
       .stop = kEnd},
      // 300 is defined from 259, which was defined from 300: a chain of prefixes without end.
      {.stream = pack_codes({{256, 9}, {'q', 9}, {300, 9}, {259, 9}, {300, 9}, {0, 16}}),
       .capacity = 100,
       .bytes = "qqqqqq",
       .stop = kPrefixLoop},
      // The table full, then on.
      {.stream = full, .capacity = full_bytes.size(), .bytes = full_bytes, .stop = kEnd},
  };
  for (const auto& c : cases) {
    const Decoded decoded = decode(c.stream, c.capacity);
    // Not EXPECT_EQ: a wrong decoder's bytes in a long row would flood the log.
    EXPECT_TRUE(decoded.bytes == c.bytes && decoded.stop == static_cast<int>(c.stop))
        << c.bytes.substr(0, 16);
  }
}

}  // namespace
