// Fuzz target: the table-of-contents reader and the lookup on arbitrary archive bytes. The
// first byte gives the length of the requested name that follows it; the rest is the archive.
#include <cstdint>
#include <cstdio>
#include <string>

#include "pellux/lookup.h"
#include "pellux/toc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t name_length = data[0] < size - 1 ? data[0] : size - 1;
  const std::string requested(reinterpret_cast<const char*>(data + 1), name_length);
  const size_t archive_offset = 1 + name_length;
  std::string archive(reinterpret_cast<const char*>(data + archive_offset), size - archive_offset);
  std::FILE* file = fmemopen(archive.data(), archive.size(), "rb");
  if (file == nullptr) return 0;
  pellux::Toc toc;
  if (pellux::read_toc(file, static_cast<int64_t>(archive.size()), toc) ==
      pellux::TocError::kNone) {
    const int64_t index = pellux::find_record(toc, requested);
    if (index < -1 || index >= static_cast<int64_t>(toc.size())) __builtin_trap();
    if (index >= 0) (void)pellux::record_name(toc[static_cast<size_t>(index)]).size();
  }
  std::fclose(file);
  return 0;
}
