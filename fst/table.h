// The FST/DPK table of contents: a count word, then one 262-byte record per entry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace fst {

constexpr size_t kNameFieldSize = 250;
constexpr int64_t kRecordSize = 12 + kNameFieldSize;  // three words and the name field

// One record of the table, as stored.
struct TocRecord {
  int32_t offset;             // absolute file offset of the entry's data
  int32_t stored_size;        // bytes of entry data at that offset
  int32_t uncompressed_size;  // bytes once extracted; differs from stored_size when compressed
  char name[kNameFieldSize];  // text up to the first NUL byte, or all 250 bytes without one
};

using Toc = std::vector<TocRecord>;

enum class TocError {
  kNone,
  kNoMemory,    // a negative count, one whose table would take 4 GiB or more, or no memory
  kShortTable,  // the table is not all there
};

// Reads the whole table from `archive`, positioned at its start, into `toc`.
// `archive_length` is the archive's size, or -1 when it is not known (a pipe): a table longer
// than a known archive is refused before anything is allocated.
// `count_word`, when given, receives the count as stored.
TocError read_toc(std::FILE* archive, int64_t archive_length, Toc& toc,
                  uint32_t* count_word = nullptr);

// The stored name of a record: the field up to its first NUL byte, never past the field.
std::string_view record_name(const TocRecord& record);

}  // namespace fst
