// Testing a container: what -l checks, and every compressed entry decoded in memory.
#include <cstdio>
#include <memory>
#include <vector>

#include "common/fail.h"
#include "modes.h"

namespace corvane {

int test_container(common::RunFiles& run, const char* path) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  const size_t problems = load_container(run, path, file, info);
  const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (!decoder) common::fail(kNothingDone, "Error -- Can't allocate memory for container '%s'\n", path);
  std::vector<bool> flagged(info.entries.size());
  for (const Problem& problem : info.problems) {
    if (problem.entry < flagged.size()) flagged[problem.entry] = true;
  }
  size_t damaged = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const ContainerEntry& entry = info.entries[i];
    if (!entry.compressed || flagged[i]) continue;
    container::EntryBytes decoded;
    const container::ReadError error = container::read_entry_bytes(file, entry, *decoder, decoded);
    if (error == container::ReadError::kReadError) {
      common::fail(kNothingDone, "Error reading container '%s'\n", path);
    }
    ++damaged;
    if (error == container::ReadError::kNoMemory) {
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
        std::printf("Entry %zu: decodes to %zu bytes, not %u\n", i, decoded.result.count,
                    entry.original_length);
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
