// Fuzz target: an FST/DPK archive of arbitrary bytes through the table reader, the lookup and
// the path -t and -x take, every entry extracted into memory. The first byte gives the length
// of the requested name that follows it; the rest is the archive.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "pellux/archive.h"
#include "pellux/lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (size < 1) return 0;
  const size_t name_length = data[0] < size - 1 ? data[0] : size - 1;
  const std::string requested(reinterpret_cast<const char*>(data + 1), name_length);
  std::string bytes(reinterpret_cast<const char*>(data + 1 + name_length), size - 1 - name_length);
  pellux::Archive archive;
  archive.file = fmemopen(bytes.data(), bytes.size(), "rb");
  if (archive.file == nullptr) return 0;
  archive.length = static_cast<int64_t>(bytes.size());
  if (pellux::read_toc(archive.file, archive.length, archive.toc) == pellux::TocError::kNone) {
    const int64_t index = pellux::find_record(archive.toc, requested);
    if (index < -1 || index >= static_cast<int64_t>(archive.toc.size())) __builtin_trap();
    for (const pellux::TocRecord& record : archive.toc) {
      pellux::Extracted entry;
      if (pellux::entry_in_range(record, archive.length) &&
          pellux::extract_entry(archive, record, 1, *decoder, entry) ==
              pellux::ExtractError::kNone &&
          entry.result.count > static_cast<size_t>(record.uncompressed_size) + 1) {
        __builtin_trap();
      }
    }
  }
  std::fclose(archive.file);
  return 0;
}
