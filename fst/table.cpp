// FST/DPK table of contents: a count word, then 262-byte records (offset, stored size,
// uncompressed size, 250-byte name).
#include "table.h"

#include <algorithm>
#include <new>

#include "lzw/le32.h"

namespace fst {
namespace {

constexpr size_t kFirstReserve = 4096;

// Reads one word of a record; false on a short read.
bool read_word(std::FILE* archive, int32_t& word) {
  uint8_t bytes[4];
  if (std::fread(bytes, 1, sizeof bytes, archive) != sizeof bytes) return false;
  word = static_cast<int32_t>(lzw::get_le32(bytes));
  return true;
}

}  // namespace

TocError read_toc(std::FILE* archive, int64_t archive_length, Toc& toc, uint32_t* count_word) {
  // The count comes as four single bytes whose reads are not checked: an archive shorter than
  // four bytes leaves the missing high bytes 0, so an empty file holds no records.
  uint32_t raw_count = 0;
  for (uint32_t shift = 0; shift < 32; shift += 8) {
    const int byte = std::getc(archive);
    if (byte == EOF) break;
    raw_count |= static_cast<uint32_t>(byte) << shift;
  }
  if (count_word != nullptr) *count_word = raw_count;
  // Running out of bytes is an archive with no more records; failing to read is not.
  if (std::ferror(archive)) return TocError::kShortTable;
  const auto count = static_cast<int32_t>(raw_count);
  if (count < 0 || count > int64_t{UINT32_MAX} / kRecordSize) return TocError::kNoMemory;
  // A table longer than the archive cannot be there: say so before allocating room for it.
  if (count > 0 && archive_length >= 0 && 4 + kRecordSize * count > archive_length) {
    return TocError::kShortTable;
  }
  // The table grows as its records arrive, so that its memory never runs ahead of what the
  // archive really holds, also when its length is not known.
  toc.clear();
  try {
    toc.reserve(std::min<size_t>(static_cast<size_t>(count), kFirstReserve));
    for (int32_t i = 0; i < count; ++i) {
      TocRecord record{};
      if (!read_word(archive, record.offset) || !read_word(archive, record.stored_size) ||
          !read_word(archive, record.uncompressed_size) ||
          std::fread(record.name, 1, kNameFieldSize, archive) != kNameFieldSize) {
        return TocError::kShortTable;
      }
      toc.push_back(record);
    }
  } catch (const std::bad_alloc&) {
    return TocError::kNoMemory;
  }
  return TocError::kNone;
}

std::string_view record_name(const TocRecord& record) {
  const std::string_view field(record.name, kNameFieldSize);
  return field.substr(0, field.find('\0'));
}

}  // namespace fst
