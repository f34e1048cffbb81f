// The container's layout: checksum word, data area offset, entry offset words, then the
// entries' bytes, all words 32-bit little-endian.
#pragma once

#include <cstdint>
#include <vector>

namespace container {

// One staged entry: its position in the staging file, which is its position in the data area.
struct TocNode {
  uint32_t offset;
  bool compressed;
};

// Entries must start below this offset: bit 30 of an offset word is the compressed flag.
constexpr int64_t kEntryOffsetLimit = int64_t{1} << 30;
// Offsets and sizes are signed 32-bit values, so a container stays below 2 GiB.
constexpr int64_t kContainerSizeLimit = int64_t{1} << 31;
constexpr uint32_t kCompressedFlag = 0x40000000;

// Offset of the data area for `entry_count` entries: checksum word, the offset itself, one
// offset word per entry.
constexpr int64_t data_area_offset(int64_t entry_count) {
  return 8 + 4 * entry_count;
}

// True when an entry of `entry_bytes`, staged at `staged_bytes` in a container of
// `entry_count` entries, starts below 1 GiB and ends below 2 GiB.
constexpr bool entry_fits(int64_t staged_bytes, int64_t entry_count, int64_t entry_bytes) {
  const int64_t start = staged_bytes + data_area_offset(entry_count);
  return start < kEntryOffsetLimit && start + entry_bytes < kContainerSizeLimit;
}

// The entry offset word of `node` in a container whose data area starts at `data_offset`.
constexpr uint32_t offset_word(const TocNode& node, uint32_t data_offset) {
  return (node.offset + data_offset) | (node.compressed ? kCompressedFlag : 0);
}

}  // namespace container
