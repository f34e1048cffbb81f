// Builder run sequence: command line, file list, staging, container. Every listed file goes
// into the staging file, stored as it is or as its length word plus a code stream, and gets a
// TocNode. Every message the builder prints is here.
#include "run.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/buffer.h"
#include "common/code_stream.h"
#include "common/fail.h"
#include "common/files.h"
#include "common/le32.h"
#include "container.h"
#include "file_list.h"
#include "listed_file.h"
#include "lzw/encoder.h"

namespace corvane {
namespace {

using common::fail;

constexpr const char* kStagingPath = "$_tempsol_$.dat";

// The state of one build.
struct Build {
  std::FILE* staging = nullptr;
  int64_t staged_bytes = 0;  // the staging file's write position
  std::vector<TocNode> nodes;
  std::unique_ptr<lzw::Encoder> encoder;
};

[[noreturn]] void fail_container_too_large() {
  fail(1, "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n");
}

void check_room(const Build& build, int64_t entry_bytes) {
  if (!entry_fits(build.staged_bytes, static_cast<int64_t>(build.nodes.size()), entry_bytes)) {
    fail_container_too_large();
  }
}

// Reads the listed file at `path` whole. A stored entry's bytes go into the container as they
// are, so a file too large for the container is refused before it is read.
ListedFile read_whole(const Build& build, const std::string& path, bool stored_entry) {
  const char* name = path.c_str();
  ListedFile file;
  ListedError error = open_listed_file(name, file);
  if (error == ListedError::kNone) {
    check_room(build, stored_entry ? file.reported_length : 0);
    error = read_listed_file(file);
  }
  switch (error) {
    case ListedError::kNone:
      break;
    case ListedError::kCannotOpen:
      fail(1, "Error -- can't open file %s\n", name);
    case ListedError::kNotReadable:
      fail(1, "Error reading file %s\n", name);
    case ListedError::kTooLarge:
      fail(1, "Error -- %s is too large (2 GiB or more)\n", name);
    case ListedError::kNoMemory:
      fail(1, "Error -- Couldn't allocate buffer to copy %s.\n", name);
  }
  // A file that held more than it reported must still fit.
  if (stored_entry) check_room(build, static_cast<int64_t>(file.length));
  return file;
}

// Records the entry about to be staged at the staging file's write position.
void append_node(Build& build, bool compressed) {
  try {
    build.nodes.push_back({static_cast<uint32_t>(build.staged_bytes), compressed});
  } catch (const std::bad_alloc&) {
    fail(1, "Error allocating memory for TOC list\n");
  }
}

void write_staged(Build& build, const std::string& path, const uint8_t* bytes, size_t count) {
  if (count > 0 && std::fwrite(bytes, 1, count, build.staging) != count) {
    fail(1, "Error writing %s to tempfile.\n", path.c_str());
  }
  build.staged_bytes += static_cast<int64_t>(count);
}

void stage_stored(Build& build, const std::string& path) {
  const ListedFile file = read_whole(build, path, true);
  append_node(build, false);
  write_staged(build, path, file.bytes.get(), file.length);
}

void stage_compressed(Build& build, const std::string& path) {
  const ListedFile file = read_whole(build, path, false);
  const common::Bytes stream =
      common::allocate_bytes(static_cast<uint64_t>(common::max_stream_size(file.length)));
  if (!stream) fail(1, "Error -- Couldn't allocate buffer to compress %s.\n", path.c_str());
  if (!build.encoder) build.encoder = lzw::new_encoder();
  if (!build.encoder) fail(1, "Error -- Couldn't allocate buffer to compress %s.\n", path.c_str());
  const size_t stream_length =
      lzw::compress_buffer(*build.encoder, stream.get(), file.bytes.get(), file.length);
  check_room(build, static_cast<int64_t>(4 + stream_length));

  append_node(build, true);
  uint8_t length_word[4];
  common::put_le32(length_word, static_cast<uint32_t>(file.length));
  write_staged(build, path, length_word, sizeof length_word);
  write_staged(build, path, stream.get(), stream_length);
}

// Stages every entry of the list. The end-of-file indicator is set only by a scan that ran
// into the end of the list; a read error ends the run instead, since the indicator would
// never come and the last entry would be dispatched again and again.
void read_list(Build& build, std::FILE* list, const char* list_path) {
  ListEntry entry;
  while (!std::feof(list)) {
    if (scan_entry(list, entry) == ScanResult::kReadError) {
      fail(1, "Error reading file list '%s'\n", list_path);
    }
    switch (entry.command) {
      case 'c':
        stage_compressed(build, entry.path);
        break;
      case 'u':
        stage_stored(build, entry.path);
        break;
      default:
        std::printf("Warning - Unknown command '%c'. Ignoring\n", entry.command);
        break;
    }
  }
}

}  // namespace

int run(int argc, char** argv) {
  std::printf("-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n");
  if (argc != 3) {
    std::printf("Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
    return 0;
  }
  const char* list_path = argv[1];
  const char* container_path = argv[2];

  std::FILE* list = std::fopen(list_path, "r");
  if (list == nullptr) fail(1, "Can't open input file list '%s'\n", list_path);
  // Creating the container truncates it: refuse before that when it is the list itself.
  if (common::same_file(list_path, container_path)) {
    fail(1, "Output file '%s' is the same file as the input\n", container_path);
  }
  std::FILE* container = std::fopen(container_path, "w+b");
  if (container == nullptr) fail(1, "Can't open output file '%s'\n", container_path);
  Build build;
  build.staging = std::fopen(kStagingPath, "wb");
  if (build.staging == nullptr) fail(1, "Can't open temporary data file.\n");

  read_list(build, list, list_path);

  std::fclose(list);
  // Closing writes out what the staging stream still buffers; a failure there loses data.
  if (std::fclose(build.staging) != 0) fail(1, "Error writing temporary data file\n");
  build.staging = std::fopen(kStagingPath, "rb");
  if (build.staging == nullptr) {
    fail(1, "Error -- Can't re-open temporary data file for reading\n");
  }
  ContainerImage image;
  switch (load_and_fix(build.staging, build.staged_bytes, build.nodes, image)) {
    case LoadError::kNone:
      break;
    case LoadError::kNoMemory:
      fail(1, "Error -- Couldn't allocate buffer to copy the temp data\n");
    case LoadError::kShortRead:
      fail(1, "Error reading temporary data file into memory\n");
  }
  std::fclose(build.staging);
  if (!write_container(container, image, build.nodes) || std::fclose(container) != 0) {
    fail(1, "Error writing output file '%s'\n", container_path);
  }
  return 0;
}

}  // namespace corvane
