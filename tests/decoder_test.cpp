// The decoder on known streams, on every stream the encoder writes, and on hostile bytes.
#include <gtest/gtest.h>

#include "codec_helpers.h"
#include "stream_model.h"
#include "tool_runner.h"

namespace {

using namespace testing_support;

TEST(DecoderTest, DecodesTheKnownStreams) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {std::string("\x00", 1), ""},
      {std::string("\x00\x03", 2), ""},
      {std::string("\x00\x03\x02", 3), ""},  // after CLEAR fewer than 3 bytes remain
      {std::string("\x00\xC3\x04\x04", 4), "a"},
      {std::string("\x00\xC3\x88\x19\x13\x10", 6), "abc"},
      {std::string("\x00\xC3\x08\x0C\x13\x10", 6), "aaaa"},  // code 258 arrives as the next code
  };
  for (const auto& [stream, expected] : cases) EXPECT_EQ(decode(stream, 64), expected);
}

// After 255 data codes the decoder has widened to 10 bits while END was written with 9.
TEST(DecoderTest, FindsEndWrittenOneBitNarrowerThanItReads) {
  const std::string input = distinct_pairs(255);
  std::vector<StreamCode> codes = {{256, 9}};
  for (const char byte : input) codes.push_back({static_cast<uint8_t>(byte), 9});
  codes.push_back({257, 9});
  EXPECT_EQ(decode(pack_codes(codes), 255), input);
}

std::vector<std::string> round_trip_inputs() {
  std::vector<std::string> inputs = {"", "a", "ab", "abc", std::string(1, '\0')};
  for (const size_t k : {255u, 256u, 767u, 768u, 1791u, 1792u, 3839u, 3840u, 7678u, 7679u}) {
    inputs.push_back(distinct_pairs(k));  // segments ending at exactly k data codes
  }
  inputs.push_back(std::string(100000, 'z'));
  inputs.push_back(std::string(15000000, '\0'));  // a run long enough for two CLEARs
  inputs.push_back(random_bytes(250000, 11));
  inputs.push_back(text_like(2000000, 12));
  return inputs;
}

TEST(DecoderTest, RoundTripsEveryEncoderStreamIntoAnExactDestination) {
  for (const std::string& input : round_trip_inputs()) {
    const std::string stream = encode(input);
    const auto size = static_cast<int64_t>(input.size());
    EXPECT_EQ(decode(stream, size), input) << "length " << size;
    EXPECT_EQ(decode(stream, size + 16), input) << "length " << size;
  }
}

// Output that would pass the capacity is cut there, also from a stream that expands far
// beyond it: what comes out is always the start of what an unbounded destination receives.
TEST(DecoderTest, CutsOutputAtTheCapacity) {
  const std::string input = text_like(50000, 5) + std::string(300000, 'q');
  const std::string stream = encode(input);
  for (const int64_t capacity : {0, 1, 2, 1000, 49999, 50001, 349999}) {
    EXPECT_EQ(decode(stream, capacity), input.substr(0, static_cast<size_t>(capacity)));
  }
}

TEST(DecoderTest, StreamCutShortYieldsWhatWasDecoded) {
  const std::string input = text_like(20000, 6);
  const std::string stream = encode(input);
  for (const size_t keep : {size_t{3}, size_t{10}, stream.size() / 2, stream.size() - 1}) {
    const std::string decoded = decode(stream.substr(0, keep), 20016);
    EXPECT_EQ(decoded, input.substr(0, decoded.size()));
  }
}

// A code above the next code redefines itself from the previous code; doing that twice with
// the same code makes it its own prefix, a chain without end.
TEST(DecoderTest, StopsAtAPrefixLoop) {
  const std::string stream =
      pack_codes({{256, 9}, {'a', 9}, {300, 9}, {300, 9}, {'b', 9}, {257, 9}, {0, 16}});
  EXPECT_EQ(decode(stream, 100), "aaa");
}

// Corrupt streams walk entries their segment never defined; their result must depend on the
// stream alone and never on what earlier calls left in the table.
TEST(DecoderTest, HostileStreamsStayInsideTheDestinationAndRepeatExactly) {
  std::vector<std::string> streams;
  for (uint32_t seed = 0; seed < 300; ++seed) {
    streams.push_back(random_bytes(1 + seed * 13 % 3000, seed));
  }
  // A literal above the byte range after CLEAR, then codes that walk from it.
  streams.push_back(pack_codes({{256, 9}, {300, 9}, {258, 9}, {259, 9}, {511, 9}, {0, 16}}));
  streams.push_back(pack_codes({{256, 9}, {257, 9}, {258, 9}, {258, 9}, {0, 16}}));
  const std::string noise = encode(text_like(100000, 9));
  for (const std::string& stream : streams) {
    const std::string unbounded = decode(stream, 1 << 24);
    for (const int64_t capacity : {0, 1, 7, 4096}) {
      EXPECT_EQ(decode(stream, capacity), unbounded.substr(0, static_cast<size_t>(capacity)));
    }
    decode(noise, 100000);  // fills the table with another stream's strings
    EXPECT_EQ(decode(stream, 1 << 24), unbounded);
  }
}

}  // namespace
