// Writes FST/DPK archives: the archive writer behind make_fst, the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// One record as it goes into the table; `name` is cut to 250 bytes, or padded with NUL bytes.
struct FstRecord {
  int32_t offset;
  int32_t stored_size;
  int32_t uncompressed_size;
  std::string name;
};

// The count word followed by the records. `count` need not match the records given, so that
// tests can write tables that claim more or fewer records than they hold.
std::string fst_table(uint32_t count, const std::vector<FstRecord>& records);

struct FstEntry {
  std::string name;
  std::string data;
  bool compressed;
};

// A whole archive: the table, then every entry's data in order, compressed ones as a code
// stream from the project's encoder. An entry whose stream comes out exactly as long as its
// data is stored unchanged instead, since equal sizes mark an entry as stored.
std::string make_fst(const std::vector<FstEntry>& entries);

// The code stream for `input`, encoded into a buffer of exactly the worst-case bound.
std::string encode_stream(const std::string& input);

}  // namespace tools
