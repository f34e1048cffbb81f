// The extractor's entry: banner, command line, and the mode it asks for.
#include "run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "common/fail.h"
#include "common/options.h"
#include "common/output.h"
#include "common/process.h"
#include "modes.h"

namespace pellux {

namespace {

constexpr const char* kBanner =
    "-- pellux -- read and extract a file from an FST or DPK file --\n\n";

constexpr const char* kHelp =
    "pellux <FST file> <file to extract> <file to create, or - for standard output>\n"
    "    extracts the first entry whose name matches, ignoring directories and case\n"
    "pellux -l [--json | -1] <FST file>\n"
    "    lists every entry: index, stored and uncompressed size, kind, offset, name;\n"
    "    --json one JSON object per line, -1 the names only\n"
    "pellux -t [--json] [-j N] <FST file>\n"
    "    decodes every entry and reports each damaged one\n"
    "pellux -x [-f] [-q] [-j N] <FST file> <folder> [pattern ...]\n"
    "pellux -x -O [-q] <FST file> [pattern ...]\n"
    "    extracts every entry, or those whose name matches a pattern (* and ?), into\n"
    "    the folder under its name (-f replaces files that exist), or to standard output\n"
    "pellux -u [-f] [-q] [-j N] <FST file> <folder>\n"
    "    unpacks every entry under its stored path into <folder>/files, and writes\n"
    "    <folder>/manifest.txt, from which -c builds the archive again\n"
    "pellux -c [-f] [-q] [-j N] <FST file to create> <manifest>\n"
    "    creates an archive from a manifest\n"
    "-j N  threads (default: one per core); -q  errors only; --progress, --no-progress\n"
    "--  ends the options; -h, --help; -V, --version\n";

bool has(const std::string& letters, char letter) {
  return letters.find(letter) != std::string::npos;
}

int run_modes(common::Run& files, int argc, char** argv) {
  const common::Arguments args = common::parse_arguments(argc, argv, "ltxucfjq1O");
  const char mode = common::mode_letter(args, "ltxuc");
  const size_t paths = args.paths.size();
  const std::string& letters = args.letters;
  // Each option goes with the modes it means something to.
  const bool force = has(letters, 'f'), quiet = has(letters, 'q'), names = has(letters, '1'),
             to_output = has(letters, 'O');
  const auto only = [mode](bool given, const char* modes) {
    return !given || (mode != 0 && std::strchr(modes, mode) != nullptr);
  };
  const bool fits = !args.bad && mode != '?' && only(force, "xuc") && only(quiet, "xuc") &&
                    only(args.threads != 0, "txuc") && only(names, "l") && only(to_output, "x") &&
                    only(args.json, "lt") && only(args.progress != 0, "txuc") &&
                    !(names && args.json) && !(to_output && force);
  // Standard output carries data for -O, --json, -1 and an output of "-": then the banner and
  // every message go to standard error.
  const bool data_out = fits && (to_output || args.json || names ||
                                 (mode == 0 && paths == 3 && std::string(args.paths[2]) == "-"));
  const int data = data_out ? common::take_standard_output(files.output_open) : -1;
  if (common::start_run(files.console, args, quiet, kBanner, kHelp, "pellux " PROJECT_VERSION))
    return 0;
  if (data_out && data < 0) common::fail(kNothingDone, "Can't write to standard output\n");
  const unsigned threads = common::thread_count(args);
  if (fits && mode == 0 && paths == 3 && letters.empty()) {
    return extract_one(files, args.paths[0], args.paths[1], args.paths[2], data);
  }
  if (fits && mode == 'l' && paths == 1) {
    return list_archive(files, args.paths[0],
                        args.json ? ListForm::kJson
                        : names   ? ListForm::kNames
                                  : ListForm::kTable,
                        data);
  }
  if (fits && mode == 't' && paths == 1) return test_archive(files, args.paths[0], threads, data);
  if (fits && mode == 'x' && paths >= (to_output ? 1u : 2u)) {
    const size_t first = to_output ? 1 : 2;
    const std::vector<const char*> patterns(args.paths.begin() + static_cast<long>(first),
                                            args.paths.end());
    return extract_many(files, args.paths[0], to_output ? nullptr : args.paths[1], patterns, force,
                        to_output ? 1 : threads, data);
  }
  if (fits && mode == 'u' && paths == 2) {
    return unpack_archive(files, args.paths[0], args.paths[1], force, threads);
  }
  if (fits && mode == 'c' && paths == 2) {
    return create_archive(files, args.paths[0], args.paths[1], force, threads);
  }
  if (quiet) std::printf("%s", kBanner);
  std::printf("Usage: pellux <FST file> <file to extract> <file to create>\n\n");
  std::printf("    The name of the file to extract should *not* contain path info.\n");
  std::printf("    pellux will ignore any directory path given it.\n");
  // A wrong command line of the single extraction keeps its old status; one that asks for a
  // mode is an error a script must see.
  return mode == 0 ? 0 : kUsage;
}

}  // namespace

int run(int argc, char** argv) {
  return common::run_program(argc, argv, kSomeFailed, run_modes);
}

}  // namespace pellux
