// Extracting many entries into a folder, each under its base name.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "lookup.h"
#include "modes.h"
#include "names.h"

namespace pellux {
namespace {

// The entry's bytes into a new file at `path`; false with the message printed when they could
// not all be written.
bool write_entry(const std::string& path, const std::string& shown, bool overwrite,
                 const uint8_t* bytes, size_t count) {
  switch (common::write_new_file(path.c_str(), overwrite, bytes, count)) {
    case common::NewFile::kWritten:
      return true;
    case common::NewFile::kCannotCreate:
      std::printf("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                  shown.c_str());
      return false;
    case common::NewFile::kWriteFailed:
      std::printf("Error writing %s\n", shown.c_str());
      return false;
  }
  return false;
}

}  // namespace

int extract_many(const char* archive_path, const char* folder,
                 const std::vector<const char*>& patterns, bool overwrite) {
  Archive archive;
  open_archive(archive_path, archive);
  if (!common::make_directory(folder)) common::fail(1, "Can't create folder '%s'\n", folder);
  const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (!decoder) common::fail(1, "Error -- Can't allocate memory to decompress FST file\n");
  std::vector<std::string> bases;  // of the entries chosen so far, to find a repeated one
  size_t written = 0, failed = 0;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    const TocRecord& record = archive.toc[i];
    const std::string base = base_name(record_name(record));
    bool chosen = patterns.empty();
    for (const char* pattern : patterns)
      chosen = chosen || matches_pattern(base_name(pattern), base);
    if (!chosen) continue;
    const std::string shown = common::escape_name(base);
    ++failed;
    size_t first = 0;
    while (first < bases.size() && !equal_folded(bases[first], base)) ++first;
    bases.push_back(base);
    Extracted entry;
    if (first + 1 < bases.size()) {
      // Lookup would find the earlier one.
      std::printf("Skipped entry %zu: %s was already taken by an earlier entry\n", i,
                  shown.c_str());
    } else if (!is_safe_file_name(base)) {
      std::printf("Refused entry %zu: '%s' cannot be a file name in the folder\n", i,
                  shown.c_str());
    } else if (!entry_in_range(record, archive.length) ||
               extract_entry(archive, record, 16, *decoder, entry) != ExtractError::kNone) {
      std::printf("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
    } else {
      if (entry.result.count != static_cast<size_t>(record.uncompressed_size)) {
        std::printf("Warning -- %s: decompressed size does not match the FST's stored value\n",
                    shown.c_str());
      }
      const std::string path = std::string(folder) + "/" + base;
      if (write_entry(path, shown, overwrite, entry.bytes, entry.result.count)) {
        std::printf("Extracted %s\n", shown.c_str());
        --failed;
        ++written;
      }
    }
  }
  std::printf("%zu entries extracted, %zu not\n", written, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace pellux
