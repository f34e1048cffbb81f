// An entry's stored bytes, read from the archive where its record says they lie.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/buffer.h"
#include "toc.h"

namespace pellux {

enum class EntryError {
  kNone,
  kNoMemory,   // a negative stored size, or no memory for the bytes
  kShortRead,  // the bytes are not all there: a negative offset, or data past the end
};

// Reads the record's stored bytes into `data`. An entry that cannot lie inside an archive of
// `archive_length` bytes (-1: not known) is refused before its buffer is allocated. An archive
// that cannot seek (a pipe) standing at byte `position` is read forward to an entry that lies
// ahead; any other offset that cannot be reached is a short read, rather than reading from
// wherever the archive happens to stand.
EntryError read_entry(std::FILE* archive, int64_t archive_length, int64_t position,
                      const TocRecord& record, common::Bytes& data);

}  // namespace pellux
