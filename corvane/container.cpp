// Container writer: header (checksum word, data area offset, entry offset words), then the
// staged entries exactly as the staging file holds them.
#include "container.h"

#include <memory>

#include "common/le32.h"
#include "common/support.h"

namespace corvane {
namespace {

using common::fail;

// Loader state, alive until exit: the staged data area, the node list and the header values.
std::unique_ptr<uint8_t[]> staged_data;
int64_t staged_length = 0;
TocNode* nodes = nullptr;
uint32_t data_offset = 0;
uint32_t checksum = 0;

[[noreturn]] void fail_too_large() {
  fail(1, "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n");
}

uint32_t byte_sum(uint32_t word) {
  return (word & 0xFF) + ((word >> 8) & 0xFF) + ((word >> 16) & 0xFF) + (word >> 24);
}

void write_or_fail(std::FILE* container, const char* path, const uint8_t* bytes, size_t count) {
  if (count > 0 && std::fwrite(bytes, 1, count, container) != count) {
    fail(1, "Error writing output file '%s'\n", path);
  }
}

void write_word(std::FILE* container, const char* path, uint32_t word) {
  uint8_t bytes[4];
  common::put_le32(bytes, word);
  write_or_fail(container, path, bytes, sizeof bytes);
}

}  // namespace

void load_and_fix(std::FILE* staging, int64_t staged_bytes, TocNode* head, int32_t entry_count) {
  staged_length = common::stream_length(staging);
  if (staged_length != staged_bytes) fail(1, "Error reading temporary data file into memory\n");
  const int64_t d = data_area_offset(entry_count);
  // The last node starts latest; every entry starting below the limit needs only that one.
  TocNode* last = nullptr;
  for (TocNode* node = head; node != nullptr; node = node->next) last = node;
  if ((last != nullptr && last->offset + d >= kEntryOffsetLimit) ||
      d + staged_length >= kContainerSizeLimit) {
    fail_too_large();
  }

  staged_data = common::allocate_bytes(staged_length);
  if (!staged_data) fail(1, "Error -- Couldn't allocate buffer to copy the temp data\n");
  const auto want = static_cast<size_t>(staged_length);
  if (want > 0 && std::fread(staged_data.get(), 1, want, staging) != want) {
    fail(1, "Error reading temporary data file into memory\n");
  }

  data_offset = static_cast<uint32_t>(d);
  uint32_t sum = byte_sum(data_offset);
  const uint8_t* bytes = staged_data.get();
  for (size_t i = 0; i < want; ++i) sum += bytes[i];
  for (TocNode* node = head; node != nullptr; node = node->next) {
    uint32_t word = static_cast<uint32_t>(node->offset) + data_offset;
    if (node->compressed != 0) word |= kCompressedFlag;
    node->offset = static_cast<int32_t>(word);
    sum += byte_sum(word);
  }
  checksum = sum;
  nodes = head;
}

void write_container(std::FILE* container, const char* container_path) {
  write_word(container, container_path, checksum);
  write_word(container, container_path, data_offset);
  for (const TocNode* node = nodes; node != nullptr; node = node->next) {
    write_word(container, container_path, static_cast<uint32_t>(node->offset));
  }
  write_or_fail(container, container_path, staged_data.get(), static_cast<size_t>(staged_length));
}

}  // namespace corvane
