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
#include "fst/lookup.h"
#include "modes.h"
#include "fst/names.h"

namespace pellux {
namespace {

// Prints the message for a file that could not be written; false for every outcome but kNone.
bool report_output(common::OutputError error, const std::string& shown, size_t index) {
  switch (error) {
    case common::OutputError::kNone:
      return true;
    case common::OutputError::kWrittenBefore:
      // Only a platform that folds more letters than lookup does gets here.
      std::printf("Skipped entry %zu: %s was already taken by an earlier entry\n", index,
                  shown.c_str());
      return false;
    case common::OutputError::kIsInput:
      std::printf("Can't replace %s: it is the archive being read\n", shown.c_str());
      return false;
    case common::OutputError::kExists:
    case common::OutputError::kCannotCreate:
      std::printf("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                  shown.c_str());
      return false;
    case common::OutputError::kWriteFailed:
      std::printf("Error writing %s\n", shown.c_str());
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

int extract_many(common::RunFiles& run, const char* archive_path, const char* folder_path,
                 const std::vector<const char*>& patterns, bool overwrite) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone);
  // Opened once: every entry goes into this folder, whatever happens to its path meanwhile.
  common::Folder folder;
  if (common::open_folder(folder_path, true, folder) != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s'\n", folder_path);
  }
  fst::EntryBuffers buffers;
  // Records that share data could give far more than the archive holds; no others can.
  const uint64_t most = archive.length < 0
                            ? UINT64_MAX
                            : fst::kMostPerArchiveByte * static_cast<uint64_t>(archive.length);
  uint64_t given = 0;
  std::unordered_set<std::string> taken;  // base names chosen so far, folded as lookup folds them
  size_t written = 0, failed = 0;
  bool damaged = false;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    const TocRecord& record = archive.toc[i];
    const std::string base = fst::base_name(fst::record_name(record));
    bool chosen = patterns.empty();
    for (const char* pattern : patterns)
      chosen = chosen || fst::matches_pattern(fst::base_name(pattern), base);
    if (!chosen) continue;
    const std::string shown = common::escape_name(base);
    ++failed;
    if (!taken.insert(folded(base)).second) {
      // Lookup would find the earlier one.
      std::printf("Skipped entry %zu: %s was already taken by an earlier entry\n", i,
                  shown.c_str());
      continue;
    }
    if (!fst::is_safe_file_name(base)) {
      std::printf("Refused entry %zu: '%s' cannot be a file name in the folder\n", i,
                  shown.c_str());
      continue;
    }
    if (record.uncompressed_size >= 0 &&
        given + static_cast<uint64_t>(record.uncompressed_size) > most) {
      std::printf("Refused entry %zu: %s would take the archive's overlapping entries past %llu "
                  "bytes\n",
                  i, shown.c_str(), static_cast<unsigned long long>(most));
      continue;
    }
    if (!fst::entry_in_range(record, archive.length)) {
      std::printf("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
      continue;
    }
    common::OutputFile out;
    const common::OutputError created = out.create_in(run, folder, base, overwrite);
    if (!report_output(created, shown, i)) continue;
    // Judged as -t judges it, and written as it is decoded; a damaged entry is still written,
    // with a warning.
    const fst::Judged judged = fst::judge_entry(
        archive, record, 16, buffers,
        [&out](const uint8_t* bytes, size_t count) { return out.write(bytes, count); });
    if (judged.verdict == fst::Verdict::kOutside || judged.verdict == fst::Verdict::kNoMemory) {
      out.abandon();
      std::printf("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
      continue;
    }
    given += judged.count;
    if (judged.verdict == fst::Verdict::kFewer || judged.verdict == fst::Verdict::kMore) {
      std::printf("Warning -- %s: decompressed size does not match the FST's stored value\n",
                  shown.c_str());
    } else if (judged.verdict == fst::Verdict::kNoEnd) {
      std::printf("Warning -- %s: its stream stops before its END\n", shown.c_str());
    }
    damaged = damaged || judged.verdict != fst::Verdict::kSound;
    if (report_output(judged.sink_stopped ? common::OutputError::kWriteFailed : out.finish(),
                      shown, i)) {
      std::printf("Extracted %s\n", shown.c_str());
      --failed;
      ++written;
    }
  }
  std::printf("%zu entries extracted, %zu not\n", written, failed);
  return printed(failed == 0 && !damaged ? 0 : kSomeFailed);
}

}  // namespace pellux
