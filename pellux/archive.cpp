// Opening an archive and extracting its entries for the modes that read all of it.
#include "archive.h"

#include <algorithm>

#include "common/fail.h"
#include "common/files.h"
#include "entry.h"

namespace pellux {

void fail_toc(TocError error) {
  switch (error) {
    case TocError::kNone:
      return;
    case TocError::kNoMemory:
      common::fail(1, "Error -- Can't allocate memory for table of contents\n");
    case TocError::kShortTable:
      common::fail(1, "Error reading FST table of contents\n");
  }
}

std::FILE* open_archive_file(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) common::fail(1, "Can't open input FST file '%s'\n", path);
  return file;
}

void open_archive(const char* path, Archive& archive) {
  archive.file = open_archive_file(path);
  archive.length = common::regular_file_size(archive.file);
  fail_toc(read_toc(archive.file, archive.length, archive.toc));
  archive.position = 4 + kRecordSize * static_cast<int64_t>(archive.toc.size());
}

bool entry_in_range(const TocRecord& record, int64_t archive_length) {
  return record.offset >= 0 && record.stored_size >= 0 && record.uncompressed_size >= 0 &&
         (archive_length < 0 || int64_t{record.offset} + record.stored_size <= archive_length);
}

ExtractError extract_entry(Archive& archive, const TocRecord& record, size_t slack,
                           lzw::Decoder& decoder, Extracted& extracted) {
  switch (read_entry(archive.file, archive.length, archive.position, record, extracted.stored)) {
    case EntryError::kNone:
      break;
    case EntryError::kNoMemory:
      return ExtractError::kNoMemory;
    case EntryError::kShortRead:
      return ExtractError::kShortRead;
  }
  archive.position = int64_t{record.offset} + record.stored_size;
  const auto stored_size = static_cast<size_t>(record.stored_size);
  extracted.bytes = extracted.stored.get();
  extracted.result = {stored_size, lzw::DecodeStop::kEnd};
  if (record.stored_size == record.uncompressed_size) return ExtractError::kNone;
  const size_t capacity = static_cast<size_t>(std::min<uint64_t>(
      static_cast<uint64_t>(record.uncompressed_size) + slack, lzw::max_decoded_size(stored_size)));
  extracted.decoded = common::allocate_bytes(capacity);
  if (!extracted.decoded) return ExtractError::kNoMemory;
  extracted.bytes = extracted.decoded.get();
  extracted.result = lzw::decompress_buffer(decoder, extracted.decoded.get(), capacity,
                                            extracted.stored.get(), stored_size);
  return ExtractError::kNone;
}

}  // namespace pellux
