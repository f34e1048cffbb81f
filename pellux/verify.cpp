// Testing an archive: every entry read and, when compressed, decoded in memory.
#include <cstdio>
#include <memory>
#include <string>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "modes.h"

namespace pellux {

int test_archive(const char* archive_path) {
  Archive archive;
  open_archive(archive_path, archive);
  const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (!decoder) common::fail(1, "Error -- Can't allocate memory to decompress FST file\n");
  size_t damaged = 0;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    const TocRecord& record = archive.toc[i];
    const std::string name = common::escape_name(record_name(record));
    Extracted entry;
    // One byte of room beyond the recorded size shows a stream that decodes to more.
    const ExtractError error = entry_in_range(record, archive.length)
                                   ? extract_entry(archive, record, 1, *decoder, entry)
                                   : ExtractError::kShortRead;
    ++damaged;
    if (error == ExtractError::kShortRead) {
      std::printf("Entry %zu (%s): its data does not lie inside the archive\n", i, name.c_str());
    } else if (error == ExtractError::kNoMemory) {
      std::printf("Entry %zu (%s): no memory to test it\n", i, name.c_str());
    } else if (entry.result.count > static_cast<size_t>(record.uncompressed_size)) {
      std::printf("Entry %zu (%s): decodes to more than %d bytes\n", i, name.c_str(),
                  record.uncompressed_size);
    } else if (entry.result.count != static_cast<size_t>(record.uncompressed_size)) {
      std::printf("Entry %zu (%s): decodes to %zu bytes, not %d\n", i, name.c_str(),
                  entry.result.count, record.uncompressed_size);
    } else if (entry.result.stop != lzw::DecodeStop::kEnd) {
      std::printf("Entry %zu (%s): its stream stops before its END\n", i, name.c_str());
    } else {
      --damaged;
    }
  }
  std::printf("%zu entries tested, %zu damaged\n", archive.toc.size(), damaged);
  return damaged == 0 ? 0 : 1;
}

}  // namespace pellux
