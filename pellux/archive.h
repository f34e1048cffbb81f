// Opening an archive, with the messages that can end it: what every mode of pellux shares.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/output.h"
#include "fst/entry.h"

namespace pellux {

using fst::Archive;
using fst::Toc;
using fst::TocRecord;

// Opens the archive at `path` without waiting on it and records it as the run's input, or ends
// the process with `status` and the message.
void open_archive_file(common::Run& run, const char* path, int status, Archive& archive);

// Reads the table of the opened archive, or ends the process with `status` and the message:
// the single extraction's, or (`plainly`, for the newer modes) one that says why a file whose
// count its length cannot hold is no archive.
void read_archive_table(Archive& archive, int status, const char* path = nullptr);

// Ends the process when `data`, where a listing goes (standard output), is the archive itself.
void refuse_data_into_archive(const common::Run& run, int data);

// Opens (and makes, with every folder on the way) the folder the run writes into, or ends the
// process with the message and the reason.
void open_folder_or_fail(const char* path, common::Folder& folder);

// Warns of what is wrong with an entry written out as it is (`shown`, its name as printed): a
// size its stream does not decode to, a stream that stops before its END, data that an earlier
// record's data overlaps (`overlaps`, that record, or -1). True when it is damaged in any way.
bool warn_damage(common::Console& console, const char* shown, fst::Verdict verdict,
                 int64_t overlaps);

}  // namespace pellux
