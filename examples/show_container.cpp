// show_container: prints what a container holds (its entries, their kinds and sizes, and
// whether the checksum word matches), for the demo and for looking at a container by hand.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/le32.h"

namespace {

uint32_t word_at(const std::string& bytes, size_t offset) {
  return common::get_le32(reinterpret_cast<const uint8_t*>(bytes.data()) + offset);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("Usage: show_container <container>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::printf("%s: cannot be read\n", argv[1]);
    return 1;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 8) {
    std::printf("%s: not a container (shorter than its two header words)\n", argv[1]);
    return 1;
  }
  const uint32_t data_offset = word_at(bytes, 4);
  if (data_offset < 8 || data_offset % 4 != 0 || data_offset > bytes.size()) {
    std::printf("%s: data area offset %u does not fit the file\n", argv[1], data_offset);
    return 1;
  }
  uint32_t sum = 0;
  for (size_t i = 4; i < bytes.size(); ++i) sum += static_cast<uint8_t>(bytes[i]);
  const uint32_t checksum = word_at(bytes, 0);
  const size_t count = (data_offset - 8) / 4;
  std::printf("%s: %zu bytes, %zu entries, data area at offset %u\n", argv[1], bytes.size(), count,
              data_offset);
  std::printf("checksum word 0x%08X: %s\n", checksum,
              checksum == sum ? "matches the bytes after it" : "DOES NOT MATCH");
  std::printf("  entry  kind        offset   stored bytes   original bytes\n");
  for (size_t i = 0; i < count; ++i) {
    const uint32_t word = word_at(bytes, 8 + 4 * i);
    const uint32_t start = word & 0x3FFFFFFF;
    const uint32_t end = i + 1 < count ? word_at(bytes, 12 + 4 * i) & 0x3FFFFFFF
                                       : static_cast<uint32_t>(bytes.size());
    const bool compressed = (word & 0x40000000) != 0;
    if (start > end || end > bytes.size() || (compressed && end - start < 4)) {
      std::printf("  %5zu  offset word 0x%08X does not fit the file\n", i, word);
      return 1;
    }
    const uint32_t original = compressed ? word_at(bytes, start) : end - start;
    std::printf("  %5zu  %-10s %7u %14u %16u\n", i, compressed ? "compressed" : "stored", start,
                end - start, original);
  }
  return checksum == sum ? 0 : 1;
}
