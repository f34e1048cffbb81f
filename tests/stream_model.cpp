// Strict code-stream reader and packer used by the tests.
#include "stream_model.h"

#include <stdexcept>

namespace testing_support {
namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;
constexpr uint32_t kSegmentCodes = 3839;

struct BitSource {
  const std::string& bytes;
  uint64_t bit = 0;
  bool read(uint32_t width, uint32_t& code) {
    if (bit + width > bytes.size() * 8) return false;
    code = 0;
    for (uint32_t i = 0; i < width; ++i, ++bit) {
      const auto byte = static_cast<uint8_t>(bytes[bit / 8]);
      code |= static_cast<uint32_t>((byte >> (bit % 8)) & 1) << i;
    }
    return true;
  }
  // True when the rest of the stream is only the zero fill of the last byte.
  bool at_clean_end() const {
    if ((bit + 7) / 8 != bytes.size()) return false;
    if (bit % 8 == 0) return true;
    const auto last = static_cast<uint8_t>(bytes.back());
    return (last >> (bit % 8)) == 0;
  }
};

}  // namespace

uint32_t data_code_width(uint32_t k) {
  if (k <= 255) return 9;
  if (k <= 767) return 10;
  if (k <= 1791) return 11;
  return 12;
}

ParsedStream parse_stream(const std::string& stream) {
  ParsedStream parsed;
  BitSource source{stream};
  uint32_t code = 0;
  if (!source.read(9, code) || code != kClear) {
    parsed.error = "stream does not start with CLEAR";
    return parsed;
  }
  parsed.codes.push_back({code, 9});
  uint32_t k = 0;  // data codes in the current segment
  std::vector<std::string> strings;
  std::string previous;
  for (;;) {
    // END at the width of the last data code, when only fill bits follow it.
    const uint32_t end_width = k == 0 ? 9 : data_code_width(k);
    BitSource probe = source;
    if (probe.read(end_width, code) && code == kEnd && probe.at_clean_end()) {
      parsed.codes.push_back({code, end_width});
      return parsed;
    }
    if (k == kSegmentCodes) {
      if (!source.read(12, code) || code != kClear) {
        parsed.error = "no CLEAR after the segment's last data code";
        return parsed;
      }
      parsed.codes.push_back({code, 12});
      k = 0;
      strings.clear();
      continue;
    }
    const uint32_t width = data_code_width(k + 1);
    if (!source.read(width, code)) {
      parsed.error = "stream ends without END";
      return parsed;
    }
    const uint32_t next = 258 + static_cast<uint32_t>(strings.size());
    std::string text;
    if (code < 256) {
      text = std::string(1, static_cast<char>(code));
    } else if (k > 0 && code >= 258 && code < next) {
      text = strings[code - 258];
    } else if (k > 0 && code == next) {
      text = previous + previous[0];
    } else {
      parsed.error = "data code " + std::to_string(k + 1) + " is " + std::to_string(code) +
                     " with next code " + std::to_string(next);
      return parsed;
    }
    if (k > 0) strings.push_back(previous + text[0]);
    parsed.codes.push_back({code, width});
    parsed.decoded += text;
    previous = std::move(text);
    ++k;
  }
}

std::string pack_codes(const std::vector<StreamCode>& codes) {
  std::string bytes;
  uint64_t bit = 0;
  for (const StreamCode& c : codes) {
    for (uint32_t i = 0; i < c.width; ++i, ++bit) {
      if (bit % 8 == 0) bytes.push_back('\0');
      if ((c.code >> i) & 1) bytes.back() = static_cast<char>(bytes.back() | (1 << (bit % 8)));
    }
  }
  return bytes;
}

std::string distinct_pairs(size_t length) {
  // Martin's greedy walk: from each byte take the largest successor not used yet. Started at
  // 0 it goes through all 65536 pairs before it stops.
  std::vector<int> next_successor(256, 255);
  std::string bytes(1, '\0');
  int current = 0;
  while (bytes.size() < length) {
    if (next_successor[static_cast<size_t>(current)] < 0) throw std::invalid_argument("too long");
    current = next_successor[static_cast<size_t>(current)]--;
    bytes.push_back(static_cast<char>(current));
  }
  return bytes;
}

}  // namespace testing_support
