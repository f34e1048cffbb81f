// The builder's entry: banner, command line, and the mode it asks for.
#include "run.h"

#include <cstdio>
#include <algorithm>
#include <thread>

#include "build.h"
#include "common/options.h"
#include "common/process.h"

namespace corvane {

int run(int argc, char** argv) {
  common::prepare_process();
  std::printf("-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n");
  const common::Arguments args = common::parse_arguments(argc, argv, "j");
  if (args.bad || args.paths.size() != 2) {
    std::printf("Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
    return 0;
  }
  const unsigned threads =
      args.threads != 0 ? args.threads : std::max(1u, std::thread::hardware_concurrency());
  return build(args.paths[0], args.paths[1], threads);
}

}  // namespace corvane
