// Writing an FST/DPK archive: the count, the records, then every entry's data in table order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table.h"

namespace fst {

// Offsets and sizes are signed 32-bit values: no entry's data may end past this.
constexpr int64_t kFieldLimit = INT32_MAX;

enum class NameError {
  kNone,
  kEmpty,    // nothing to look an entry up by
  kTooLong,  // 250 bytes or more: a name that fills its field has no NUL, so a reader could
             // run past it
  kHasNul,   // a reader would take it to end at its NUL byte
};

// Whether the writer takes `name` as a record's name.
NameError check_name(std::string_view name);

// Whether a `c` entry keeps its code stream: sizes that are equal mark an entry as stored, so a
// stream exactly as long as the data cannot be told from it, and the data is stored unchanged.
constexpr bool keeps_stream(uint64_t data_size, uint64_t stream_size) {
  return stream_size != data_size;
}

// A record of the table, with the name padded to its field with NUL bytes.
TocRecord make_record(int64_t offset, int64_t stored_size, int64_t uncompressed_size,
                      std::string_view name);

// The table's bytes: the count word, then the records.
std::vector<uint8_t> table_bytes(const std::vector<TocRecord>& records);

// A whole archive in memory, written as pellux -c writes one: the table, then every entry's
// data in order, a `compress`ed entry as its code stream unless keeps_stream says otherwise.
struct NewEntry {
  std::string name;
  std::string data;
  bool compress;
};
std::string archive_bytes(const std::vector<NewEntry>& entries);

}  // namespace fst
