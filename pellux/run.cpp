// The extractor's entry: banner, command line, and the mode it asks for.
#include "run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

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
  const common::Arguments args = common::parse_arguments(argc, argv, "ltxucfj");
  const char mode = common::mode_letter(args, "ltxuc");
  const size_t paths = args.paths.size();
  // -f goes with the modes that write files, -j with those that work on many entries at once.
  const bool force = args.letters.find('f') != std::string::npos;
  const bool fits = !args.bad && mode != '?' &&
                    (!force || (mode != 0 && std::strchr("xuc", mode) != nullptr)) &&
                    (args.threads == 0 || (mode != 0 && std::strchr("txuc", mode) != nullptr));
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
        "pellux -u [-f] <FST file> <folder>\n"
        "    unpacks every entry under its stored path into <folder>/files, and writes\n"
        "    <folder>/manifest.txt, from which -c builds the archive again\n"
        "pellux -c [-f] [-j N] <FST file to create> <manifest>\n"
        "    creates an archive from a manifest, on N threads (default: one per core)\n"
        "--  ends the options; --help, --version\n");
    return 0;
  }
  if (args.version && !args.bad) {
    std::printf("pellux %s\n", PROJECT_VERSION);
    return 0;
  }
  const unsigned threads =
      args.threads != 0 ? args.threads : std::max(1u, std::thread::hardware_concurrency());
  if (fits && mode == 0 && paths == 3 && args.letters.empty()) {
    return extract_one(files, args.paths[0], args.paths[1], args.paths[2]);
  }
  if (fits && (mode == 'l' || mode == 't') && paths == 1) {
    return mode == 'l' ? list_archive(files, args.paths[0])
                       : test_archive(files, args.paths[0], threads);
  }
  if (fits && mode == 'x' && paths >= 2) {
    const std::vector<const char*> patterns(args.paths.begin() + 2, args.paths.end());
    return extract_many(files, args.paths[0], args.paths[1], patterns, force, threads);
  }
  if (fits && mode == 'u' && paths == 2) {
    return unpack_archive(files, args.paths[0], args.paths[1], force, threads);
  }
  if (fits && mode == 'c' && paths == 2) {
    return create_archive(files, args.paths[0], args.paths[1], force, threads);
  }
  std::printf("Usage: pellux <FST file> <file to extract> <file to create>\n\n");
  std::printf("    The name of the file to extract should *not* contain path info.\n");
  std::printf("    pellux will ignore any directory path given it.\n");
  // A wrong command line of the single extraction keeps its old status; one that asks for a
  // mode is an error a script must see.
  return mode == 0 ? 0 : kUsage;
}

}  // namespace pellux
