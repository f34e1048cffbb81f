// Opening a container for the modes that read one, and reporting every problem found in it.
#include <cstdio>

#include "common/fail.h"
#include "common/files.h"
#include "modes.h"

namespace corvane {

using container::ProblemKind;
using container::ReadError;

int printed(int status) {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? status : kNothingDone;
}

size_t load_container(common::RunFiles& run, const char* path, std::FILE*& file,
                      ContainerInfo& info) {
  file = common::open_input(path, true);
  if (file == nullptr) common::fail(kNothingDone, "Can't open container '%s'\n", path);
  common::FileId id;
  if (common::identify(file, id)) run.add_input(id);
  switch (read_container(file, info)) {
    case ReadError::kNone:
      break;
    case ReadError::kReadError:
      common::fail(kNothingDone, "Error reading container '%s'\n", path);
    case ReadError::kNoMemory:
      common::fail(kNothingDone, "Error -- Can't allocate memory for container '%s'\n", path);
  }
  for (const Problem& problem : info.problems) {
    const ContainerEntry* entry =
        problem.entry < info.entries.size() ? &info.entries[problem.entry] : nullptr;
    switch (problem.kind) {
      case ProblemKind::kNoHeader:
        std::printf("The file is shorter than a container's two header words\n");
        break;
      case ProblemKind::kBadDataOffset:
        std::printf("Data area offset %u is not 8 + 4 n inside the file\n", info.data_offset);
        break;
      case ProblemKind::kChecksum:
        std::printf("Checksum word 0x%08X does not match the bytes after it (their sum: 0x%08X)\n",
                    info.checksum_word, info.byte_sum);
        break;
      case ProblemKind::kBit31:
        std::printf("Entry %zu: bit 31 of its offset word is set\n", problem.entry);
        break;
      case ProblemKind::kOutsideDataArea:
        std::printf("Entry %zu: offset %u lies outside the data area\n", problem.entry,
                    entry->offset);
        break;
      case ProblemKind::kOutOfOrder:
        std::printf("Entry %zu: offset %u comes before the entry listed before it\n", problem.entry,
                    entry->offset);
        break;
      case ProblemKind::kNoLengthWord:
        std::printf("Entry %zu: compressed, but too short for its length word\n", problem.entry);
        break;
    }
  }
  return info.problems.size();
}

}  // namespace corvane
