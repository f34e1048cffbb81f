// The container's header: checksum word, data area offset, entry offset words.
#include "writer.h"

#include <cstddef>

#include "lzw/le32.h"

namespace container {
namespace {

uint32_t byte_sum(uint32_t word) {
  return (word & 0xFF) + ((word >> 8) & 0xFF) + ((word >> 16) & 0xFF) + (word >> 24);
}

}  // namespace

std::vector<uint8_t> container_header(const std::vector<TocNode>& nodes, uint32_t data_sum) {
  const auto data_offset =
      static_cast<uint32_t>(data_area_offset(static_cast<int64_t>(nodes.size())));
  std::vector<uint8_t> header(data_offset);
  lzw::put_le32(header.data() + 4, data_offset);
  uint32_t checksum = data_sum + byte_sum(data_offset);
  for (size_t i = 0; i < nodes.size(); ++i) {
    const uint32_t word = offset_word(nodes[i], data_offset);
    lzw::put_le32(header.data() + 8 + 4 * i, word);
    checksum += byte_sum(word);
  }
  lzw::put_le32(header.data(), checksum);
  return header;
}

}  // namespace container
