// Testing an archive: every entry read and, when compressed, decoded in memory.
#include <cstdio>
#include <memory>
#include <string>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "modes.h"

namespace pellux {

int test_archive(common::RunFiles& run, const char* archive_path) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone);
  fst::EntryBuffers buffers;
  const fst::Sink nowhere = [](const uint8_t*, size_t) { return true; };
  // Data that an earlier record's data overlaps is reported, not decoded again: records that
  // share data could make the test decode far more than the archive holds.
  const std::vector<int64_t> overlaps = fst::find_overlaps(archive);
  size_t damaged = 0;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    const TocRecord& record = archive.toc[i];
    const std::string name = common::escape_name(fst::record_name(record));
    ++damaged;
    if (overlaps[i] >= 0) {
      std::printf("Entry %zu (%s): its data overlaps entry %lld's\n", i, name.c_str(),
                  static_cast<long long>(overlaps[i]));
      continue;
    }
    // One byte of room beyond the recorded size shows a stream that decodes to more.
    const fst::Judged judged = fst::entry_in_range(record, archive.length)
                                   ? fst::judge_entry(archive, record, 1, buffers, nowhere)
                                   : fst::Judged{fst::Verdict::kOutside, 0, false};
    switch (judged.verdict) {
      case fst::Verdict::kSound:
        --damaged;
        break;
      case fst::Verdict::kOutside:
        std::printf("Entry %zu (%s): its data does not lie inside the archive\n", i, name.c_str());
        break;
      case fst::Verdict::kNoMemory:
        std::printf("Entry %zu (%s): no memory to test it\n", i, name.c_str());
        break;
      case fst::Verdict::kMore:
        std::printf("Entry %zu (%s): decodes to more than %d bytes\n", i, name.c_str(),
                    record.uncompressed_size);
        break;
      case fst::Verdict::kFewer:
        std::printf("Entry %zu (%s): decodes to %zu bytes, not %d\n", i, name.c_str(),
                    static_cast<size_t>(judged.count), record.uncompressed_size);
        break;
      case fst::Verdict::kNoEnd:
        std::printf("Entry %zu (%s): its stream stops before its END\n", i, name.c_str());
        break;
    }
  }
  std::printf("%zu entries tested, %zu damaged\n", archive.toc.size(), damaged);
  return printed(damaged == 0 ? 0 : kSomeFailed);
}

}  // namespace pellux
