// Reading the command line.
#include "options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace common {
namespace {

// The thread count of -j: a whole number from 1 to 1024.
bool parse_threads(std::string_view text, unsigned& threads) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return false;
    value = value * 10 + static_cast<unsigned>(ch - '0');
  }
  if (value < 1 || value > 1024) return false;
  threads = value;
  return true;
}

}  // namespace

Arguments parse_arguments(int argc, char** argv, const std::string& allowed) {
  Arguments parsed;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--help" || arg == "--version" || arg == "--json") {
      (arg == "--help" ? parsed.help : arg == "--json" ? parsed.json : parsed.version) = true;
      continue;
    }
    if (arg == "--progress" || arg == "--no-progress") {
      parsed.progress = arg == "--progress" ? 1 : -1;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-' || arg[1] == '-') {
      if (arg.size() >= 2 && arg[0] == '-') parsed.bad = true;  // an unknown long option
      break;
    }
    for (size_t k = 1; k < arg.size(); ++k) {
      const char letter = arg[k];
      if (letter == 'h' || letter == 'V') {
        (letter == 'h' ? parsed.help : parsed.version) = true;
      } else if (allowed.find(letter) == std::string::npos) {
        parsed.bad = true;
      } else if (letter == 'j') {
        // The count is the rest of this argument, or the next one.
        const std::string_view count = k + 1 < arg.size() ? arg.substr(k + 1)
                                       : i + 1 < argc     ? std::string_view(argv[++i])
                                                          : std::string_view();
        parsed.bad = parsed.bad || !parse_threads(count, parsed.threads);
        break;
      } else {
        parsed.letters += letter;
      }
    }
  }
  for (; i < argc; ++i) parsed.paths.push_back(argv[i]);
  return parsed;
}

char mode_letter(const Arguments& args, std::string_view modes) {
  char mode = 0;
  for (const char letter : args.letters) {
    if (modes.find(letter) == std::string_view::npos) continue;
    mode = mode == 0 ? letter : '?';
  }
  return mode;
}

unsigned thread_count(const Arguments& args) {
  return args.threads != 0 ? args.threads : std::max(1u, std::thread::hardware_concurrency());
}

bool start_run(Console& console, const Arguments& args, bool quiet, const char* banner,
               const char* help, const char* version) {
  console.configure(quiet, args.progress > 0   ? ProgressMode::kOn
                           : args.progress < 0 ? ProgressMode::kOff
                                               : ProgressMode::kAuto);
  if (!quiet) std::printf("%s", banner);
  if (args.bad || !(args.help || args.version)) return false;
  std::printf(args.help ? "%s" : "%s\n", args.help ? help : version);
  return true;
}

}  // namespace common
