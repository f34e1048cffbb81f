// The process-ending report of a fatal error, for the programs' run sequences only.
#pragma once

#include "output.h"

namespace common {

// Prints the printf-style message to standard output and ends the process with `status`.
// Open streams are flushed and closed by the process exit.
[[noreturn]] void fail(int status, const char* format, ...) COMMON_PRINTF(2, 3);

// The same, once every output of `run` not yet finished is undone: new files removed, kept
// files emptied.
[[noreturn]] void fail_run(Run& run, int status, const char* format, ...) COMMON_PRINTF(3, 4);

// A program's whole run: the process prepared and interruptions watched (process.h), then its
// modes on a run of their own. Running out of memory where no message of the modes applies ends
// with `no_memory` and "Error -- out of memory", nothing left half written.
int run_program(int argc, char** argv, int no_memory, int (*modes)(Run&, int, char**));

}  // namespace common
