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
  const std::string& mode = args.letters;
  const size_t paths = args.paths.size();
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
  if (!args.bad && mode.empty() && paths == 2) {
    const unsigned threads =
        args.threads != 0 ? args.threads : std::max(1u, std::thread::hardware_concurrency());
    return build(files, args.paths[0], args.paths[1], threads);
  }
  if (!args.bad && args.threads == 0 && (mode == "l" || mode == "t") && paths == 1) {
    return mode == "l" ? list_container(files, args.paths[0]) : test_container(files, args.paths[0]);
  }
  if (!args.bad && args.threads == 0 && (mode == "x" || mode == "xf" || mode == "fx") &&
      paths == 2) {
    return unpack_container(files, args.paths[0], args.paths[1], mode != "x");
  }
  std::printf("Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
  // A wrong command line of the build keeps its old status; one that asks for a mode is an
  // error a script must see.
  return mode.find_first_of("ltx") == std::string::npos ? 0 : kUsage;
}

}  // namespace corvane
