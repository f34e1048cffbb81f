// Reading an entry's stored bytes.
#include "entry.h"

#include "common/files.h"

namespace pellux {

namespace {

// Reads and drops `count` bytes; false when the archive ends first.
bool skip_bytes(std::FILE* archive, int64_t count) {
  uint8_t scratch[4096];
  while (count > 0) {
    const size_t want =
        count < int64_t{sizeof scratch} ? static_cast<size_t>(count) : sizeof scratch;
    if (std::fread(scratch, 1, want, archive) != want) return false;
    count -= static_cast<int64_t>(want);
  }
  return true;
}

}  // namespace

EntryError read_entry(std::FILE* archive, int64_t archive_length, int64_t position,
                      const TocRecord& record, common::Bytes& data) {
  if (record.stored_size < 0) return EntryError::kNoMemory;
  if (record.offset < 0 || (archive_length >= 0 && record.stored_size > 0 &&
                            int64_t{record.offset} + record.stored_size > archive_length)) {
    return EntryError::kShortRead;
  }
  data = common::allocate_bytes(static_cast<uint64_t>(record.stored_size));
  if (!data) return EntryError::kNoMemory;
  if (!common::seek_to(archive, record.offset) &&
      (record.offset < position || !skip_bytes(archive, record.offset - position))) {
    return EntryError::kShortRead;
  }
  const auto want = static_cast<size_t>(record.stored_size);
  if (want > 0 && std::fread(data.get(), 1, want, archive) != want) return EntryError::kShortRead;
  return EntryError::kNone;
}

}  // namespace pellux
