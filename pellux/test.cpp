// Testing an archive: every entry read and, when compressed, decoded in memory.
#include <cstdio>
#include <memory>
#include <string>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/ordered_work.h"
#include "modes.h"

namespace pellux {

int test_archive(common::Run& run, const char* archive_path, unsigned threads, int data) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone, archive_path);
  refuse_data_into_archive(run, data);
  // Data that an earlier record's data overlaps is reported, not decoded again: records that
  // share data could make the test decode far more than the archive holds.
  const std::vector<int64_t> overlaps = fst::find_overlaps(archive);
  // Entries are decoded on every thread, and reported in table order; a pipe is read in order.
  const unsigned workers = archive.length < 0 ? 1 : threads;
  std::vector<fst::EntryBuffers> buffers(workers + 1);
  using Task = std::pair<size_t, fst::Judged>;
  common::WorkSteps<Task> steps{
      [](size_t i) {
        return Task{i, {fst::Verdict::kOutside, 0, false}};
      },
      [](const Task&) { return int64_t{0}; }, [](const Task&, size_t, int64_t) { return true; },
      [&archive](const Task& task) { return fst::memory_for(archive.toc[task.first]); },
      [&](Task& task, unsigned worker) {
        const TocRecord& record = archive.toc[task.first];
        // One byte of room beyond the recorded size shows a stream that decodes to more.
        if (overlaps[task.first] < 0 && fst::entry_in_range(record, archive.length)) {
          task.second = fst::judge_entry(archive, record, 1, buffers[worker],
                                         [](const uint8_t*, size_t) { return true; });
        }
      }};
  common::OrderedWork<Task> work(archive.toc.size(), workers, 8 * size_t{workers}, fst::kWorkBudget,
                                 std::move(steps));
  // With --json, one object per entry and a total go to standard output, and nothing else.
  std::FILE* json = data >= 0 ? fdopen(data, "wb") : nullptr;
  const auto report = [json](const char* format, auto... values) {
    if (json == nullptr) std::printf(format, values...);
  };
  size_t damaged = 0;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    bool worked = false;
    Task task = work.take(0, worked);
    if (!worked) work.work_here(task);
    const fst::Judged& judged = task.second;
    const TocRecord& record = archive.toc[i];
    const std::string name = common::escape_name(fst::record_name(record));
    const char* verdict = "overlaps";
    ++damaged;
    if (overlaps[i] >= 0) {
      report("Entry %zu (%s): its data overlaps entry %lld's\n", i, name.c_str(),
             static_cast<long long>(overlaps[i]));
    } else {
      switch (judged.verdict) {
        case fst::Verdict::kSound:
          verdict = "sound";
          --damaged;
          break;
        case fst::Verdict::kOutside:
          verdict = "outside";
          report("Entry %zu (%s): its data does not lie inside the archive\n", i, name.c_str());
          break;
        case fst::Verdict::kNoMemory:
          verdict = "no memory";
          report("Entry %zu (%s): no memory to test it\n", i, name.c_str());
          break;
        case fst::Verdict::kMore:
          verdict = "more";
          report("Entry %zu (%s): decodes to more than %d bytes\n", i, name.c_str(),
                 record.uncompressed_size);
          break;
        case fst::Verdict::kFewer:
          verdict = "fewer";
          report("Entry %zu (%s): decodes to %llu bytes, not %d\n", i, name.c_str(),
                 static_cast<unsigned long long>(judged.count), record.uncompressed_size);
          break;
        case fst::Verdict::kNoEnd:
          verdict = "no end";
          report("Entry %zu (%s): its stream stops before its END\n", i, name.c_str());
          break;
      }
    }
    if (json != nullptr) {
      const bool sound = std::string_view(verdict) == "sound";
      std::fprintf(json, "%s,\"verdict\":\"%s\",\"decoded\":%llu}\n",
                   json_entry(i, record, !sound).c_str(), verdict,
                   static_cast<unsigned long long>(judged.count));
    }
  }
  const size_t count = archive.toc.size();
  report("%zu %s tested, %zu damaged\n", count, count == 1 ? "entry" : "entries", damaged);
  if (json == nullptr) return printed(damaged == 0 ? 0 : kSomeFailed);
  std::fprintf(json,
               "{\"version\":1,\"type\":\"total\",\"entries\":%zu,\"damaged\":%zu,"
               "\"verdict\":\"%s\"}\n",
               count, damaged, damaged == 0 ? "sound" : "damaged");
  return printed_to(json, damaged == 0 ? 0 : kSomeFailed);
}

}  // namespace pellux
