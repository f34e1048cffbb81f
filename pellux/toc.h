// The FST/DPK table of contents and the lookup of an entry by base name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace pellux {

constexpr size_t kNameFieldSize = 250;
constexpr int64_t kRecordSize = 12 + kNameFieldSize;  // three words and the name field

// One record of the table, as stored.
struct TocRecord {
  int32_t offset;             // absolute file offset of the entry's data
  int32_t stored_size;        // bytes of entry data at that offset
  int32_t uncompressed_size;  // bytes once extracted; differs from stored_size when compressed
  char name[kNameFieldSize];  // text up to the first NUL byte, or all 250 bytes without one
};

struct Toc {
  std::unique_ptr<TocRecord[]> records;
  int32_t count;
};

// The stored name of a record: the field up to its first NUL byte, never past the field.
std::string_view record_name(const TocRecord& record);

// The part of a path that lookup compares: drive prefix dropped, final component after the
// last '\' or '/', its name and extension parts (split at the last '.') each cut to 255 bytes.
std::string base_name(std::string_view path);

// Reads the whole table from `archive`, positioned at its start. Ends the process with a
// message when the table cannot be allocated or is not all there.
Toc read_toc(std::FILE* archive);

// Index of the first record whose base name equals the base name of `requested` with ASCII
// letters folded to one case, or -1 when none does.
int32_t find_record(const Toc& toc, std::string_view requested);

}  // namespace pellux
