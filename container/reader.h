// Reading a container back: its header, its entries and everything wrong with them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "lzw/stream.h"

namespace container {

struct ContainerEntry {
  uint32_t offset;           // where its bytes start (bits 0 to 29 of its offset word)
  uint64_t length;           // its bytes: up to the next entry, or to the end of the file
  bool compressed;           // bit 30 of its offset word
  uint32_t original_length;  // for a compressed entry, its length word (0 when it has none)
};

enum class ProblemKind {
  kNoHeader,         // the file is shorter than its two header words
  kBadDataOffset,    // the data area offset is not 8 + 4n inside the file
  kChecksum,         // the checksum word is not the sum of the bytes after it
  kBit31,            // an offset word has bit 31 set
  kOutsideDataArea,  // an entry starts before the data area or past the end of the file
  kOutOfOrder,       // an entry starts before the one listed before it
  kNoLengthWord,     // a compressed entry too short to hold its length word
};

// What a problem of the header (no header, the data area offset, the checksum) concerns.
constexpr size_t kWholeContainer = SIZE_MAX;

struct Problem {
  ProblemKind kind;
  size_t entry;  // the entry it concerns, or kWholeContainer
};

struct ContainerInfo {
  uint64_t file_size = 0;
  uint32_t checksum_word = 0;
  uint32_t byte_sum = 0;  // of every byte from offset 4 on, modulo 2^32
  uint32_t data_offset = 0;
  std::vector<ContainerEntry> entries;
  std::vector<Problem> problems;
};

enum class ReadError { kNone, kReadError, kNoMemory };

// Reads the container open as `file` (at its start) whole, in bounded pieces, and says what is
// wrong with it. Entries are given only when the header can be read.
ReadError read_container(std::FILE* file, ContainerInfo& info);

// What an entry is, once read: the one rule every mode judges entries by.
enum class Verdict {
  kSound,  // stored, or a stream that decodes to exactly its length word and ends with END
  kFewer,  // its stream decodes to fewer bytes than its length word
  kMore,   // ... to more
  kNoEnd,  // ... to its length word, but stops before its END
};

struct Judged {
  ReadError error;    // kNone, or why the entry could not be read
  Verdict verdict;    // once it was
  uint64_t count;     // its original bytes given to the sink
  bool sink_stopped;  // the sink returned false
};

// Reads `entry` from the container open as `file` a piece at a time, decodes it if compressed,
// and judges it, handing its original bytes to `sink` in order: a stored entry's bytes, or what
// a compressed entry's stream decodes to, at most its length word and one byte more (never more
// than the stream can give). Memory is the buffers', whatever the entry's size.
Judged judge_entry(std::FILE* file, const ContainerEntry& entry, lzw::StreamBuffers& buffers,
                   const lzw::Sink& sink);

}  // namespace container
