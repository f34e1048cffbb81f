// Opening an archive.
#include "archive.h"

#include "common/fail.h"
#include "common/files.h"
#include "modes.h"

namespace pellux {

void open_archive_file(common::Run& run, const char* path, int status, Archive& archive) {
  archive.file = common::open_input(path, true);
  if (archive.file == nullptr) common::fail(status, "Can't open input FST file '%s'\n", path);
  common::FileId id;
  if (common::identify(archive.file, id)) run.add_input(id);
  archive.length = common::regular_file_size(archive.file);
}

void open_folder_or_fail(const char* path, common::Folder& folder) {
  const common::FolderError error = common::open_folder(path, true, folder);
  if (error != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s': %s\n", path,
                 common::folder_reason(error));
  }
}

void read_archive_table(Archive& archive, int status, const char* path) {
  uint32_t count = 0;
  const fst::TocError error = fst::read_toc(archive.file, archive.length, archive.toc, &count);
  const uint64_t table = 4 + uint64_t{count} * fst::kRecordSize;
  if (error != fst::TocError::kNone && path != nullptr && archive.length >= 0 &&
      table > static_cast<uint64_t>(archive.length)) {
    common::fail(status,
                 "'%s' is no FST archive: its count, %u, needs a table of %llu bytes, "
                 "and the file has %lld\n",
                 path, count, static_cast<unsigned long long>(table),
                 static_cast<long long>(archive.length));
  }
  switch (error) {
    case fst::TocError::kNone:
      break;
    case fst::TocError::kNoMemory:
      common::fail(status, "Error -- Can't allocate memory for table of contents\n");
    case fst::TocError::kShortTable:
      common::fail(status, "Error reading FST table of contents\n");
  }
  archive.position = 4 + fst::kRecordSize * static_cast<int64_t>(archive.toc.size());
}

void refuse_data_into_archive(const common::Run& run, int data) {
  if (data >= 0 && run.is_input_fd(data)) {
    common::fail(kNothingDone, "Can't write to standard output: it is the archive being read\n");
  }
}

bool warn_damage(common::Console& console, const char* shown, fst::Verdict verdict,
                 int64_t overlaps) {
  if (verdict == fst::Verdict::kFewer || verdict == fst::Verdict::kMore) {
    console.warn("Warning -- %s: decompressed size does not match the FST's stored value\n", shown);
  } else if (verdict == fst::Verdict::kNoEnd) {
    console.warn("Warning -- %s: its stream stops before its END\n", shown);
  }
  if (overlaps >= 0) {
    console.warn("Warning -- %s: its data overlaps entry %lld's\n", shown,
                 static_cast<long long>(overlaps));
  }
  return verdict != fst::Verdict::kSound || overlaps >= 0;
}

}  // namespace pellux
