// The code stream model.
#include "stream_model.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include <unordered_map>
#include "lzw/decoder.h"

namespace testing_support {

uint32_t data_code_width(uint32_t k) {
  return k <= 255 ? 9 : k <= 767 ? 10 : k <= 1791 ? 11 : 12;
}

std::vector<StreamCode> model_codes(const std::string& input) {
  std::vector<StreamCode> codes{{256, 9}};
  if (input.empty()) return {{256, 9}, {257, 9}};
  std::unordered_map<uint32_t, uint32_t> strings;  // prefix code << 8 | byte -> code
  uint32_t next = 258, in_segment = 0;
  uint32_t prefix = static_cast<uint8_t>(input[0]);
  for (size_t i = 1; i < input.size(); ++i) {
    const uint32_t key = prefix << 8 | static_cast<uint8_t>(input[i]);
    if (const auto found = strings.find(key); found != strings.end()) {
      prefix = found->second;
      continue;
    }
    codes.push_back({prefix, data_code_width(++in_segment)});
    if (in_segment == 3839) {
      codes.push_back({256, 12});
      strings.clear();
      next = 258;
      in_segment = 0;
    } else {
      strings[key] = next++;
    }
    prefix = static_cast<uint8_t>(input[i]);
  }
  codes.push_back({prefix, data_code_width(++in_segment)});
  codes.push_back({257, data_code_width(in_segment)});
  return codes;
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

std::string decode_in_pieces(const std::string& stream, uint64_t limit, size_t window, size_t piece,
                             size_t pause, int& stop) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  const auto space = std::make_unique<uint8_t[]>(window);
  std::string input, output;
  size_t given = 0, written = 0;
  lzw::begin_decoding(*decoder, space.get(), window, limit);
  const auto feed = [&] {
    input.erase(0, lzw::input_used(*decoder));
    const size_t more = std::min(piece, stream.size() - given);
    input.append(stream, given, more);
    given += more;
    lzw::give_input(*decoder, reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                    given == stream.size());
  };
  feed();
  lzw::DecodeResult result{0, lzw::DecodeStop::kStreamEnded};
  for (;;) {
    const size_t in_window = output.size() - written;
    const lzw::DecodeStatus status = lzw::decode_some(*decoder, in_window + pause, result);
    output.append(reinterpret_cast<const char*>(space.get()) + in_window,
                  result.count - output.size());
    if (status == lzw::DecodeStatus::kNeedInput) feed();
    if (status == lzw::DecodeStatus::kFlushWindow) {
      lzw::restart_window(*decoder);
      written = output.size();
    }
    if (status == lzw::DecodeStatus::kEnded) break;
  }
  stop = static_cast<int>(result.stop);
  return output;
}

Decoded decode_three_ways(const std::string& stream, size_t capacity, size_t window, size_t piece,
                          size_t pause, bool& agree) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  // Heap copies of exactly the stream's and the capacity's size, so that the sanitizers see a
  // read or a write past either.
  const auto in = std::make_unique<uint8_t[]>(stream.size());
  std::copy(stream.begin(), stream.end(), in.get());
  const std::unique_ptr<uint8_t[]> out(new uint8_t[capacity]);  // not cleared: it may be large
  const auto decoded = [&out](lzw::DecodeResult result) {
    return Decoded{std::string(reinterpret_cast<const char*>(out.get()), result.count),
                   static_cast<int>(result.stop)};
  };
  const Decoded fast =
      decoded(lzw::decompress_buffer(*decoder, out.get(), capacity, in.get(), stream.size()));
  const Decoded steps =
      decoded(lzw::decompress_by_steps(*decoder, out.get(), capacity, in.get(), stream.size()));
  Decoded pieces;
  pieces.bytes = decode_in_pieces(stream, capacity, window, piece, pause, pieces.stop);
  agree = steps.bytes.size() <= capacity && fast.bytes == steps.bytes && fast.stop == steps.stop &&
          pieces.bytes == steps.bytes && pieces.stop == steps.stop;
  return steps;
}

}  // namespace testing_support
