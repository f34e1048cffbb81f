// An entry read from the archive where its record says its data lies, decoded, and judged.
#pragma once

#include <cstdint>
#include <cstdio>

#include <vector>

#include "common/buffer.h"
#include "lzw/decoder.h"
#include "table.h"

namespace fst {

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

struct Archive {
  std::FILE* file = nullptr;
  int64_t length = -1;   // -1 when it cannot be known (a pipe)
  int64_t position = 0;  // where a pipe stands, which can only be read forward
  Toc toc;
};

// True when the record's sizes are not negative and its data lies inside the archive.
bool entry_in_range(const TocRecord& record, int64_t archive_length);

// For each record, the index of an earlier record (in the order of their offsets) whose data
// its own data overlaps, or -1: records that share data make an archive give more than it
// holds.
std::vector<int64_t> find_overlaps(const Archive& archive);

// An extraction never gives more than this many bytes for each byte of the archive in all: no
// stream gives more than 3,840 bytes (the longest string) for a 12-bit code, so only records
// that share data can ask for more.
constexpr uint64_t kMostPerArchiveByte = 2560;

// An entry's bytes once extracted: stored bytes as they are, or what its stream decodes to in
// a destination of its uncompressed size and `slack` bytes more, never more than the stream can
// give. The decoder's result says how it stopped (kEnd for a stored entry).
struct Extracted {
  common::Bytes stored;
  common::Bytes decoded;
  const uint8_t* bytes = nullptr;
  lzw::DecodeResult result{0, lzw::DecodeStop::kEnd};
};

enum class ExtractError { kNone, kShortRead, kNoMemory };

// Reads the record's data and decodes it when its sizes differ, with `decoder`.
ExtractError extract_entry(Archive& archive, const TocRecord& record, size_t slack,
                           lzw::Decoder& decoder, Extracted& extracted);

// What an entry is, once extracted: the one rule every mode judges entries by.
enum class Verdict {
  kSound,       // stored, or a stream that decodes to exactly its size and ends with END
  kOutside,     // its data does not lie inside the archive
  kNoMemory,    // it could not be held
  kFewer,       // its stream decodes to fewer bytes than its size
  kMore,        // ... to more
  kNoEnd,       // ... to its size, but stops before its END
};

// Extracts the record, with `slack` bytes of room past its size, and judges it.
Verdict judge_entry(Archive& archive, const TocRecord& record, size_t slack,
                    lzw::Decoder& decoder, Extracted& extracted);

}  // namespace fst
