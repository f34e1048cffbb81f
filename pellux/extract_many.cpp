// Extracting many entries into a folder, each under its base name.
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "common/ordered_work.h"
#include "fst/lookup.h"
#include "fst/names.h"
#include "modes.h"

namespace pellux {
namespace {

// Prints the message for a file that could not be written; false for every outcome but kNone.
bool report_output(common::Console& console, common::OutputError error, const std::string& shown,
                   size_t index) {
  switch (error) {
    case common::OutputError::kNone:
      return true;
    case common::OutputError::kWrittenBefore:
      // Only a platform that folds more letters than lookup does gets here.
      console.warn("Skipped entry %zu: %s was already taken by an earlier entry\n", index,
                   shown.c_str());
      return false;
    case common::OutputError::kIsInput:
      console.warn("Can't replace %s: it is the archive being read\n", shown.c_str());
      return false;
    case common::OutputError::kExists:
    case common::OutputError::kCannotCreate:
      console.warn("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                   shown.c_str());
      return false;
    case common::OutputError::kWriteFailed:
      console.warn("Error writing %s\n", shown.c_str());
      return false;
  }
  return false;
}

// The base name with the ASCII letters folded, as lookup compares names.
std::string folded(std::string_view name) {
  std::string out(name);
  for (char& ch : out) ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
  return out;
}

}  // namespace

namespace {

// What the run does with one record, decided in table order.
enum class Plan { kNotChosen, kSkipped, kRefused, kTooMuch, kUnreadable, kWrite };

struct Task {
  size_t index = 0;
  int64_t overlaps = -1;  // an earlier record whose data its data overlaps
  Plan plan = Plan::kNotChosen;
  std::string shown;
  std::unique_ptr<common::OutputFile> out;
  common::OutputError created = common::OutputError::kNone;
  fst::Judged judged{fst::Verdict::kOutside, 0, false};
  common::OutputError finished = common::OutputError::kNone;
};

}  // namespace

int extract_many(common::Run& run, const char* archive_path, const char* folder_path,
                 const std::vector<const char*>& patterns, bool overwrite, unsigned threads,
                 int data) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone, archive_path);
  // Opened once: every entry goes into this folder, whatever happens to its path meanwhile.
  // Without a folder (-O), every entry goes to standard output, one after the other.
  common::Folder folder;
  common::OutputFile stream;
  if (folder_path == nullptr) {
    if (stream.adopt_stream(run, data) != common::OutputError::kNone) {
      common::fail(kNothingDone, "Can't write to standard output\n");
    }
  } else {
    open_folder_or_fail(folder_path, folder);
  }
  // Records that share data could give far more than the archive holds; no others can.
  fst::GivenBound bound(archive.length);
  std::unordered_set<std::string> taken;  // base names chosen so far, folded as lookup folds them
  std::vector<bool> matched(patterns.size());
  const std::vector<int64_t> overlaps = fst::find_overlaps(archive);
  // A pipe is read in order, by one thread.
  const unsigned workers = archive.length < 0 ? 1 : threads;
  std::vector<fst::EntryBuffers> buffers(workers + 1);
  common::WorkSteps<Task> steps{
      // In table order: what to do with the record, and its file made, so that which entry
      // gets a name never depends on the threads.
      [&](size_t i) {
        Task task;
        task.index = i;
        const TocRecord& record = archive.toc[i];
        const std::string base = fst::base_name(fst::record_name(record));
        bool chosen = patterns.empty();
        for (size_t p = 0; p < patterns.size(); ++p) {
          if (!fst::matches_pattern(fst::base_name(patterns[p]), base)) continue;
          chosen = true;
          matched[p] = true;
        }
        if (!chosen) return task;
        task.shown = common::escape_name(base);
        task.overlaps = overlaps[i];
        // Names matter only for files: standard output takes every chosen entry.
        if (folder_path != nullptr && !fst::is_safe_file_name(base)) {
          task.plan = Plan::kRefused;
        } else if (folder_path != nullptr && !taken.insert(folded(base)).second) {
          task.plan = Plan::kSkipped;  // lookup would find the earlier one
        } else if (!fst::entry_in_range(record, archive.length)) {
          task.plan = Plan::kUnreadable;
        } else if (!bound.take(record)) {
          task.plan = Plan::kTooMuch;
        } else {
          task.plan = Plan::kWrite;
          if (folder_path != nullptr) {
            task.out = std::make_unique<common::OutputFile>();
            task.created = task.out->create_in(run, folder, base, overwrite);
          }
        }
        return task;
      },
      [](const Task&) { return int64_t{0}; }, [](const Task&, size_t, int64_t) { return true; },
      [&archive](const Task& task) {
        return task.plan == Plan::kWrite ? fst::memory_for(archive.toc[task.index]) : 0;
      },
      // On any thread: the entry judged as -t judges it, and written as it is decoded; a
      // damaged entry is still written.
      [&](Task& task, unsigned worker) {
        if (task.plan != Plan::kWrite || task.created != common::OutputError::kNone) return;
        common::OutputFile& out = task.out ? *task.out : stream;
        task.judged = fst::judge_entry(
            archive, archive.toc[task.index], 16, buffers[worker],
            [&out](const uint8_t* bytes, size_t count) { return out.write(bytes, count); });
        if (!task.out) {
          task.finished = task.judged.sink_stopped ? common::OutputError::kWriteFailed
                                                   : common::OutputError::kNone;
        } else if (task.judged.verdict == fst::Verdict::kOutside ||
                   task.judged.verdict == fst::Verdict::kNoMemory) {
          out.abandon();
        } else {
          task.finished =
              task.judged.sink_stopped ? common::OutputError::kWriteFailed : out.finish();
        }
      }};
  common::OrderedWork<Task> work(archive.toc.size(), workers, 8 * size_t{workers}, fst::kWorkBudget,
                                 std::move(steps));
  common::Console& console = run.console;
  console.start_progress(archive.toc.size(), 0);
  size_t written = 0, failed = 0;
  bool damaged = false;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    bool worked = false;
    Task task = work.take(0, worked);
    if (!worked) work.work_here(task);
    console.advance(1, task.judged.count);
    const char* shown = task.shown.c_str();
    failed += task.plan == Plan::kNotChosen ? 0 : 1;
    switch (task.plan) {
      case Plan::kNotChosen:
        continue;
      case Plan::kSkipped:
        console.warn("Skipped entry %zu: %s was already taken by an earlier entry\n", i, shown);
        continue;
      case Plan::kRefused:
        console.warn("Refused entry %zu: '%s' cannot be a file name in the folder\n", i, shown);
        continue;
      case Plan::kTooMuch:
        console.warn(
            "Refused entry %zu: %s would take the archive's overlapping entries past %llu "
            "bytes\n",
            i, shown, static_cast<unsigned long long>(bound.most()));
        continue;
      case Plan::kUnreadable:
        console.warn("Error reading entry %zu (%s) from FST\n", i, shown);
        continue;
      case Plan::kWrite:
        break;
    }
    if (!report_output(console, task.created, task.shown, i)) continue;
    const fst::Verdict verdict = task.judged.verdict;
    if (verdict == fst::Verdict::kOutside || verdict == fst::Verdict::kNoMemory) {
      console.warn("Error reading entry %zu (%s) from FST\n", i, shown);
      continue;
    }
    damaged = warn_damage(console, shown, verdict, task.overlaps) || damaged;
    if (report_output(console, task.finished, task.shown, i)) {
      console.say("Extracted %s\n", shown);
      --failed;
      ++written;
    }
  }
  // A pattern that chooses nothing is an entry the caller asked for and did not get.
  for (size_t p = 0; p < patterns.size(); ++p) {
    if (matched[p]) continue;
    console.warn("No entry matches '%s'\n", common::escape_name(patterns[p]).c_str());
    ++failed;
  }
  if (folder_path == nullptr && stream.finish() != common::OutputError::kNone) {
    console.warn("Error writing to standard output\n");
    ++failed;
  }
  console.clear();
  console.say("%zu %s extracted, %zu not\n", written, written == 1 ? "entry" : "entries", failed);
  return printed(failed == 0 && !damaged ? 0 : kSomeFailed);
}

}  // namespace pellux
