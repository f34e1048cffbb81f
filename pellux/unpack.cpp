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

// A running check of whether an entry's stream is exactly the one this encoder writes for the
// bytes it decodes to: the bytes are encoded again as they come, and the two streams compared
// by length and by a 64-bit FNV-1a hash.
class StreamCheck {
 public:
  explicit StreamCheck(lzw::Encoder* encoder) : encoder_(encoder) {
    if (encoder_ != nullptr) lzw::begin_encoding(*encoder_);
  }
  // The stored stream, as it is read.
  void stored(const uint8_t* bytes, size_t count) { hash(stored_, stored_length_, bytes, count); }
  // What it decodes to, as it is decoded.
  void decoded(const uint8_t* bytes, size_t count) {
    pending_.insert(pending_.end(), bytes, bytes + count);
    if (pending_.size() > lzw::kPieceMargin + (size_t{64} << 10)) encode(false);
  }
  bool same() {
    if (encoder_ == nullptr) return false;
    encode(true);
    return fits_ && stored_ == again_ && stored_length_ == again_length_;
  }

 private:
  static void hash(uint64_t& state, uint64_t& length, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) state = (state ^ bytes[i]) * 0x100000001B3ull;
    length += count;
  }
  void encode(bool last) {
    if (encoder_ == nullptr) return;
    std::vector<uint8_t> out(lzw::max_stream_size(pending_.size()) + 8);
    const lzw::EncodeStep step = lzw::encode_some(*encoder_, pending_.data(), pending_.size(),
                                                  last, out.data(), out.size());
    fits_ = fits_ && step.fits;
    hash(again_, again_length_, out.data(), step.written);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(step.consumed));
  }

  lzw::Encoder* encoder_;
  std::vector<uint8_t> pending_;
  uint64_t stored_ = 0xCBF29CE484222325ull, again_ = 0xCBF29CE484222325ull;
  uint64_t stored_length_ = 0, again_length_ = 0;
  bool fits_ = true;
};

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
  fst::EntryBuffers buffers;
  const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
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
    if (!fst::entry_in_range(record, archive.length)) {
      std::printf("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
      differences.push_back("entry " + std::to_string(i) + " could not be read");
      continue;
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
    const bool compressed = record.stored_size != record.uncompressed_size;
    if (error == common::OutputError::kNone) {
      // Written as it is decoded, and encoded again to see whether pellux -c gives the same.
      StreamCheck check(compressed ? encoder.get() : nullptr);
      const fst::Sink as_stored = [&check](const uint8_t* bytes, size_t count) {
        check.stored(bytes, count);
        return true;
      };
      const fst::Judged judged = fst::judge_entry(
          archive, record, 16, buffers,
          [&](const uint8_t* bytes, size_t count) {
            check.decoded(bytes, count);
            return out.write(bytes, count);
          },
          &as_stored);
      if (judged.verdict == fst::Verdict::kOutside || judged.verdict == fst::Verdict::kNoMemory) {
        out.abandon();
        std::printf("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
        differences.push_back("entry " + std::to_string(i) + " could not be read");
        continue;
      }
      given += judged.count;
      if (judged.verdict == fst::Verdict::kFewer || judged.verdict == fst::Verdict::kMore) {
        std::printf("Warning -- %s: decompressed size does not match the FST's stored value\n",
                    shown.c_str());
      } else if (judged.verdict == fst::Verdict::kNoEnd) {
        std::printf("Warning -- %s: its stream stops before its END\n", shown.c_str());
      }
      if (judged.verdict != fst::Verdict::kSound) {
        damaged = true;
        differences.push_back("entry " + std::to_string(i) + " is damaged");
      } else if (compressed && !check.same()) {
        differences.push_back("entry " + std::to_string(i) +
                              "'s stream is not the one pellux -c writes");
      }
      error = judged.sink_stopped ? common::OutputError::kWriteFailed : out.finish();
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
