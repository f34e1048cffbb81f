// Unpacking an archive: every record, in table order, into a file under its stored path made
// safe, and a manifest from which pellux -c builds the archive again. Every message this mode
// prints is here.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "fst/names.h"
#include "fst/writer.h"
#include "lzw/encoder.h"
#include "manifest.h"
#include "modes.h"

namespace pellux {
namespace {

// The folders of a path, opened one inside the other, never through a link.
struct OpenedPath {
  std::vector<common::Folder> folders;
  ~OpenedPath() {
    for (common::Folder& folder : folders) common::close_folder(folder);
  }
};

// `file` with "~N" before its extension: the N-th name tried for a file whose name is taken.
std::string numbered(const std::string& file, unsigned n) {
  if (n == 1) return file;
  const size_t dot = file.rfind('.');
  const size_t at = dot == std::string::npos || dot == 0 ? file.size() : dot;
  return file.substr(0, at) + "~" + std::to_string(n) + file.substr(at);
}

// True when `stored` is exactly the stream this encoder writes for `bytes`.
bool is_own_stream(lzw::Encoder& encoder, const uint8_t* bytes, size_t size, const uint8_t* stored,
                   size_t stored_size) {
  common::Bytes stream = common::allocate_bytes(stored_size);
  return stream && lzw::compress_buffer(encoder, stream.get(), stored_size, bytes, size) ==
                       stored_size &&
         (stored_size == 0 || std::memcmp(stream.get(), stored, stored_size) == 0);
}

}  // namespace

int unpack_archive(common::RunFiles& run, const char* archive_path, const char* folder_path,
                   bool replace) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone);
  common::Folder folder, files;
  if (common::open_folder(folder_path, true, folder) != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s'\n", folder_path);
  }
  if (common::open_subfolder(folder, kFilesFolder, files) != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s/%s'\n", folder_path, kFilesFolder);
  }
  const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  if (!decoder || !encoder) {
    common::fail(kNothingDone, "Error -- Can't allocate memory to decompress FST file\n");
  }
  const uint64_t most = archive.length < 0 ? UINT64_MAX
                                           : fst::kMostPerArchiveByte *
                                                 static_cast<uint64_t>(archive.length);
  uint64_t given = 0;
  std::string manifest = kManifestHeader;
  std::vector<std::string> differences;  // why pellux -c will not give these bytes again
  int64_t expected_offset = 4 + fst::kRecordSize * static_cast<int64_t>(archive.toc.size());
  bool in_order = true;
  size_t unpacked = 0, failed = 0;
  bool damaged = false;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    const TocRecord& record = archive.toc[i];
    const std::string_view name = fst::record_name(record);
    const std::string shown = common::escape_name(name);
    in_order = in_order && record.offset == expected_offset && record.stored_size >= 0;
    expected_offset += record.stored_size;
    if (name.empty()) {
      differences.push_back("entry " + std::to_string(i) + " has no name, which pellux -c refuses");
    } else if (name.size() == fst::kNameFieldSize) {
      differences.push_back(common::escape_name(
          "entry " + std::to_string(i) + "'s name fills all 250 bytes, which pellux -c refuses"));
    } else if (std::any_of(record.name + name.size(), record.name + fst::kNameFieldSize,
                           [](char ch) { return ch != 0; })) {
      differences.push_back("entry " + std::to_string(i) +
                            "'s name field holds bytes after its name");
    }
    ++failed;
    if (record.uncompressed_size >= 0 &&
        given + static_cast<uint64_t>(record.uncompressed_size) > most) {
      std::printf("Refused entry %zu: %s would take the archive's overlapping entries past %llu "
                  "bytes\n",
                  i, shown.c_str(), static_cast<unsigned long long>(most));
      continue;
    }
    fst::Extracted entry;
    const fst::Verdict verdict = fst::judge_entry(archive, record, 16, *decoder, entry);
    if (verdict == fst::Verdict::kOutside || verdict == fst::Verdict::kNoMemory) {
      std::printf("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
      differences.push_back("entry " + std::to_string(i) + " could not be read");
      continue;
    }
    given += entry.result.count;
    if (verdict == fst::Verdict::kFewer || verdict == fst::Verdict::kMore) {
      std::printf("Warning -- %s: decompressed size does not match the FST's stored value\n",
                  shown.c_str());
    } else if (verdict == fst::Verdict::kNoEnd) {
      std::printf("Warning -- %s: its stream stops before its END\n", shown.c_str());
    }
    const bool compressed = record.stored_size != record.uncompressed_size;
    if (verdict != fst::Verdict::kSound) {
      damaged = true;
      differences.push_back("entry " + std::to_string(i) + " is damaged");
    } else if (compressed &&
               !is_own_stream(*encoder, entry.bytes, entry.result.count, entry.stored.get(),
                              static_cast<size_t>(record.stored_size))) {
      differences.push_back("entry " + std::to_string(i) +
                            "'s stream is not the one pellux -c writes");
    }
    // Its folders inside files/, then a file name no earlier entry of this run has taken: a
    // name this run gave a file or a folder already gets ~2, ~3, ...
    const fst::SafePath path = fst::safe_path(name);
    OpenedPath opened;
    opened.folders.reserve(path.folders.size());
    std::string relative = kFilesFolder;
    const common::Folder* here = &files;
    bool made = true, renamed = false;
    for (const std::string& part : path.folders) {
      common::Folder next;
      std::string taken;
      common::FolderError made_one = common::FolderError::kNotAFolder;
      for (unsigned n = 1; made_one == common::FolderError::kNotAFolder; ++n) {
        taken = numbered(part, n);
        made_one = common::open_subfolder(*here, taken, next);
        const common::Standing there = common::look_in(*here, taken);
        if (made_one == common::FolderError::kNotAFolder && !run.is_output(there.id)) break;
      }
      relative += "/" + taken;
      common::FileId id;
      if (made_one != common::FolderError::kNone || !common::identify_folder(next, id)) {
        made = false;
        break;
      }
      run.add_output(id);
      renamed = renamed || taken != part;
      opened.folders.push_back(next);
      here = &opened.folders.back();
    }
    if (!made) {
      std::printf("Can't create folder '%s/%s'\n", folder_path,
                  common::escape_name(relative).c_str());
      continue;
    }
    common::OutputError error = common::OutputError::kWrittenBefore;
    std::string file;
    common::OutputFile out;
    for (unsigned n = 1; error == common::OutputError::kWrittenBefore; ++n) {
      file = numbered(path.file, n);
      error = out.create_in(run, *here, file, replace);
    }
    relative += "/" + file;
    const std::string written = common::escape_name(relative);
    if (error == common::OutputError::kNone) {
      error = out.write(entry.bytes, entry.result.count) ? out.finish()
                                                          : common::OutputError::kWriteFailed;
    }
    switch (error) {
      case common::OutputError::kNone:
      case common::OutputError::kWrittenBefore:
        break;
      case common::OutputError::kIsInput:
        std::printf("Can't replace %s: it is the archive being read\n", written.c_str());
        continue;
      case common::OutputError::kExists:
      case common::OutputError::kCannotCreate:
        std::printf("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                    written.c_str());
        continue;
      case common::OutputError::kWriteFailed:
        std::printf("Error writing %s\n", written.c_str());
        continue;
    }
    if (path.changed || renamed || file != path.file) {
      std::printf("Entry %zu (%s) is written as %s\n", i, shown.c_str(), written.c_str());
    }
    std::printf("Unpacked %s\n", written.c_str());
    manifest += manifest_line(compressed, relative, name);
    --failed;
    ++unpacked;
  }
  if (!in_order) {
    differences.insert(differences.begin(),
                       "its data does not lie in table order right after its table");
  }
  common::OutputFile out;
  common::OutputError error = out.create_in(run, folder, kManifestName, replace);
  if (error == common::OutputError::kNone) {
    error = out.write(reinterpret_cast<const uint8_t*>(manifest.data()), manifest.size())
                ? out.finish()
                : common::OutputError::kWriteFailed;
  }
  if (error != common::OutputError::kNone) {
    std::printf("Can't write the manifest %s/%s\n", folder_path, kManifestName);
    ++failed;
  }
  for (const std::string& difference : differences) {
    std::printf("pellux -c will not give this archive byte for byte: %s\n", difference.c_str());
  }
  std::printf("%zu entries unpacked into %s, %zu not\n", unpacked, folder_path, failed);
  common::close_folder(files);
  common::close_folder(folder);
  return printed(failed == 0 && !damaged ? 0 : kSomeFailed);
}

}  // namespace pellux
