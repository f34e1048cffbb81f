// The container writer: staged data in, container file out.
#pragma once

#include <cstdint>
#include <cstdio>

namespace corvane {

// One staged entry. `offset` starts as the entry's position in the staging file and is
// rewritten in place into the entry offset word by load_and_fix.
struct TocNode {
  int32_t offset;
  int32_t compressed;  // 1 for a compressed entry, 0 for a stored one
  TocNode* next;
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

// Loads the whole staging file (open for reading at its start), turns every node's staging
// position into its entry offset word and computes the checksum word. Keeps the list and the
// loaded data for write_container. `staged_bytes` is how much the run wrote to the staging
// file: a file of any other length was changed behind the run's back and cannot be trusted.
// Ends the process with a message when the data cannot be loaded or the container would
// outgrow its offset words.
void load_and_fix(std::FILE* staging, int64_t staged_bytes, TocNode* head, int32_t entry_count);

// Writes the header words and the data area loaded by load_and_fix to `container`. Every write
// is checked; a failure ends the process with a message naming `container_path`.
void write_container(std::FILE* container, const char* container_path);

}  // namespace corvane
