// An archive opened for the modes that read all of it, with the messages opening it can end in.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/buffer.h"
#include "lzw/decoder.h"
#include "toc.h"

namespace pellux {

struct Archive {
  std::FILE* file = nullptr;
  int64_t length = -1;   // -1 when it cannot be known (a pipe)
  int64_t position = 0;  // where a pipe stands, which can only be read forward
  Toc toc;
};

// Ends the process with the message for a table that could not be read.
void fail_toc(TocError error);

// Opens the archive at `path` for reading, or ends the process with the message.
std::FILE* open_archive_file(const char* path);

// Opens the archive at `path` and reads its table, or ends the process with the message.
void open_archive(const char* path, Archive& archive);

// True when the record's sizes are not negative and its data lies inside the archive.
bool entry_in_range(const TocRecord& record, int64_t archive_length);

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

}  // namespace pellux
