// Listing an archive: one line per record of its table, in table order: a table for the eye,
// JSON Lines for a program, or the names alone.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "archive.h"
#include "common/escape.h"
#include "modes.h"

namespace pellux {
namespace {

// Where a listing goes: standard output, or the data descriptor for JSON and names.
std::FILE* listing(int data) {
  return data >= 0 ? fdopen(data, "wb") : stdout;
}

}  // namespace

int printed(int status) {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? status : kNothingDone;
}

int printed_to(std::FILE* out, int status) {
  const bool ok = std::fflush(out) == 0 && std::ferror(out) == 0;
  return printed(ok ? status : kNothingDone);
}

std::string json_entry(size_t index, const TocRecord& record, bool damaged) {
  char numbers[160];
  std::snprintf(numbers, sizeof numbers,
                ",\"offset\":%d,\"stored_size\":%d,\"size\":%d,\"compressed\":%s,\"damaged\":%s",
                record.offset, record.stored_size, record.uncompressed_size,
                record.stored_size != record.uncompressed_size ? "true" : "false",
                damaged ? "true" : "false");
  return "{\"version\":1,\"type\":\"entry\",\"index\":" + std::to_string(index) +
         ",\"name\":" + common::json_string(fst::record_name(record)) + numbers;
}

int list_archive(common::Run& run, const char* archive_path, ListForm form, int data) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone, archive_path);
  refuse_data_into_archive(run, data);
  std::FILE* out = listing(data);
  if (form == ListForm::kTable) {
    std::fprintf(out, "Index      Stored  Uncompressed  Kind            Offset  Name\n");
  }
  const std::vector<int64_t> overlaps = fst::find_overlaps(archive);
  size_t damaged = 0;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    const TocRecord& record = archive.toc[i];
    // Data that overlaps another record's is damage too: -t reports it.
    const bool in_range = fst::entry_in_range(record, archive.length) && overlaps[i] < 0;
    damaged += in_range ? 0 : 1;
    const char* kind = !in_range                                        ? "damaged"
                       : record.stored_size != record.uncompressed_size ? "compressed"
                                                                        : "stored";
    switch (form) {
      case ListForm::kTable:
        // Only printable ASCII as it is: a hostile name cannot move the cursor or hide a line.
        std::fprintf(out, "%5zu %11d %13d  %-10s %11d  %s\n", i, record.stored_size,
                     record.uncompressed_size, kind, record.offset,
                     common::escape_name(fst::record_name(record), true).c_str());
        break;
      case ListForm::kJson:
        std::fprintf(out, "%s}\n", json_entry(i, record, !in_range).c_str());
        break;
      case ListForm::kNames:
        std::fprintf(out, "%s\n", common::escape_name(fst::record_name(record)).c_str());
        break;
    }
  }
  if (form == ListForm::kTable) {
    std::fprintf(out, "%zu %s, %zu damaged\n", archive.toc.size(),
                 archive.toc.size() == 1 ? "entry" : "entries", damaged);
  } else if (form == ListForm::kJson) {
    std::fprintf(out,
                 "{\"version\":1,\"type\":\"total\",\"entries\":%zu,\"damaged\":%zu,"
                 "\"verdict\":\"%s\"}\n",
                 archive.toc.size(), damaged, damaged == 0 ? "sound" : "damaged");
  }
  return printed_to(out, damaged == 0 ? 0 : kSomeFailed);
}

}  // namespace pellux
