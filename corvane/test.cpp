// Testing a container: what -l checks, and every compressed entry decoded in memory.
#include <cstdio>
#include <vector>

#include "common/fail.h"
#include "modes.h"

namespace corvane {

int test_container(common::RunFiles& run, const char* path) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  const size_t problems = load_container(run, path, file, info);
  lzw::StreamBuffers buffers;
  const lzw::Sink nowhere = [](const uint8_t*, size_t) { return true; };
  std::vector<bool> flagged(info.entries.size());
  for (const Problem& problem : info.problems) {
    if (problem.entry < flagged.size()) flagged[problem.entry] = true;
  }
  size_t damaged = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const ContainerEntry& entry = info.entries[i];
    if (!entry.compressed || flagged[i]) continue;
    const container::Judged decoded = container::judge_entry(file, entry, buffers, nowhere);
    if (decoded.error == container::ReadError::kReadError) {
      common::fail(kNothingDone, "Error reading container '%s'\n", path);
    }
    ++damaged;
    if (decoded.error == container::ReadError::kNoMemory) {
      std::printf("Entry %zu: no memory to test it\n", i);
      continue;
    }
    switch (decoded.verdict) {
      case container::Verdict::kSound:
        --damaged;
        break;
      case container::Verdict::kMore:
        std::printf("Entry %zu: decodes to more than %u bytes\n", i, entry.original_length);
        break;
      case container::Verdict::kFewer:
        std::printf("Entry %zu: decodes to %llu bytes, not %u\n", i,
                    static_cast<unsigned long long>(decoded.count), entry.original_length);
        break;
      case container::Verdict::kNoEnd:
        std::printf("Entry %zu: its stream stops before its END\n", i);
        break;
    }
  }
  std::printf("%zu entries tested, %zu damaged, %zu problems\n", info.entries.size(), damaged,
              problems);
  return printed(problems == 0 && damaged == 0 ? 0 : kSomeFailed);
}

}  // namespace corvane
