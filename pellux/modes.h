// The extractor's modes, each a run sequence that returns the exit status; fatal errors end the
// process with their own status.
#pragma once

#include <vector>

#include "common/output.h"

namespace pellux {

// Exit statuses of the modes -l, -t and -x.
constexpr int kSomeFailed = 1;   // some entries are damaged or could not be written
constexpr int kNothingDone = 2;  // the archive cannot be read, or the folder cannot be made
constexpr int kUsage = 64;       // a mode's command line is wrong

// pellux <archive> <name> <output>: the first entry whose base name matches `requested`.
int extract_one(common::RunFiles& run, const char* archive_path, const char* requested,
                const char* output_path);

// pellux -l <archive>: one line per record.
int list_archive(common::RunFiles& run, const char* archive_path);

// pellux -t <archive>: every entry read and decoded in memory.
int test_archive(common::RunFiles& run, const char* archive_path, unsigned threads);

// pellux -x [-f] <archive> <folder> [pattern ...]: every entry, or those whose base name
// matches a pattern, into the folder under its base name.
int extract_many(common::RunFiles& run, const char* archive_path, const char* folder,
                 const std::vector<const char*>& patterns, bool overwrite, unsigned threads);

// pellux -u [-f] <archive> <folder>: every record into <folder>/files under its stored path
// made safe, and <folder>/manifest.txt, from which -c builds the archive again.
int unpack_archive(common::RunFiles& run, const char* archive_path, const char* folder,
                   bool replace, unsigned threads);

// pellux -c [-f] [-j N] <archive> <manifest>: a new archive from the manifest's files, on
// `threads` threads. Every failure is status 1, with nothing left under the archive's name.
int create_archive(common::RunFiles& run, const char* archive_path, const char* manifest_path,
                   bool replace, unsigned threads);

// The status of a mode that has printed everything: `status`, or kNothingDone when standard
// output could not take what was printed.
int printed(int status);

}  // namespace pellux
