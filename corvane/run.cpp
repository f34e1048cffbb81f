// The builder's entry: banner, command line, and the mode it asks for.
#include "run.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "build.h"
#include "common/options.h"
#include "common/output.h"
#include "common/process.h"
#include "modes.h"

namespace corvane {

int run(int argc, char** argv) {
  common::prepare_process();
  common::RunFiles files;
  common::watch_interrupts(files.interruption());
  std::printf("-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n");
  const common::Arguments args = common::parse_arguments(argc, argv, "jltxf");
  const char mode = common::mode_letter(args, "ltx");
  const size_t paths = args.paths.size();
  // -f goes with -x, -j with the build and the modes that work on many entries at once.
  const bool force = args.letters.find('f') != std::string::npos;
  const bool fits = !args.bad && mode != '?' && (!force || mode == 'x') &&
                    (args.threads == 0 || mode != 'l');
  const unsigned threads =
      args.threads != 0 ? args.threads : std::max(1u, std::thread::hardware_concurrency());
  if (args.help && !args.bad) {
    std::printf(
        "corvane [-j N] <file list> <SOL, SAV, PKK or MPK file to create>\n"
        "    builds a container; -j N encodes on N threads (default: one per core)\n"
        "corvane -l <container>\n"
        "    lists the header and every entry, and checks them\n"
        "corvane -t <container>\n"
        "    checks everything -l checks and decodes every compressed entry in memory\n"
        "corvane -x [-f] <container> <folder>\n"
        "    writes every entry to <folder>/N.bin and a list.txt that rebuilds the\n"
        "    container; -f replaces files that exist\n"
        "--  ends the options; --help, --version\n");
    return 0;
  }
  if (args.version && !args.bad) {
    std::printf("corvane %s\n", PROJECT_VERSION);
    return 0;
  }
  if (fits && mode == 0 && paths == 2 && args.letters.empty()) {
    return build(files, args.paths[0], args.paths[1], threads);
  }
  if (fits && (mode == 'l' || mode == 't') && paths == 1) {
    return mode == 'l' ? list_container(files, args.paths[0])
                       : test_container(files, args.paths[0], threads);
  }
  if (fits && mode == 'x' && paths == 2) {
    return unpack_container(files, args.paths[0], args.paths[1], force, threads);
  }
  std::printf("Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
  // A wrong command line of the build keeps its old status; one that asks for a mode is an
  // error a script must see.
  return mode == 0 ? 0 : kUsage;
}

}  // namespace corvane
