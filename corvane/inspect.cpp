// Listing and testing a container.
#include <cstdio>
#include <memory>
#include <vector>

#include "common/fail.h"
#include "common/files.h"
#include "modes.h"

namespace corvane {

int printed(int status) {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? status : kNothingDone;
}

size_t load_container(common::RunFiles& run, const char* path, std::FILE*& file,
                      ContainerInfo& info) {
  file = common::open_input(path);
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

int list_container(common::RunFiles& run, const char* path) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  const size_t problems = load_container(run, path, file, info);
  std::printf("%s: %llu bytes, %zu entries, data area at offset %u, checksum word 0x%08X\n", path,
              static_cast<unsigned long long>(info.file_size), info.entries.size(),
              info.data_offset, info.checksum_word);
  std::printf("Index      Offset  Kind              Length    Original\n");
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const ContainerEntry& entry = info.entries[i];
    std::printf("%5zu %11u  %-10s %13llu", i, entry.offset,
                entry.compressed ? "compressed" : "stored",
                static_cast<unsigned long long>(entry.length));
    if (entry.compressed) std::printf(" %11u", entry.original_length);
    std::printf("\n");
  }
  std::printf("%zu entries, %zu problems\n", info.entries.size(), problems);
  return printed(problems == 0 ? 0 : kSomeFailed);
}

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
    EntryBytes decoded;
    const ReadError error = read_entry_bytes(file, entry, *decoder, decoded);
    if (error == ReadError::kReadError) {
      common::fail(kNothingDone, "Error reading container '%s'\n", path);
    }
    ++damaged;
    if (error == ReadError::kNoMemory) {
      std::printf("Entry %zu: no memory to test it\n", i);
    } else if (decoded.result.count > entry.original_length) {
      std::printf("Entry %zu: decodes to more than %u bytes\n", i, entry.original_length);
    } else if (decoded.result.count != entry.original_length) {
      std::printf("Entry %zu: decodes to %zu bytes, not %u\n", i, decoded.result.count,
                  entry.original_length);
    } else if (decoded.result.stop != lzw::DecodeStop::kEnd) {
      std::printf("Entry %zu: its stream stops before its END\n", i);
    } else {
      --damaged;
    }
  }
  std::printf("%zu entries tested, %zu damaged, %zu problems\n", info.entries.size(), damaged,
              problems);
  return printed(problems == 0 && damaged == 0 ? 0 : kSomeFailed);
}

}  // namespace corvane
