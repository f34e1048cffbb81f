// The extractor's modes, each a run sequence that returns the exit status; fatal errors end the
// process with their own status.
#pragma once

#include <vector>

namespace pellux {

// pellux <archive> <name> <output>: the first entry whose base name matches `requested`.
int extract_one(const char* archive_path, const char* requested, const char* output_path);

// pellux -l <archive>: one line per record.
int list_archive(const char* archive_path);

// pellux -t <archive>: every entry read and decoded in memory.
int test_archive(const char* archive_path);

// pellux -x [-f] <archive> <folder> [pattern ...]: every entry, or those whose base name
// matches a pattern, into the folder under its base name.
int extract_many(const char* archive_path, const char* folder,
                 const std::vector<const char*>& patterns, bool overwrite);

}  // namespace pellux
