// Fuzz target: an FST/DPK archive of arbitrary bytes through the table reader, the lookup and
// the path every mode takes through an entry, each entry read and decoded in pieces. The first
// byte gives the length of the requested name that follows it; the rest is the archive.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fst/entry.h"
#include "fst/lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fst::EntryBuffers buffers;
  if (size < 1) return 0;
  const size_t name_length = data[0] < size - 1 ? data[0] : size - 1;
  const std::string requested(reinterpret_cast<const char*>(data + 1), name_length);
  const std::string bytes(reinterpret_cast<const char*>(data + 1 + name_length),
                          size - 1 - name_length);
  // A file with a descriptor, as the modes read one: entries are read where they lie.
  const int fd = memfd_create("archive", 0);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      lseek(fd, 0, SEEK_SET) != 0) {
    __builtin_trap();
  }
  fst::Archive archive;
  archive.file = fdopen(fd, "rb");
  archive.length = static_cast<int64_t>(bytes.size());
  if (fst::read_toc(archive.file, archive.length, archive.toc) == fst::TocError::kNone) {
    const int64_t index = fst::find_record(archive.toc, requested);
    if (index < -1 || index >= static_cast<int64_t>(archive.toc.size())) __builtin_trap();
    fst::find_overlaps(archive);
    for (const fst::TocRecord& record : archive.toc) {
      if (!fst::entry_in_range(record, archive.length)) continue;
      uint64_t given = 0;
      const fst::Judged judged =
          fst::judge_entry(archive, record, 1, buffers, [&given](const uint8_t*, size_t count) {
            given += count;
            return true;
          });
      // Never more than the record's size and the slack, and every byte counted.
      if (judged.count != given || given > static_cast<uint64_t>(record.uncompressed_size) + 1) {
        __builtin_trap();
      }
    }
  }
  std::fclose(archive.file);
  return 0;
}
