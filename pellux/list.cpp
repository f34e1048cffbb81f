// Listing an archive: one line per record of its table, in table order.
#include <cinttypes>
#include <cstdio>

#include "archive.h"
#include "common/escape.h"
#include "modes.h"

namespace pellux {

int printed(int status) {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? status : kNothingDone;
}

int list_archive(common::RunFiles& run, const char* archive_path) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone);
  std::printf("Index      Stored  Uncompressed  Kind            Offset  Name\n");
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
    // Only printable ASCII as it is: a hostile name cannot move the cursor or hide a line.
    std::printf("%5zu %11d %13d  %-10s %11d  %s\n", i, record.stored_size, record.uncompressed_size,
                kind, record.offset, common::escape_name(fst::record_name(record), true).c_str());
  }
  std::printf("%zu entries, %zu damaged\n", archive.toc.size(), damaged);
  return printed(damaged == 0 ? 0 : kSomeFailed);
}

}  // namespace pellux
