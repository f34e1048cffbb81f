// An archive opened for reading, its entries extracted and judged: what every mode shares.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/buffer.h"
#include "common/output.h"
#include "lzw/decoder.h"
#include "toc.h"

namespace pellux {

struct Archive {
  std::FILE* file = nullptr;
  int64_t length = -1;   // -1 when it cannot be known (a pipe)
  int64_t position = 0;  // where a pipe stands, which can only be read forward
  Toc toc;
};

// Opens the archive at `path` without waiting on it and records it as the run's input, or ends
// the process with `status` and the message.
void open_archive_file(common::RunFiles& run, const char* path, int status, Archive& archive);

// Reads the table of the opened archive, or ends the process with `status` and the message.
void read_archive_table(Archive& archive, int status);

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

}  // namespace pellux
