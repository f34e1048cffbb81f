// The process-ending report of a fatal error.
#include "fail.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

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

}  // namespace common
