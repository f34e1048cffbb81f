// The container: checksum word, data area offset, entry offset words, then the staged entries.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/buffer.h"

namespace corvane {

// One staged entry. `offset` starts as the entry's position in the staging file and is
// rewritten in place into the entry offset word by load_and_fix.
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

// True when an entry of `entry_bytes`, staged at `staged_bytes` as entry number
// `entry_count` (from 0), starts below 1 GiB and ends below 2 GiB. Later entries only move
// the data area further on, so an entry refused here can never fit.
constexpr bool entry_fits(int64_t staged_bytes, int64_t entry_count, int64_t entry_bytes) {
  const int64_t start = staged_bytes + data_area_offset(entry_count + 1);
  return start < kEntryOffsetLimit && start + entry_bytes < kContainerSizeLimit;
}

// The header and data area of a container ready to be written.
struct ContainerImage {
  uint32_t checksum = 0;
  uint32_t data_offset = 0;
  common::Bytes data;
  size_t data_length = 0;
};

enum class LoadError { kNone, kNoMemory, kShortRead };

// Loads the whole staging file (open for reading at its start) into `image`, turns every
// node's staging position into its entry offset word and computes the checksum word.
// `staged_bytes` is how much the run wrote to the staging file: a file of any other length
// was changed behind the run's back, and is a short read.
LoadError load_and_fix(std::FILE* staging, int64_t staged_bytes, std::vector<TocNode>& nodes,
                       ContainerImage& image);

// Writes the header words, the offset words and the data area; false when a write fails.
bool write_container(std::FILE* container, const ContainerImage& image,
                     const std::vector<TocNode>& nodes);

}  // namespace corvane
