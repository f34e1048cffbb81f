// The extractor's entry: banner, command line, and the mode it asks for.
#include "run.h"

#include <cstdio>
#include <string>

#include "common/options.h"
#include "common/output.h"
#include "common/process.h"
#include "modes.h"

namespace pellux {

int run(int argc, char** argv) {
  common::prepare_process();
  common::RunFiles files;
  common::watch_interrupts(files.interruption());
  std::printf("-- pellux -- read and extract a file from an FST or DPK file --\n\n");
  const common::Arguments args = common::parse_arguments(argc, argv, "ltxf");
  const std::string& mode = args.letters;
  const size_t paths = args.paths.size();
  if (args.help && !args.bad) {
    std::printf(
        "pellux <FST file> <file to extract> <file to create>\n"
        "    extracts the first entry whose name matches, ignoring directories and case\n"
        "pellux -l <FST file>\n"
        "    lists every entry: index, stored and uncompressed size, kind, offset, name\n"
        "pellux -t <FST file>\n"
        "    decodes every entry in memory and reports each damaged one\n"
        "pellux -x [-f] <FST file> <folder> [pattern ...]\n"
        "    extracts every entry, or those whose name matches a pattern (* and ?), into\n"
        "    the folder under its name; -f replaces files that exist\n"
        "--  ends the options; --help, --version\n");
    return 0;
  }
  if (args.version && !args.bad) {
    std::printf("pellux %s\n", PROJECT_VERSION);
    return 0;
  }
  if (!args.bad && mode.empty() && paths == 3) {
    return extract_one(files, args.paths[0], args.paths[1], args.paths[2]);
  }
  if (!args.bad && (mode == "l" || mode == "t") && paths == 1) {
    return mode == "l" ? list_archive(files, args.paths[0]) : test_archive(files, args.paths[0]);
  }
  if (!args.bad && (mode == "x" || mode == "xf" || mode == "fx") && paths >= 2) {
    const std::vector<const char*> patterns(args.paths.begin() + 2, args.paths.end());
    return extract_many(files, args.paths[0], args.paths[1], patterns, mode != "x");
  }
  std::printf("Usage: pellux <FST file> <file to extract> <file to create>\n\n");
  std::printf("    The name of the file to extract should *not* contain path info.\n");
  std::printf("    pellux will ignore any directory path given it.\n");
  // A wrong command line of the single extraction keeps its old status; one that asks for a
  // mode is an error a script must see.
  return mode.find_first_of("ltx") == std::string::npos ? 0 : kUsage;
}

}  // namespace pellux
