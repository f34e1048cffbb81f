// Unpacking a container: every entry's original bytes into a numbered file, and a file list
// that rebuilds the container byte for byte from them.
#include <cstdio>
#include <memory>
#include <string>

#include "common/fail.h"
#include "common/files.h"
#include "common/ordered_work.h"
#include "modes.h"

namespace corvane {
namespace {

// Prints the message for a file that could not be written; false for every outcome but kNone.
bool report(common::Console& console, common::OutputError error, const std::string& shown) {
  switch (error) {
    case common::OutputError::kNone:
      return true;
    case common::OutputError::kIsInput:
      console.warn("Can't replace %s: it is the container being read\n", shown.c_str());
      return false;
    case common::OutputError::kWrittenBefore:
    case common::OutputError::kExists:
    case common::OutputError::kCannotCreate:
      console.warn("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                   shown.c_str());
      return false;
    case common::OutputError::kWriteFailed:
      console.warn("Error writing %s\n", shown.c_str());
      return false;
  }
  return false;
}

}  // namespace

namespace {

// One entry's file: made in list order, written on any thread.
struct Task {
  size_t index = 0;
  std::string name;
  std::unique_ptr<common::OutputFile> out;
  common::OutputError created = common::OutputError::kNone;
  container::Judged decoded{container::ReadError::kNone, container::Verdict::kSound, 0, false};
  common::OutputError finished = common::OutputError::kNone;
};

}  // namespace

int unpack_container(common::Run& run, const char* path, const char* folder_path, bool overwrite,
                     unsigned threads) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  if (load_container(run, path, file, info) != 0) {
    common::fail(kNothingDone, "Container '%s' is damaged: nothing unpacked\n", path);
  }
  // Opened once: every file goes into this folder, whatever happens to its path meanwhile.
  common::Folder folder;
  const common::FolderError made = common::open_folder(folder_path, true, folder);
  if (made != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s': %s\n", folder_path,
                 common::folder_reason(made));
  }
  // Numbers as wide as the last one needs, so that the names sort in list order.
  const std::string last = std::to_string(info.entries.empty() ? 0 : info.entries.size() - 1);
  std::vector<lzw::StreamBuffers> buffers(threads + 1);
  common::WorkSteps<Task> steps{
      [&](size_t i) {
        Task task;
        task.index = i;
        const std::string number = std::to_string(i);
        task.name = std::string(last.size() - number.size(), '0') + number + ".bin";
        task.out = std::make_unique<common::OutputFile>();
        task.created = task.out->create_in(run, folder, task.name, overwrite);
        return task;
      },
      [](const Task&) { return int64_t{0}; }, [](const Task&, size_t, int64_t) { return true; },
      [](const Task&) { return static_cast<int64_t>(lzw::kWindowSize + lzw::kInputPiece); },
      // Written as it is decoded; a damaged entry's file is removed again.
      [&](Task& task, unsigned worker) {
        if (task.created != common::OutputError::kNone) return;
        common::OutputFile& out = *task.out;
        task.decoded = container::judge_entry(
            file, info.entries[task.index], buffers[worker],
            [&out](const uint8_t* bytes, size_t count) { return out.write(bytes, count); });
        if (task.decoded.error != container::ReadError::kNone ||
            task.decoded.verdict != container::Verdict::kSound) {
          out.abandon();
        } else {
          task.finished =
              task.decoded.sink_stopped ? common::OutputError::kWriteFailed : out.finish();
        }
      }};
  common::OrderedWork<Task> work(info.entries.size(), threads, 8 * size_t{threads},
                                 int64_t{64} << 20, std::move(steps));
  common::Console& console = run.console;
  console.start_progress(info.entries.size(), info.file_size);
  std::string list;
  size_t failed = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    bool worked = false;
    Task task = work.take(0, worked);
    if (!worked) work.work_here(task);
    console.advance(1, info.entries[i].length);
    const ContainerEntry& entry = info.entries[i];
    list += (entry.compressed ? "c " : "u ") + task.name + "\n";
    const std::string shown = folder.path + "/" + task.name;
    ++failed;
    if (!report(console, task.created, shown)) continue;
    if (task.decoded.error == container::ReadError::kReadError) {
      work.stop();
      common::fail_run(run, kNothingDone, "Error reading container '%s'\n", path);
    }
    if (task.decoded.error == container::ReadError::kNoMemory) {
      console.warn("Entry %zu: no memory to unpack it\n", i);
    } else if (task.decoded.verdict != container::Verdict::kSound) {
      console.warn("Entry %zu: its stream does not decode to its %u bytes\n", i,
                   entry.original_length);
    } else if (report(console, task.finished, shown)) {
      --failed;
    }
  }
  common::OutputFile listing;
  common::OutputError error = listing.create_in(run, folder, "list.txt", overwrite);
  if (error == common::OutputError::kNone) {
    error = listing.write(reinterpret_cast<const uint8_t*>(list.data()), list.size())
                ? listing.finish()
                : common::OutputError::kWriteFailed;
  }
  const bool listed = report(console, error, folder.path + "/list.txt");
  console.clear();
  console.say("Unpacked %zu of %zu entries into %s\n", info.entries.size() - failed,
              info.entries.size(), folder_path);
  return printed(failed == 0 && listed ? 0 : kSomeFailed);
}

}  // namespace corvane
