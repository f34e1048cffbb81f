// Fuzz target: a container of arbitrary bytes through the reader that -l, -t and -x use, every
// entry without a problem of its own read and decoded into memory.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "container/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lzw::StreamBuffers buffers;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
  if (file == nullptr) return 0;
  container::ContainerInfo info;
  if (container::read_container(file, info) == container::ReadError::kNone) {
    std::vector<bool> flagged(info.entries.size());
    for (const container::Problem& problem : info.problems) {
      if (problem.entry < flagged.size()) flagged[problem.entry] = true;
    }
    for (size_t i = 0; i < info.entries.size(); ++i) {
      const container::ContainerEntry& entry = info.entries[i];
      if (flagged[i]) continue;
      if (entry.offset + entry.length > size) __builtin_trap();
      uint64_t given = 0;
      const container::Judged judged =
          container::judge_entry(file, entry, buffers, [&given](const uint8_t*, size_t count) {
            given += count;
            return true;
          });
      // Never more than the length word and one byte, and every byte counted.
      if (judged.count != given ||
          (entry.compressed && given > uint64_t{entry.original_length} + 1)) {
        __builtin_trap();
      }
    }
  }
  std::fclose(file);
  return 0;
}
