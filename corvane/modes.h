// The builder's modes besides the build, each a run sequence that returns the exit status;
// fatal errors end the process with their own status.
#pragma once

#include <cstdio>
#include <string>

#include "common/output.h"
#include "container/reader.h"

namespace corvane {

using container::ContainerEntry;
using container::ContainerInfo;
using container::Problem;

// Exit statuses of the modes -l, -t and -x.
constexpr int kSomeFailed = 1;   // some entries are damaged or could not be written
constexpr int kNothingDone = 2;  // the container cannot be read, or is not sound for -x
constexpr int kUsage = 64;       // a mode's command line is wrong

// corvane -l <container>: the header and one line per entry, and whatever is wrong with them.
int list_container(common::Run& run, const char* path, int json);

// corvane -t <container>: what -l checks, and every compressed entry decoded in memory.
int test_container(common::Run& run, const char* path, unsigned threads, int json);

// corvane -x [-f] <container> <folder>: every entry's original bytes into the folder, and a
// file list that rebuilds the container.
int unpack_container(common::Run& run, const char* path, const char* folder, bool overwrite,
                     unsigned threads);

// A problem found in a container, in words.
std::string describe(const Problem& problem, const ContainerInfo& info);

// The JSON object of entry `index`, its closing brace left for the caller to add to: version,
// type "entry", index, offset, compressed, stored_size, size (the length word of a compressed
// entry).
std::string json_entry(size_t index, const ContainerEntry& entry);

// The JSON lines of every problem, and the total's line up to its closing brace: version, type
// "total", size, entries, data_offset, checksum_word, problems.
std::string json_problems(const ContainerInfo& info);
std::string json_total(const ContainerInfo& info);

// Opens and reads the container at `path`, or ends the process with the message (also when
// `data`, where JSON goes, is the container itself); prints every problem found and returns how
// many there are.
size_t load_container(common::Run& run, const char* path, std::FILE*& file, ContainerInfo& info,
                      int data = -1);

// The status of a mode that has printed everything: `status`, or kNothingDone when standard
// output could not take what was printed.
int printed(int status);
int printed_to(std::FILE* out, int status);

}  // namespace corvane
