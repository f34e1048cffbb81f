// The encoder's streams, byte for byte and code by code.
#include <gtest/gtest.h>

#include "codec_helpers.h"
#include "common/code_stream.h"
#include "stream_model.h"
#include "tool_runner.h"

namespace {

using namespace testing_support;

struct KnownStream {
  std::string input;
  std::string stream;
};

TEST(EncoderTest, WritesTheKnownStreams) {
  const KnownStream cases[] = {
      {"", std::string("\x00\x03\x02", 3)},
      {"a", std::string("\x00\xC3\x04\x04", 4)},
      {"abc", std::string("\x00\xC3\x88\x19\x13\x10", 6)},
      {"aaaa", std::string("\x00\xC3\x08\x0C\x13\x10", 6)},
  };
  for (const KnownStream& c : cases) EXPECT_EQ(encode(c.input), c.stream) << "input " << c.input;
}

TEST(EncoderTest, TobeornotGivesTheClassicCodes) {
  const std::string input = "TOBEORNOTTOBEORTOBEORNOT";
  const std::string stream = encode(input);
  EXPECT_EQ(stream.size(), 21u);
  const ParsedStream parsed = parse_stream(stream);
  ASSERT_EQ(parsed.error, "");
  std::vector<uint32_t> codes;
  for (const StreamCode& c : parsed.codes) codes.push_back(c.code);
  const std::vector<uint32_t> expected = {256, 'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O',
                                          'T', 258, 260, 262, 267, 261, 263, 265, 257};
  EXPECT_EQ(codes, expected);
}

// With no pair of neighbouring bytes repeated, data code k encodes input byte k, which puts
// every width change and the segment's end at a known place.
TEST(EncoderTest, WidensAfterTheCodesThatDefine512And1024And2048AndClearsAfter3839) {
  const std::string input = distinct_pairs(5000);
  const ParsedStream parsed = parse_stream(encode(input));
  ASSERT_EQ(parsed.error, "");
  ASSERT_EQ(parsed.decoded, input);
  const auto& codes = parsed.codes;  // codes[k] is data code k of the first segment
  const std::pair<size_t, uint32_t> widths[] = {{1, 9},    {255, 9},   {256, 10},  {767, 10},
                                                {768, 11}, {1791, 11}, {1792, 12}, {3839, 12}};
  for (const auto& [k, width] : widths) EXPECT_EQ(codes[k].width, width) << "data code " << k;
  EXPECT_EQ(codes[3840].code, common::kClearCode);
  EXPECT_EQ(codes[3840].width, 12u);
  EXPECT_EQ(codes[3841].width, 9u);
}

// With every data code a single byte, the stream's bits follow from the widths alone. Around
// every width change and segment end some lengths end exactly on a byte, where an END written
// one bit wider than the last data code would add a byte.
TEST(EncoderTest, EndsSegmentsAtEveryWidthBoundary) {
  for (const size_t boundary : {0u, 255u, 767u, 1791u, 3839u, 7678u}) {
    for (size_t k = boundary == 0 ? 1 : boundary - 8; k <= boundary + 8; ++k) {
      const std::string input = distinct_pairs(k);
      const std::string stream = encode(input);
      const ParsedStream parsed = parse_stream(stream);
      ASSERT_EQ(parsed.error, "") << k << " data codes";
      EXPECT_EQ(parsed.decoded, input);
      size_t bits = 9;  // CLEAR
      uint32_t in_segment = 0;
      for (size_t i = 0; i < k; ++i) {
        if (in_segment == 3839) {
          bits += 12;  // CLEAR after a full segment
          in_segment = 0;
        }
        bits += data_code_width(++in_segment);
      }
      bits += data_code_width(in_segment);  // END
      EXPECT_EQ(stream.size(), (bits + 7) / 8) << k << " data codes";
    }
  }
}

// Every stream follows the format and fits the bound its input length gives: encode() sizes
// its buffer at exactly the bound plus one byte and checks the length against the bound, so
// the sanitizers catch a write past it.
TEST(EncoderTest, FollowsTheFormatWithinTheBoundOnEveryKindOfInput) {
  std::vector<std::string> inputs;
  for (size_t n = 0; n <= 24; ++n) inputs.push_back(random_bytes(n, static_cast<uint32_t>(n)));
  inputs.push_back(random_bytes(3839 * 3 + 1, 7));
  inputs.push_back(random_bytes(300000, 8));
  inputs.push_back(distinct_pairs(65536));  // every data code a single byte: the real worst case
  inputs.push_back(std::string(200000, 'x'));
  inputs.push_back(text_like(500000, 3));
  inputs.push_back(std::string(40000, '\0') + random_bytes(40000, 4));
  for (const std::string& input : inputs) {
    const ParsedStream parsed = parse_stream(encode(input));
    ASSERT_EQ(parsed.error, "") << "length " << input.size();
    EXPECT_EQ(parsed.decoded, input);
  }
}

}  // namespace
