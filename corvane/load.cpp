// Opening a container for the modes that read one, and reporting every problem found in it.
#include <cstdio>
#include <string>

#include "common/fail.h"
#include "common/files.h"
#include "modes.h"

namespace corvane {

using container::ProblemKind;
using container::ReadError;

int printed(int status) {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? status : kNothingDone;
}

int printed_to(std::FILE* out, int status) {
  const bool ok = std::fflush(out) == 0 && std::ferror(out) == 0;
  return printed(ok ? status : kNothingDone);
}

std::string describe(const Problem& problem, const ContainerInfo& info) {
  const ContainerEntry* entry =
      problem.entry < info.entries.size() ? &info.entries[problem.entry] : nullptr;
  char text[128];
  switch (problem.kind) {
    case ProblemKind::kNoHeader:
      return "The file is shorter than a container's two header words";
    case ProblemKind::kBadDataOffset:
      std::snprintf(text, sizeof text, "Data area offset %u is not 8 + 4 n inside the file",
                    info.data_offset);
      break;
    case ProblemKind::kChecksum:
      std::snprintf(text, sizeof text,
                    "Checksum word 0x%08X does not match the bytes after it (their sum: 0x%08X)",
                    info.checksum_word, info.byte_sum);
      break;
    case ProblemKind::kBit31:
      std::snprintf(text, sizeof text, "Entry %zu: bit 31 of its offset word is set",
                    problem.entry);
      break;
    case ProblemKind::kOutsideDataArea:
      std::snprintf(text, sizeof text, "Entry %zu: offset %u lies outside the data area",
                    problem.entry, entry->offset);
      break;
    case ProblemKind::kOutOfOrder:
      std::snprintf(text, sizeof text,
                    "Entry %zu: offset %u comes before the entry listed before it", problem.entry,
                    entry->offset);
      break;
    case ProblemKind::kNoLengthWord:
      std::snprintf(text, sizeof text, "Entry %zu: compressed, but too short for its length word",
                    problem.entry);
      break;
  }
  return text;
}

size_t load_container(common::Run& run, const char* path, std::FILE*& file, ContainerInfo& info,
                      int data) {
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
    std::printf("%s\n", describe(problem, info).c_str());
  }
  if (data >= 0 && run.is_input_fd(data)) {
    common::fail(kNothingDone, "Can't write to standard output: it is the container being read\n");
  }
  return info.problems.size();
}

}  // namespace corvane
