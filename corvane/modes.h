// The builder's modes besides the build, each a run sequence that returns the exit status;
// fatal errors end the process with their own status.
#pragma once

#include <cstdio>

#include "container_reader.h"

namespace corvane {

// corvane -l <container>: the header and one line per entry, and whatever is wrong with them.
int list_container(const char* path);

// corvane -t <container>: what -l checks, and every compressed entry decoded in memory.
int test_container(const char* path);

// corvane -x [-f] <container> <folder>: every entry's original bytes into the folder, and a
// file list that rebuilds the container.
int unpack_container(const char* path, const char* folder, bool overwrite);

// Opens and reads the container at `path`, or ends the process with the message; prints
// every problem found and returns how many there are.
size_t load_container(const char* path, std::FILE*& file, ContainerInfo& info);

}  // namespace corvane
