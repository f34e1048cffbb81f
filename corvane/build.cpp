// The build: file list, staging, container. Every listed file goes into the staging file,
// stored as it is or as its length word plus a code stream, and into the container's data
// area; the header follows once every entry is in. Every message a build prints is here.
#include "build.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/fail.h"
#include "common/files.h"
#include "container.h"
#include "entry.h"
#include "file_list.h"
#include "pipeline.h"
#include "staging_file.h"

namespace corvane {
namespace {

using common::fail;

// The state of one build.
struct Build {
  const char* container_path = nullptr;
  std::FILE* container = nullptr;
  StagingFile staging;
  int64_t staged_bytes = 0;  // the staging file's write position
  uint32_t data_sum = 0;     // of every staged byte, modulo 2^32
  std::vector<TocNode> nodes;
  EntryPipeline* pipeline = nullptr;
  // Data area bytes held back so that small entries reach the container in larger writes; the
  // container is unbuffered, so that nothing can be written after a failed run emptied it.
  common::Bytes held;
  size_t held_length = 0;
};

// Entries shorter than this are held back and written to the container with others.
constexpr size_t kDataPiece = size_t{1} << 20;

// Writes what is held back; false when the write fails.
bool write_held(Build& build) {
  const size_t count = build.held_length;
  build.held_length = 0;
  return std::fwrite(build.held.get(), 1, count, build.container) == count;
}

// A failed run drops the work done ahead and leaves the container empty, as it was created:
// its data area is written as the entries are staged, its header only once all are in.
void discard_container(Build& build) {
  build.held_length = 0;
  if (build.pipeline != nullptr) build.pipeline->stop();
  if (build.container != nullptr) common::truncate_file(build.container, 0);
}

[[noreturn]] void fail_entry(Build& build, ListedError error, EntryStep step, const char* path) {
  discard_container(build);
  switch (error) {
    case ListedError::kCannotOpen:
      fail(1, "Error -- can't open file %s\n", path);
    case ListedError::kNotReadable:
      fail(1, "Error reading file %s\n", path);
    case ListedError::kTooLarge:
      fail(1, "Error -- %s is too large (2 GiB or more)\n", path);
    case ListedError::kNoMemory:
    case ListedError::kNone:
      break;
  }
  if (step == EntryStep::kEncoded)
    fail(1, "Error -- Couldn't allocate buffer to compress %s.\n", path);
  fail(1, "Error -- Couldn't allocate buffer to copy %s.\n", path);
}

// Stages one prepared entry in list order.
void stage_entry(Build& build, const std::string& path, const PreparedEntry& entry) {
  switch (judge_entry(entry, build.staged_bytes, static_cast<int64_t>(build.nodes.size()))) {
    case Verdict::kStage:
      break;
    case Verdict::kListedError:
      fail_entry(build, entry.error, entry.step, path.c_str());
    case Verdict::kContainerTooLarge:
      discard_container(build);
      fail(1, "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n");
  }

  try {
    build.nodes.push_back({static_cast<uint32_t>(build.staged_bytes), entry.compressed});
  } catch (const std::bad_alloc&) {
    discard_container(build);
    fail(1, "Error allocating memory for TOC list\n");
  }
  if (std::fwrite(entry.bytes.get(), 1, entry.length, build.staging.stream) != entry.length) {
    discard_container(build);
    fail(1, "Error writing %s to tempfile.\n", path.c_str());
  }
  const bool hold = build.held && entry.length < kDataPiece;
  if (hold) std::memcpy(build.held.get() + build.held_length, entry.bytes.get(), entry.length);
  build.held_length += hold ? entry.length : 0;
  if (((build.held_length >= kDataPiece || !hold) && !write_held(build)) ||
      (!hold && std::fwrite(entry.bytes.get(), 1, entry.length, build.container) != entry.length)) {
    discard_container(build);
    fail(1, "Error writing output file '%s'\n", build.container_path);
  }
  build.staged_bytes += static_cast<int64_t>(entry.length);
  build.data_sum += entry.byte_sum;
}

bool is_staged(const ListEntry& entry) {
  return entry.command == 'c' || entry.command == 'u';
}

// Stages every entry in list order; an entry with an unknown command is only warned about.
void stage_list(Build& build, const std::vector<ListEntry>& entries, unsigned threads) {
  std::vector<const ListEntry*> staged;
  for (const ListEntry& entry : entries) {
    if (is_staged(entry)) staged.push_back(&entry);
  }
  EntryPipeline pipeline(std::move(staged), threads);
  build.pipeline = &pipeline;
  for (const ListEntry& entry : entries) {
    if (!is_staged(entry)) {
      std::printf("Warning - Unknown command '%c'. Ignoring\n", entry.command);
      continue;
    }
    stage_entry(build, entry.path, pipeline.take(build.staged_bytes));
  }
  build.pipeline = nullptr;
}

}  // namespace

int build(const char* list_path, const char* container_path, unsigned threads) {
  Build build;
  build.container_path = container_path;

  // The whole list is read before anything is created, so that nothing it names is touched
  // by a run that cannot read it.
  std::FILE* list = std::fopen(list_path, "r");
  if (list == nullptr) fail(1, "Can't open input file list '%s'\n", list_path);
  std::vector<ListEntry> entries;
  if (read_list(list, entries) != ListError::kNone) {
    fail(1, "Error reading file list '%s'\n", list_path);
  }
  std::fclose(list);
  // Creating the staging file or the container empties it: refuse before that when it is a
  // file the run must read, or when the two are one file.
  if (common::same_file(list_path, kStagingPath)) {
    fail(1, "Input file list '%s' is the temporary data file\n", list_path);
  }
  if (common::same_file(list_path, build.container_path)) {
    fail(1, "Output file '%s' is the same file as the input\n", build.container_path);
  }
  // Only a container that exists already can be a listed file.
  common::FileId container{}, listed{};
  const bool container_exists = common::identify_file(build.container_path, container);
  for (const ListEntry& entry : entries) {
    if (container_exists && is_staged(entry) && common::identify_file(entry.path.c_str(), listed) &&
        listed == container) {
      fail(1, "Output file '%s' is the same file as the input\n", build.container_path);
    }
  }
  if (common::same_file(kStagingPath, build.container_path)) {
    fail(1, "Output file '%s' is the temporary data file\n", build.container_path);
  }

  build.container = std::fopen(build.container_path, "w+b");
  if (build.container == nullptr) fail(1, "Can't open output file '%s'\n", build.container_path);
  // A container that did not exist before is the staging file only now that it does.
  if (common::same_file(kStagingPath, build.container_path)) {
    fail(1, "Output file '%s' is the temporary data file\n", build.container_path);
  }
  // Unbuffered: the data area goes out in whole entries, and nothing may be left in a buffer
  // to be written after a failed run has emptied the container.
  std::setvbuf(build.container, nullptr, _IONBF, 0);
  build.held = common::allocate_bytes(2 * kDataPiece);
  if (!open_staging_file(kStagingPath, build.staging)) {
    fail(1, "Can't open temporary data file.\n");
  }
  // Small entries go out together; an entry larger than the buffer is written straight away.
  std::setvbuf(build.staging.stream, nullptr, _IOFBF, size_t{64} << 10);
  // Every listed entry is staged or the run fails, so the data area's place is known now.
  const int64_t data_offset =
      data_area_offset(std::count_if(entries.begin(), entries.end(), is_staged));
  if (!common::seek_to(build.container, data_offset)) {
    fail(1, "Error writing output file '%s'\n", build.container_path);
  }

  stage_list(build, entries, threads);

  // Closing writes out what the staging stream still buffers; a failure there loses data.
  // Flushed first: some C runtimes' fclose does not report a failure of its own last write.
  if (std::fflush(build.staging.stream) != 0 || std::fclose(build.staging.stream) != 0) {
    discard_container(build);
    fail(1, "Error writing temporary data file\n");
  }
  if (!write_held(build) || !common::seek_to(build.container, 0) ||
      !write_container(build.container, build.nodes, build.data_sum)) {
    discard_container(build);
    fail(1, "Error writing output file '%s'\n", build.container_path);
  }
  if (std::fclose(build.container) != 0) {
    fail(1, "Error writing output file '%s'\n", build.container_path);
  }
  return 0;
}

}  // namespace corvane
