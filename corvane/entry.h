// One listed entry made ready for the staging file: its file read whole and, for `c`,
// encoded. Preparing needs nothing but the entry and an encoder, so entries can be prepared
// ahead of staging and on several threads; what the run then decides is left to it.
#pragma once

#include <cstdint>

#include "common/buffer.h"
#include "common/listed_file.h"
#include "common/output.h"
#include "file_list.h"
#include "lzw/encoder.h"

namespace corvane {

using common::ListedError;
using common::ListedFile;

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
  int64_t read_length = 0;      // the bytes read from it
  ListedFile file;              // the listed file while it is open, not yet read
  common::Bytes bytes;          // what goes into the staging file
  size_t length = 0;
  uint32_t byte_sum = 0;  // of those bytes, modulo 2^32
};

// Opens the listed file of `entry` (a `c` or `u` entry) and takes its reported length; the
// error, if any, is recorded at the step kOpened. A file the run writes is refused.
PreparedEntry open_entry(const common::Run& run, const ListEntry& entry);

// The most bytes the opened entry can take in the staging file, judged from its reported
// length: a stored file's length (it may still grow), a code stream's worst case.
int64_t largest_staged(const PreparedEntry& entry);

// Reads the opened entry and, for `c`, encodes it as its length word followed by its code
// stream, with `encoder` (needed for `c` only). A failure is recorded with the step it
// happened in; kNoMemory at the step kEncoded is the code stream's buffer.
void read_entry(PreparedEntry& entry, lzw::Encoder* encoder);

enum class Verdict {
  kStage,              // the entry goes into the staging file
  kListedError,        // its file could not be opened or read: `error` says how
  kContainerTooLarge,  // it would start at 1 GiB or later, or end at 2 GiB or later
};

// What the prepared entry means for the run when it is staged after `staged_bytes` bytes in a
// container of `entry_count` entries, decided in the order a build meets it: a file that cannot be
// opened; then a start too late, and a stored file too large by its reported length, before
// anything read is looked at; then a failed read; then what was really read or encoded. An
// entry opened but not yet read is judged as far as it goes: kStage then means "read it".
Verdict judge_entry(const PreparedEntry& entry, int64_t staged_bytes, int64_t entry_count);

}  // namespace corvane
