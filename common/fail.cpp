// The process-ending report of a fatal error.
#include "fail.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "process.h"

namespace common {

void fail(int status, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::exit(status);  // which flushes standard output and every other open stream
}

void fail_run(Run& run, int status, const char* format, ...) {
  run.abandon_all();
  run.console.clear();
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::exit(status);
}

int run_program(int argc, char** argv, int no_memory, int (*modes)(Run&, int, char**)) {
  const bool output_open = prepare_process();
  Run run;
  run.output_open = output_open;
  watch_interrupts(run.interruption());
  try {
    return modes(run, argc, argv);
  } catch (const std::bad_alloc&) {
    fail_run(run, no_memory, "Error -- out of memory\n");
  }
}

}  // namespace common
