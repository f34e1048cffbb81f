// The builder's entry: banner, command line, and the mode it asks for.
#include "run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "build.h"
#include "common/fail.h"
#include "common/options.h"
#include "common/output.h"
#include "common/process.h"
#include "modes.h"

namespace corvane {

namespace {

constexpr const char* kBanner =
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n";

constexpr const char* kHelp =
    "corvane [-j N] <file list> <SOL, SAV, PKK or MPK file to create>\n"
    "    builds a container\n"
    "corvane -l [--json] <container>\n"
    "    lists the header and every entry, and checks them; --json as JSON Lines\n"
    "corvane -t [--json] [-j N] <container>\n"
    "    checks everything -l checks and decodes every compressed entry\n"
    "corvane -x [-f] [-q] [-j N] <container> <folder>\n"
    "    writes every entry to <folder>/N.bin and a list.txt that rebuilds the\n"
    "    container; -f replaces files that exist\n"
    "-j N  threads (default: one per core); -q  errors only; --progress, --no-progress\n"
    "--  ends the options; -h, --help; -V, --version\n";

bool has(const std::string& letters, char letter) {
  return letters.find(letter) != std::string::npos;
}

int run_modes(common::Run& files, int argc, char** argv) {
  const common::Arguments args = common::parse_arguments(argc, argv, "jltxfq");
  const char mode = common::mode_letter(args, "ltx");
  const size_t paths = args.paths.size();
  // Each option goes with the modes it means something to; -j and progress with the build too.
  const bool force = has(args.letters, 'f'), quiet = has(args.letters, 'q');
  const auto only = [mode](bool given, const char* modes) {
    return !given || std::strchr(modes, mode == 0 ? 'b' : mode) != nullptr;
  };
  const bool fits = !args.bad && mode != '?' && only(force, "x") && only(quiet, "x") &&
                    only(args.threads != 0, "btx") && only(args.json, "lt") &&
                    only(args.progress != 0, "btx");
  // With --json standard output carries the listing: the banner and every message go to
  // standard error.
  const int data = fits && args.json ? common::take_standard_output(files.output_open) : -1;
  if (common::start_run(files.console, args, quiet, kBanner, kHelp, "corvane " PROJECT_VERSION))
    return 0;
  if (fits && args.json && data < 0) common::fail(kNothingDone, "Can't write to standard output\n");
  const unsigned threads = common::thread_count(args);
  if (fits && mode == 0 && paths == 2 && args.letters.empty()) {
    return build(files, args.paths[0], args.paths[1], threads);
  }
  if (fits && (mode == 'l' || mode == 't') && paths == 1) {
    return mode == 'l' ? list_container(files, args.paths[0], data)
                       : test_container(files, args.paths[0], threads, data);
  }
  if (fits && mode == 'x' && paths == 2) {
    return unpack_container(files, args.paths[0], args.paths[1], force, threads);
  }
  if (quiet) std::printf("%s", kBanner);
  std::printf("Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
  // A wrong command line of the build keeps its old status; one that asks for a mode is an
  // error a script must see.
  return mode == 0 ? 0 : kUsage;
}

}  // namespace

int run(int argc, char** argv) {
  return common::run_program(argc, argv, kSomeFailed, run_modes);
}

}  // namespace corvane
