// Fuzz target: an FST/DPK archive of arbitrary bytes through the table reader, the lookup and
// the path -t and -x take, every entry extracted into memory. The first byte gives the length
// of the requested name that follows it; the rest is the archive.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fst/entry.h"
#include "fst/lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (size < 1) return 0;
  const size_t name_length = data[0] < size - 1 ? data[0] : size - 1;
  const std::string requested(reinterpret_cast<const char*>(data + 1), name_length);
  std::string bytes(reinterpret_cast<const char*>(data + 1 + name_length), size - 1 - name_length);
  fst::Archive archive;
  archive.file = fmemopen(bytes.data(), bytes.size(), "rb");
  if (archive.file == nullptr) return 0;
  archive.length = static_cast<int64_t>(bytes.size());
  if (fst::read_toc(archive.file, archive.length, archive.toc) == fst::TocError::kNone) {
    const int64_t index = fst::find_record(archive.toc, requested);
    if (index < -1 || index >= static_cast<int64_t>(archive.toc.size())) __builtin_trap();
    for (const fst::TocRecord& record : archive.toc) {
      fst::Extracted entry;
      if (fst::entry_in_range(record, archive.length) &&
          fst::extract_entry(archive, record, 1, *decoder, entry) ==
              fst::ExtractError::kNone &&
          entry.result.count > static_cast<size_t>(record.uncompressed_size) + 1) {
        __builtin_trap();
      }
    }
  }
  std::fclose(archive.file);
  return 0;
}
