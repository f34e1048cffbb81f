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

// Writes `count` bytes to the file `name` in `folder`; false with the message printed when
// they could not all be written.
bool write_file(common::RunFiles& run, const common::Folder& folder, const std::string& name,
                bool overwrite, const uint8_t* bytes, size_t count) {
  const std::string shown = folder.path + "/" + name;
  common::OutputFile out;
  common::OutputError error = out.create_in(run, folder, name, overwrite);
  if (error == common::OutputError::kNone) {
    error = out.write(bytes, count) ? out.finish() : common::OutputError::kWriteFailed;
  }
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
  const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  if (!decoder) {
    common::fail(kNothingDone, "Error -- Can't allocate memory for container '%s'\n", path);
  }
  // Numbers as wide as the last one needs, so that the names sort in list order.
  const std::string last = std::to_string(info.entries.empty() ? 0 : info.entries.size() - 1);
  std::string list;
  size_t failed = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const ContainerEntry& entry = info.entries[i];
    std::string name = std::to_string(i);
    name = std::string(last.size() - name.size(), '0') + name + ".bin";
    list += (entry.compressed ? "c " : "u ") + name + "\n";
    container::EntryBytes decoded;
    const auto error = container::read_entry_bytes(file, entry, *decoder, decoded);
    if (error == container::ReadError::kReadError) {
      run.abandon_all();
      common::fail(kNothingDone, "Error reading container '%s'\n", path);
    }
    ++failed;
    if (error == container::ReadError::kNoMemory) {
      std::printf("Entry %zu: no memory to unpack it\n", i);
    } else if (decoded.verdict != container::Verdict::kSound) {
      std::printf("Entry %zu: its stream does not decode to its %u bytes\n", i,
                  entry.original_length);
    } else if (write_file(run, folder, name, overwrite, decoded.bytes.get(),
                          decoded.result.count)) {
      --failed;
    }
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(list.data());
  const bool listed = write_file(run, folder, "list.txt", overwrite, bytes, list.size());
  std::printf("Unpacked %zu of %zu entries into %s\n", info.entries.size() - failed,
              info.entries.size(), folder_path);
  return printed(failed == 0 && listed ? 0 : kSomeFailed);
}

}  // namespace corvane
