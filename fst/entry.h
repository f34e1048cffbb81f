// An entry read from the archive where its record says its data lies, decoded, and judged.
#pragma once

#include <cstdint>
#include <cstdio>

#include <functional>
#include <memory>
#include <vector>

#include "common/buffer.h"
#include "lzw/stream.h"
#include "table.h"

namespace fst {

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

// The most extracting the record can give: a stored entry its data, a compressed one its size,
// but never more than its stream can give; nothing for negative sizes.
uint64_t most_given(const TocRecord& record);

// The bound on what an extraction gives in all: kMostPerArchiveByte for each byte of the
// archive (none for a pipe, whose length is unknown), which only records that share data can
// reach. Each entry taken counts for most_given.
class GivenBound {
 public:
  explicit GivenBound(int64_t archive_length);
  // False, and nothing counted, when the entry would take the extraction past the bound.
  bool take(const TocRecord& record);
  uint64_t most() const { return most_; }

 private:
  uint64_t most_;
  uint64_t given_ = 0;
};

// What an entry is, once read: the one rule every mode judges entries by.
enum class Verdict {
  kSound,     // stored, or a stream that decodes to exactly its size and ends with END (or
              // not judged further: the sink stopped)
  kOutside,   // its data does not lie inside the archive, or cannot be read
  kNoMemory,  // there is no memory to decode it
  kFewer,     // its stream decodes to fewer bytes than its size
  kMore,      // ... to more
  kNoEnd,     // ... to its size, but stops before its END
};

// Buffers that read and decode entries in constant memory, reused from entry to entry: one set
// for each thread that reads entries.
using EntryBuffers = lzw::StreamBuffers;

// The memory judge_entry takes for the record: its window and a piece of input.
int64_t memory_for(const TocRecord& record);

// What the threads that read entries at once may hold in all, beyond the entry the run waits
// for, which always goes ahead.
constexpr int64_t kWorkBudget = int64_t{64} << 20;

// Takes the entry's bytes, a piece at a time in order; returns false to stop (a write failed).
using Sink = lzw::Sink;

struct Judged {
  Verdict verdict;
  uint64_t count;     // the entry's bytes given to the sink
  bool sink_stopped;  // the sink returned false
};

// Reads the record's data where it lies (an archive that cannot seek, a pipe, is read forward to
// it) and decodes it when its sizes differ, handing its bytes to `sink` a piece at a time: a
// stored entry's bytes, or what its stream decodes to, at most its uncompressed size and
// `slack` bytes more (never more than the stream can give). `stored`, when given, also takes
// the data as stored. Memory is the buffers', whatever the entry's size. The record's offset
// and stored size must not be negative, nor its data lie past the end of an archive whose
// length is known: such an entry is kOutside, and nothing is read.
Judged judge_entry(Archive& archive, const TocRecord& record, size_t slack, EntryBuffers& buffers,
                   const Sink& sink, const Sink* stored = nullptr);

}  // namespace fst
