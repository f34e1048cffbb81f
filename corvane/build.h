// The build: a container from a file list.
#pragma once

#include "common/output.h"

namespace corvane {

// Builds the container at `container_path` from the list at `list_path`, preparing entries on
// `threads` threads, and returns the exit status; fatal errors end the process with theirs.
int build(common::Run& run, const char* list_path, const char* container_path, unsigned threads);

}  // namespace corvane
