// Unpacking a container: every entry's original bytes into a numbered file, and a file list
// that rebuilds the container byte for byte from them.
#include <cstdio>
#include <memory>
#include <string>

#include "common/fail.h"
#include "common/files.h"
#include "modes.h"

namespace corvane {
namespace {

// Prints the message for a file that could not be written; false for every outcome but kNone.
bool report(common::OutputError error, const std::string& shown) {
  switch (error) {
    case common::OutputError::kNone:
      return true;
    case common::OutputError::kIsInput:
      std::printf("Can't replace %s: it is the container being read\n", shown.c_str());
      return false;
    case common::OutputError::kWrittenBefore:
    case common::OutputError::kExists:
    case common::OutputError::kCannotCreate:
      std::printf("Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                  shown.c_str());
      return false;
    case common::OutputError::kWriteFailed:
      std::printf("Error writing %s\n", shown.c_str());
      return false;
  }
  return false;
}

}  // namespace

int unpack_container(common::RunFiles& run, const char* path, const char* folder_path,
                     bool overwrite) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  if (load_container(run, path, file, info) != 0) {
    common::fail(kNothingDone, "Container '%s' is damaged: nothing unpacked\n", path);
  }
  // Opened once: every file goes into this folder, whatever happens to its path meanwhile.
  common::Folder folder;
  if (common::open_folder(folder_path, true, folder) != common::FolderError::kNone) {
    common::fail(kNothingDone, "Can't create folder '%s'\n", folder_path);
  }
  lzw::StreamBuffers buffers;
  // Numbers as wide as the last one needs, so that the names sort in list order.
  const std::string last = std::to_string(info.entries.empty() ? 0 : info.entries.size() - 1);
  std::string list;
  size_t failed = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const ContainerEntry& entry = info.entries[i];
    std::string name = std::to_string(i);
    name = std::string(last.size() - name.size(), '0') + name + ".bin";
    list += (entry.compressed ? "c " : "u ") + name + "\n";
    const std::string shown = folder.path + "/" + name;
    ++failed;
    common::OutputFile out;
    if (!report(out.create_in(run, folder, name, overwrite), shown)) continue;
    // Written as it is decoded; a damaged entry's file is removed again.
    const container::Judged decoded = container::judge_entry(
        file, entry, buffers,
        [&out](const uint8_t* bytes, size_t count) { return out.write(bytes, count); });
    if (decoded.error == container::ReadError::kReadError) {
      common::fail_run(run, kNothingDone, "Error reading container '%s'\n", path);
    }
    if (decoded.error == container::ReadError::kNoMemory) {
      out.abandon();
      std::printf("Entry %zu: no memory to unpack it\n", i);
    } else if (decoded.verdict != container::Verdict::kSound) {
      out.abandon();
      std::printf("Entry %zu: its stream does not decode to its %u bytes\n", i,
                  entry.original_length);
    } else if (report(decoded.sink_stopped ? common::OutputError::kWriteFailed : out.finish(),
                      shown)) {
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
  const bool listed = report(error, folder.path + "/list.txt");
  std::printf("Unpacked %zu of %zu entries into %s\n", info.entries.size() - failed,
              info.entries.size(), folder_path);
  return printed(failed == 0 && listed ? 0 : kSomeFailed);
}

}  // namespace corvane
