// Container writer: header (checksum word, data area offset, entry offset words), then the
// staged entries exactly as the staging file holds them.
#include "container.h"

#include "common/files.h"
#include "common/le32.h"

namespace corvane {
namespace {

uint32_t byte_sum(uint32_t word) {
  return (word & 0xFF) + ((word >> 8) & 0xFF) + ((word >> 16) & 0xFF) + (word >> 24);
}

bool write_bytes(std::FILE* container, const uint8_t* bytes, size_t count) {
  return count == 0 || std::fwrite(bytes, 1, count, container) == count;
}

bool write_word(std::FILE* container, uint32_t word) {
  uint8_t bytes[4];
  common::put_le32(bytes, word);
  return write_bytes(container, bytes, sizeof bytes);
}

}  // namespace

LoadError load_and_fix(std::FILE* staging, int64_t staged_bytes, std::vector<TocNode>& nodes,
                       ContainerImage& image) {
  if (common::regular_file_size(staging) != staged_bytes) return LoadError::kShortRead;
  image.data_length = static_cast<size_t>(staged_bytes);
  image.data = common::allocate_bytes(image.data_length);
  if (!image.data) return LoadError::kNoMemory;
  if (image.data_length > 0 &&
      std::fread(image.data.get(), 1, image.data_length, staging) != image.data_length) {
    return LoadError::kShortRead;
  }
  image.data_offset = static_cast<uint32_t>(data_area_offset(static_cast<int64_t>(nodes.size())));
  uint32_t sum = byte_sum(image.data_offset);
  const uint8_t* bytes = image.data.get();
  for (size_t i = 0; i < image.data_length; ++i) sum += bytes[i];
  for (TocNode& node : nodes) {
    node.offset += image.data_offset;
    if (node.compressed) node.offset |= kCompressedFlag;
    sum += byte_sum(node.offset);
  }
  image.checksum = sum;
  return LoadError::kNone;
}

bool write_container(std::FILE* container, const ContainerImage& image,
                     const std::vector<TocNode>& nodes) {
  bool ok = write_word(container, image.checksum) && write_word(container, image.data_offset);
  for (const TocNode& node : nodes) ok = ok && write_word(container, node.offset);
  return ok && write_bytes(container, image.data.get(), image.data_length);
}

}  // namespace corvane
