// Listing a container: its header, and one line per entry.
#include <cstdio>

#include "modes.h"

namespace corvane {

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

}  // namespace corvane
