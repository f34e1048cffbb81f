// The extractor's modes, each a run sequence that returns the exit status; fatal errors end the
// process with their own status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/output.h"
#include "fst/table.h"

namespace pellux {

// Exit statuses of the modes -l, -t, -x, -u and -c.
constexpr int kSomeFailed = 1;   // some entries are damaged or could not be written
constexpr int kNothingDone = 2;  // the archive cannot be read, or the folder cannot be made
constexpr int kUsage = 64;       // a mode's command line is wrong

// pellux <archive> <name> <output>: the first entry whose base name matches `requested`; an
// output of "-" is standard output, whose descriptor is then `data`.
int extract_one(common::Run& run, const char* archive_path, const char* requested,
                const char* output_path, int data);

// pellux -l <archive>: one line per record, as a table, as JSON Lines or as the names alone
// (the last two written to `data`, standard output).
enum class ListForm { kTable, kJson, kNames };
int list_archive(common::Run& run, const char* archive_path, ListForm form, int data);

// pellux -t [--json] <archive>: every entry read and decoded, on `threads` threads; with JSON
// (`data` not -1) one object per entry and a total, written to `data`.
int test_archive(common::Run& run, const char* archive_path, unsigned threads, int data);

// pellux -x [-f] <archive> <folder> [pattern ...]: every entry, or those whose base name
// matches a pattern, into the folder under its base name; with no folder (-O), every chosen
// entry to `data`, standard output, one after the other in table order.
int extract_many(common::Run& run, const char* archive_path, const char* folder,
                 const std::vector<const char*>& patterns, bool overwrite, unsigned threads,
                 int data);

// pellux -u [-f] <archive> <folder>: every record into <folder>/files under its stored path
// made safe, and <folder>/manifest.txt, from which -c builds the archive again.
int unpack_archive(common::Run& run, const char* archive_path, const char* folder, bool replace,
                   unsigned threads);

// pellux -c [-f] [-j N] <archive> <manifest>: a new archive from the manifest's files, on
// `threads` threads. Every failure is status 1, with nothing left under the archive's name.
int create_archive(common::Run& run, const char* archive_path, const char* manifest_path,
                   bool replace, unsigned threads);

// The status of a mode that has printed everything: `status`, or kNothingDone when standard
// output (or `out`, where a listing went) could not take what was printed.
int printed(int status);
int printed_to(std::FILE* out, int status);

// The JSON object of one record, its closing brace left for the caller to add to: version,
// type "entry", index, name, offset, stored_size, size, compressed, damaged.
std::string json_entry(size_t index, const fst::TocRecord& record, bool damaged);

}  // namespace pellux
