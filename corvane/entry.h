// One listed entry made ready for the staging file: its file read whole and, for `c`,
// encoded. Preparing needs nothing but the entry and an encoder, so entries can be prepared
// ahead of staging and on several threads; what the run then decides is left to it.
#pragma once

#include <cstdint>

#include "common/buffer.h"
#include "file_list.h"
#include "listed_file.h"
#include "lzw/encoder.h"

namespace corvane {

enum class EntryStep {
  kOpened,   // the error, if any, came while opening the file
  kRead,     // ... while reading it
  kEncoded,  // ... while making room for its code stream
};

struct PreparedEntry {
  ListedError error = ListedError::kNone;
  EntryStep step = EntryStep::kOpened;
  bool compressed = false;
  int64_t reported_length = 0;  // the listed file's length before it was read
  common::Bytes bytes;          // what goes into the staging file
  size_t length = 0;
  uint32_t byte_sum = 0;  // of those bytes, modulo 2^32
};

// Reads the listed file of `entry` (a `c` or `u` entry) and, for `c`, encodes it as its length
// word followed by its code stream. `encoder` is needed for `c` only. A failure is recorded
// with the step it happened in; kNoMemory at the step kEncoded is the code stream's buffer.
// The entry will be staged as staged entry number `index`, with at least `staged_bytes`
// before it: a stored file that cannot fit the container even then is not read.
PreparedEntry prepare_entry(const ListEntry& entry, lzw::Encoder* encoder, int64_t index,
                            int64_t staged_bytes);

enum class Verdict {
  kStage,              // the entry goes into the staging file
  kListedError,        // its file could not be opened or read: `error` says how
  kContainerTooLarge,  // it would start at 1 GiB or later, or end at 2 GiB or later
};

// What the prepared entry means for the run when it is staged as staged entry number `index`
// after `staged_bytes` bytes, decided in the order a build meets it: a file that cannot be
// opened; then a start too late, and a stored file too large by its reported length, before
// anything read is looked at; then a failed read; then what was really read or encoded.
Verdict judge_entry(const PreparedEntry& entry, int64_t staged_bytes, int64_t index);

}  // namespace corvane
