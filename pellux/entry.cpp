// Reading an entry's stored bytes.
#include "entry.h"

#include "common/files.h"

namespace pellux {

EntryError read_entry(std::FILE* archive, int64_t archive_length, const TocRecord& record,
                      common::Bytes& data) {
  if (record.stored_size < 0) return EntryError::kNoMemory;
  if (record.offset < 0 || (archive_length >= 0 && record.stored_size > 0 &&
                            int64_t{record.offset} + record.stored_size > archive_length)) {
    return EntryError::kShortRead;
  }
  data = common::allocate_bytes(static_cast<uint64_t>(record.stored_size));
  if (!data) return EntryError::kNoMemory;
  if (!common::seek_to(archive, record.offset)) return EntryError::kShortRead;
  const auto want = static_cast<size_t>(record.stored_size);
  if (want > 0 && std::fread(data.get(), 1, want, archive) != want) return EntryError::kShortRead;
  return EntryError::kNone;
}

}  // namespace pellux
