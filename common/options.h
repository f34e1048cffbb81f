// The command line both programs share: options first, then paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console.h"

namespace common {

struct Arguments {
  std::string letters;             // the one-letter options given, in order ("xf" for -x -f)
  unsigned threads = 0;            // -j N; 0 when not given
  bool help = false;               // --help or -h
  bool version = false;            // --version or -V
  bool json = false;               // --json
  int progress = 0;                // --progress 1, --no-progress -1, neither 0
  bool bad = false;                // an unknown option, or -j without a count
  std::vector<const char*> paths;  // everything from the first non-option on
};

// Reads argv[1..argc-1]. Options come before the paths: one-letter options from `allowed`,
// which may be grouped (-xf); -j N or -jN when `allowed` holds 'j'; -h or --help, -V or
// --version; --json, --progress and --no-progress.
// "--" ends the options, so a path that starts with '-' can still be named; so does "./-l".
// The first argument that is not an option, and everything after it, are paths.
Arguments parse_arguments(int argc, char** argv, const std::string& allowed);

// The one mode letter of `modes` given among the options: 0 when none is, '?' when several are.
char mode_letter(const Arguments& args, std::string_view modes);

// The thread count: -j N, or one for each core.
unsigned thread_count(const Arguments& args);

// What both programs do first, once standard output is settled: the console set for -q and
// progress, the banner printed (not with -q), and -h or -V answered with `help` or `version`
// (the program's name and version). True when the run ends there.
bool start_run(Console& console, const Arguments& args, bool quiet, const char* banner,
               const char* help, const char* version);

}  // namespace common
