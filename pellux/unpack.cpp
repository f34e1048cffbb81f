// Unpacking an archive: every record, in table order, into a file under its stored path made
// safe, and a manifest from which pellux -c builds the archive again. Every message this mode
// prints is here.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "archive.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "common/ordered_work.h"
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
  // The length of the stream encoded again, once same() was asked.
  uint64_t length() const { return again_length_; }

 private:
  static void hash(uint64_t& state, uint64_t& length, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) state = (state ^ bytes[i]) * 0x100000001B3ull;
    length += count;
  }
  void encode(bool last) {
    if (encoder_ == nullptr) return;
    std::vector<uint8_t> out(lzw::max_stream_size(pending_.size()) + 8);
    const lzw::EncodeStep step =
        lzw::encode_some(*encoder_, pending_.data(), pending_.size(), last, out.data(), out.size());
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

// What the run does with one record: decided and made in table order, written on any thread.
struct Task {
  size_t index = 0;
  enum class Plan { kTooMuch, kUnreadable, kNoFolder, kWrite } plan = Plan::kWrite;
  std::vector<std::string> differences;  // why pellux -c will not give its bytes again
  std::string relative;                  // where it goes, from the folder
  bool renamed = false;                  // its path is not its name's
  std::unique_ptr<OpenedPath> folders;   // held until its file is done
  std::unique_ptr<common::OutputFile> out;
  common::OutputError created = common::OutputError::kNone;
  fst::Judged judged{fst::Verdict::kOutside, 0, false};
  bool own_stream = true;
  bool stored_again = false;  // pellux -c will store it: its stream would be as long as its data
  common::OutputError finished = common::OutputError::kNone;
};

}  // namespace

int unpack_archive(common::Run& run, const char* archive_path, const char* folder_path,
                   bool replace, unsigned threads) {
  Archive archive;
  open_archive_file(run, archive_path, kNothingDone, archive);
  read_archive_table(archive, kNothingDone, archive_path);
  common::Folder folder, files;
  open_folder_or_fail(folder_path, folder);
  const common::FolderError files_made = common::open_subfolder(folder, kFilesFolder, files);
  if (files_made != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s/%s': %s\n", folder_path, kFilesFolder,
                 common::folder_reason(files_made));
  }
  // Records that share data could give far more than the archive holds; no others can.
  fst::GivenBound bound(archive.length);
  std::unordered_set<std::string> chosen;           // files/... paths of this run's files
  std::unordered_map<std::string, unsigned> tried;  // the last number tried for each name
  // Each entry opened ahead holds its folders and its file open.
  size_t deepest = 0;
  for (const TocRecord& record : archive.toc) {
    deepest = std::max(deepest, fst::safe_path(fst::record_name(record)).folders.size());
  }
  const std::vector<int64_t> overlaps = fst::find_overlaps(archive);
  // A pipe is read in order, by one thread.
  const unsigned workers = archive.length < 0 ? 1 : threads;
  std::vector<fst::EntryBuffers> buffers(workers + 1);
  std::vector<std::unique_ptr<lzw::Encoder>> encoders(workers + 1);
  common::WorkSteps<Task> steps{
      [&](size_t i) {
        Task task;
        task.index = i;
        const TocRecord& record = archive.toc[i];
        const std::string_view name = fst::record_name(record);
        const std::string number = "entry " + std::to_string(i);
        if (name.empty()) {
          task.differences.push_back(number + " has no name, which pellux -c refuses");
        } else if (name.size() == fst::kNameFieldSize) {
          task.differences.push_back(number +
                                     "'s name fills all 250 bytes, which pellux -c refuses");
        } else if (std::any_of(record.name + name.size(), record.name + fst::kNameFieldSize,
                               [](char ch) { return ch != 0; })) {
          task.differences.push_back(number + "'s name field holds bytes after its name");
        }
        if (!fst::entry_in_range(record, archive.length)) {
          task.plan = Task::Plan::kUnreadable;
          task.differences.push_back(number + " could not be read");
          return task;
        }
        if (!bound.take(record)) {
          task.plan = Task::Plan::kTooMuch;
          return task;
        }
        // Its folders inside files/, then a file name no earlier entry of this run has taken:
        // a name this run gave a file or a folder already gets ~2, ~3, ...
        const fst::SafePath path = fst::safe_path(name);
        task.folders = std::make_unique<OpenedPath>();
        std::vector<common::Folder>& opened = task.folders->folders;
        opened.reserve(path.folders.size());
        task.relative = kFilesFolder;
        const common::Folder* here = &files;
        for (const std::string& part : path.folders) {
          common::Folder next;
          std::string taken;
          common::FolderError made = common::FolderError::kNotAFolder;
          for (unsigned n = 1; made == common::FolderError::kNotAFolder; ++n) {
            taken = numbered(part, n);
            made = common::open_subfolder(*here, taken, next);
            const common::Standing there = common::look_in(*here, taken);
            if (made == common::FolderError::kNotAFolder && !run.is_output(there.id)) break;
          }
          task.relative += "/" + taken;
          common::FileId id;
          if (made != common::FolderError::kNone || !common::identify_folder(next, id)) {
            task.plan = Task::Plan::kNoFolder;
            return task;
          }
          run.add_output(id);
          task.renamed = task.renamed || taken != part;
          opened.push_back(next);
          here = &opened.back();
        }
        task.out = std::make_unique<common::OutputFile>();
        task.created = common::OutputError::kWrittenBefore;
        // A name this run chose once stays chosen, whether its file was written or not; the
        // numbers go on from the last one tried for the name.
        unsigned& n = tried[task.relative + "/" + path.file];
        std::string file;
        while (task.created == common::OutputError::kWrittenBefore) {
          file = numbered(path.file, ++n);
          if (!chosen.insert(task.relative + "/" + file).second) continue;
          task.created = task.out->create_in(run, *here, file, replace);
        }
        task.relative += "/" + file;
        task.renamed = task.renamed || path.changed || file != path.file;
        return task;
      },
      [](const Task&) { return int64_t{0}; }, [](const Task&, size_t, int64_t) { return true; },
      [&archive](const Task& task) { return fst::memory_for(archive.toc[task.index]); },
      // Written as it is decoded, and encoded again to see whether pellux -c gives the same.
      [&](Task& task, unsigned worker) {
        if (task.plan != Task::Plan::kWrite || task.created != common::OutputError::kNone) return;
        const TocRecord& record = archive.toc[task.index];
        const bool compressed = record.stored_size != record.uncompressed_size;
        if (compressed && !encoders[worker]) encoders[worker] = lzw::new_encoder();
        StreamCheck check(compressed ? encoders[worker].get() : nullptr);
        const fst::Sink as_stored = [&check](const uint8_t* bytes, size_t count) {
          check.stored(bytes, count);
          return true;
        };
        common::OutputFile& out = *task.out;
        task.judged = fst::judge_entry(
            archive, record, 16, buffers[worker],
            [&](const uint8_t* bytes, size_t count) {
              check.decoded(bytes, count);
              return out.write(bytes, count);
            },
            &as_stored);
        const fst::Verdict verdict = task.judged.verdict;
        if (verdict == fst::Verdict::kOutside || verdict == fst::Verdict::kNoMemory) {
          out.abandon();
          return;
        }
        task.own_stream = !compressed || verdict != fst::Verdict::kSound || check.same();
        task.stored_again =
            !task.own_stream && !fst::keeps_stream(task.judged.count, check.length());
        task.finished = task.judged.sink_stopped ? common::OutputError::kWriteFailed : out.finish();
      }};
  common::OrderedWork<Task> work(
      archive.toc.size(), workers,
      std::min<size_t>(8 * size_t{workers}, common::kMostOpenAhead / (deepest + 2)),
      fst::kWorkBudget, std::move(steps));
  common::Console& console = run.console;
  console.start_progress(archive.toc.size(), 0);
  std::string manifest = kManifestHeader;
  std::vector<std::string> differences;  // why pellux -c will not give these bytes again
  int64_t expected_offset = 4 + fst::kRecordSize * static_cast<int64_t>(archive.toc.size());
  bool in_order = true;
  size_t unpacked = 0, failed = 0;
  bool damaged = false;
  for (size_t i = 0; i < archive.toc.size(); ++i) {
    bool worked = false;
    Task task = work.take(0, worked);
    if (!worked) work.work_here(task);
    console.advance(1, task.judged.count);
    const TocRecord& record = archive.toc[i];
    const std::string_view name = fst::record_name(record);
    const std::string shown = common::escape_name(name);
    const std::string written = common::escape_name(task.relative);
    const std::string number = "entry " + std::to_string(i);
    in_order = in_order && record.offset == expected_offset && record.stored_size >= 0;
    expected_offset += record.stored_size;
    differences.insert(differences.end(), task.differences.begin(), task.differences.end());
    ++failed;
    const std::string not_written = number + " was not written";
    switch (task.plan) {
      case Task::Plan::kTooMuch:
        console.warn(
            "Refused entry %zu: %s would take the archive's overlapping entries past %llu "
            "bytes\n",
            i, shown.c_str(), static_cast<unsigned long long>(bound.most()));
        differences.push_back(not_written);
        continue;
      case Task::Plan::kUnreadable:
        console.warn("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
        continue;
      case Task::Plan::kNoFolder:
        console.warn("Can't create folder '%s/%s'\n", folder_path, written.c_str());
        differences.push_back(not_written);
        continue;
      case Task::Plan::kWrite:
        break;
    }
    common::OutputError error = task.created;
    if (error == common::OutputError::kNone) {
      const fst::Verdict verdict = task.judged.verdict;
      if (verdict == fst::Verdict::kOutside || verdict == fst::Verdict::kNoMemory) {
        console.warn("Error reading entry %zu (%s) from FST\n", i, shown.c_str());
        differences.push_back(number + " could not be read");
        continue;
      }
      if (warn_damage(console, shown.c_str(), verdict, overlaps[i])) {
        damaged = true;
        differences.push_back(number + " is damaged");
      } else if (!task.own_stream) {
        differences.push_back(number + "'s stream is not the one pellux -c writes");
      }
      if (task.stored_again) {
        differences.push_back(
            number + " will be stored: the stream pellux -c writes is as long as its data");
      }
      error = task.finished;
    }
    switch (error) {
      case common::OutputError::kNone:
      case common::OutputError::kWrittenBefore:
        break;
      case common::OutputError::kIsInput:
        console.warn("Can't replace %s: it is the archive being read\n", written.c_str());
        differences.push_back(not_written);
        continue;
      case common::OutputError::kExists:
      case common::OutputError::kCannotCreate:
        console.warn("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                     written.c_str());
        differences.push_back(not_written);
        continue;
      case common::OutputError::kWriteFailed:
        console.warn("Error writing %s\n", written.c_str());
        differences.push_back(not_written);
        continue;
    }
    if (task.renamed) {
      console.say("Entry %zu (%s) is written as %s\n", i, shown.c_str(), written.c_str());
    }
    console.say("Unpacked %s\n", written.c_str());
    manifest += manifest_line(record.stored_size != record.uncompressed_size, task.relative, name);
    --failed;
    ++unpacked;
  }
  if (!in_order) {
    differences.insert(differences.begin(),
                       "its data does not lie in table order right after its table");
  } else if (archive.length > expected_offset) {
    differences.insert(differences.begin(), std::to_string(archive.length - expected_offset) +
                                                " bytes follow its last entry's data");
  }
  common::OutputFile out;
  common::OutputError error = out.create_in(run, folder, kManifestName, replace);
  if (error == common::OutputError::kNone) {
    error = out.write(reinterpret_cast<const uint8_t*>(manifest.data()), manifest.size())
                ? out.finish()
                : common::OutputError::kWriteFailed;
  }
  if (error != common::OutputError::kNone) {
    console.warn("Can't write the manifest %s/%s\n", folder_path, kManifestName);
    ++failed;
  }
  for (const std::string& difference : differences) {
    console.warn("pellux -c will not give this archive byte for byte: %s\n",
                 common::escape_name(difference).c_str());
  }
  console.clear();
  console.say("%zu %s unpacked into %s, %zu not\n", unpacked, unpacked == 1 ? "entry" : "entries",
              folder_path, failed);
  common::close_folder(files);
  common::close_folder(folder);
  return printed(failed == 0 && !damaged ? 0 : kSomeFailed);
}

}  // namespace pellux
