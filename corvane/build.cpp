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
#include "common/ordered_work.h"
#include "container/layout.h"
#include "container/writer.h"
#include "entry.h"
#include "file_list.h"
#include "lzw/code_stream.h"
#include "lzw/le32.h"
#include "staging_file.h"

namespace corvane {
namespace {

using common::fail;
using container::TocNode;

// The state of one build.
struct Build {
  common::Run& run;
  const char* container_path;
  common::OutputFile container;
  common::OutputFile staging;
  int64_t staged_bytes = 0;  // of whole entries in the staging file
  uint32_t data_sum = 0;     // of every staged byte, modulo 2^32
  std::vector<TocNode> nodes;
  int64_t entry_count = 0;  // of the list: where the data area starts follows from it
  common::OrderedWork<PreparedEntry>* pipeline = nullptr;
};

// Bytes that entries prepared ahead of the one being staged may hold in all: files being read
// and encoded, and finished entries waiting. The entry being staged may take more.
constexpr int64_t kAheadBudget = int64_t{64} << 20;

// A failed run drops the work done ahead and leaves the container empty, as it was created,
// and the staging file holding whole entries only: every one staged before the failure, or,
// when writing them is what failed, as many as reached it.
void discard_container(Build& build) {
  build.run.console.clear();
  if (build.pipeline != nullptr) build.pipeline->stop();
  build.container.abandon();
  if (!build.staging.is_open()) return;
  int64_t kept = build.staged_bytes;
  if (!build.staging.write_out() || build.staging.reached() < kept) {
    // The last entry that ends where the writing had got to.
    kept = 0;
    for (size_t i = 0; i < build.nodes.size(); ++i) {
      const int64_t end =
          i + 1 < build.nodes.size() ? int64_t{build.nodes[i + 1].offset} : build.staged_bytes;
      if (end <= build.staging.reached()) kept = end;
    }
  }
  build.staging.keep_first(kept);
}

[[noreturn]] void fail_entry(Build& build, const PreparedEntry& entry, const char* path) {
  const ListedError error = entry.error;
  const common::FileId& file = entry.file.id;
  discard_container(build);
  switch (error) {
    case ListedError::kCannotOpen:
      fail(1, "Error -- can't open file %s\n", path);
    case ListedError::kNotReadable:
      fail(1, "Error reading file %s\n", path);
    case ListedError::kTooLarge:
      fail(1, "Error -- %s is too large (2 GiB or more)\n", path);
    case ListedError::kIsOutput:
      if (file == build.container.id()) {
        fail(1, "Output file '%s' is the same file as the input\n", build.container_path);
      }
      fail(1, "Error -- %s is the temporary data file\n", path);
    case ListedError::kNoMemory:
    case ListedError::kNone:
      break;
  }
  if (entry.step == EntryStep::kEncoded)
    fail(1, "Error -- Couldn't allocate buffer to compress %s.\n", path);
  fail(1, "Error -- Couldn't allocate buffer to copy %s.\n", path);
}

// The run ends on a failed write: the staging file's, which then holds no part of the entry
// being written, or the container's.
[[noreturn]] void staging_write_failed(Build& build, const std::string& path) {
  build.nodes.pop_back();
  discard_container(build);
  fail(1, "Error writing %s to tempfile.\n", path.c_str());
}
[[noreturn]] void container_write_failed(Build& build) {
  discard_container(build);
  fail(1, "Error writing output file '%s'\n", build.container_path);
}

// Writes bytes of the entry being staged to the staging file, then the container.
void write_both(Build& build, const std::string& path, const uint8_t* bytes, size_t count) {
  if (!build.staging.write(bytes, count)) staging_write_failed(build, path);
  if (!build.container.write(bytes, count)) container_write_failed(build);
}

[[noreturn]] void container_too_large(Build& build) {
  discard_container(build);
  fail(1, "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n");
}

// Stages one prepared entry in list order.
void stage_entry(Build& build, const std::string& path, const PreparedEntry& entry) {
  switch (judge_entry(entry, build.staged_bytes, build.entry_count)) {
    case Verdict::kStage:
      break;
    case Verdict::kListedError:
      fail_entry(build, entry, path.c_str());
    case Verdict::kContainerTooLarge:
      container_too_large(build);
  }

  try {
    build.nodes.push_back({static_cast<uint32_t>(build.staged_bytes), entry.compressed});
  } catch (const std::bad_alloc&) {
    discard_container(build);
    fail(1, "Error allocating memory for TOC list\n");
  }
  // The entry counts as staged once the container has taken it too, as when it goes a piece at
  // a time: how a run ends never depends on whether the entry was prepared ahead.
  write_both(build, path, entry.bytes.get(), entry.length);
  build.staged_bytes += static_cast<int64_t>(entry.length);
  build.data_sum += entry.byte_sum;
}

bool is_staged(const ListEntry& entry) {
  return entry.command == 'c' || entry.command == 'u';
}

uint32_t sum_bytes(const uint8_t* bytes, size_t count) {
  uint32_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

// A listed file larger than this is staged a piece at a time as it is read, in constant
// memory, instead of whole.
constexpr int64_t kWholeLimit = int64_t{1} << 20;
// Workers prepare files whole up to this size ahead of the one being staged.
constexpr int64_t kAheadLimit = int64_t{16} << 20;
constexpr size_t kReadPiece = size_t{1} << 20;

// Stages the opened entry a piece at a time: each piece read, encoded for `c`, and written to
// the staging file and the container before the next is read. Its fit is checked as it grows;
// a `c` entry's length word, written from the length reported, is written again when the file
// turned out to hold another.
void stream_entry(Build& build, const std::string& path, PreparedEntry& entry,
                  lzw::Encoder* encoder) {
  const int64_t start = build.staged_bytes;
  try {
    build.nodes.push_back({static_cast<uint32_t>(start), entry.compressed});
  } catch (const std::bad_alloc&) {
    discard_container(build);
    fail(1, "Error allocating memory for TOC list\n");
  }
  common::Bytes input = common::allocate_bytes(kReadPiece + lzw::kPieceMargin);
  const size_t out_size = lzw::max_stream_size(kReadPiece + lzw::kPieceMargin) + 8;
  common::Bytes out = common::allocate_bytes(entry.compressed ? out_size : 0);
  if (!input || !out || (entry.compressed && encoder == nullptr)) {
    entry.error = ListedError::kNoMemory;
    entry.step = entry.compressed ? EntryStep::kEncoded : EntryStep::kRead;
    build.nodes.pop_back();
    fail_entry(build, entry, path.c_str());
  }
  int64_t written = 0;
  uint32_t sum = 0;
  const auto put = [&](const uint8_t* bytes, size_t count) {
    if (!container::entry_fits(start, build.entry_count, written + static_cast<int64_t>(count))) {
      container_too_large(build);
    }
    write_both(build, path, bytes, count);
    written += static_cast<int64_t>(count);
    sum += sum_bytes(bytes, count);
  };
  uint8_t word[4];
  lzw::put_le32(word, static_cast<uint32_t>(entry.reported_length));
  if (entry.compressed) {
    put(word, 4);
    lzw::begin_encoding(*encoder);
  }
  std::FILE* file = entry.file.stream.get();
  int64_t length = 0;
  size_t carried = 0;
  for (bool last = false; !last;) {
    const size_t got = std::fread(input.get() + carried, 1, kReadPiece, file);
    length += static_cast<int64_t>(got);
    build.run.console.advance(0, got);
    last = got < kReadPiece;
    if (std::ferror(file) != 0) entry.error = ListedError::kNotReadable;
    if (length >= common::kListedFileLimit) entry.error = ListedError::kTooLarge;
    if (entry.error != ListedError::kNone) {
      entry.step = EntryStep::kRead;
      build.nodes.pop_back();
      fail_entry(build, entry, path.c_str());
    }
    if (!entry.compressed) {
      put(input.get(), got);
      continue;
    }
    const lzw::EncodeStep step =
        lzw::encode_some(*encoder, input.get(), carried + got, last, out.get(), out_size);
    put(out.get(), step.written);
    carried = carried + got - step.consumed;
    std::memmove(input.get(), input.get() + step.consumed, carried);
  }
  common::close_listed_file(entry.file);
  if (entry.compressed && length != entry.reported_length) {
    uint8_t actual[4];
    lzw::put_le32(actual, static_cast<uint32_t>(length));
    sum += sum_bytes(actual, 4) - sum_bytes(word, 4);
    const int64_t data_offset = container::data_area_offset(build.entry_count);
    if (!build.staging.write_at(start, actual, 4)) staging_write_failed(build, path);
    if (!build.container.write_at(data_offset + start, actual, 4)) container_write_failed(build);
  }
  // The entry's last bytes go out now, so that a write that fails is this entry's and not the
  // next one's, as when an entry is written whole.
  if (!build.staging.write_out()) staging_write_failed(build, path);
  if (!build.container.write_out()) container_write_failed(build);
  build.staged_bytes += written;
  build.data_sum += sum;
}

// The memory reading and encoding an entry takes: its file, and its code stream.
int64_t cost_of(const PreparedEntry& entry) {
  return entry.compressed ? entry.reported_length + largest_staged(entry) : entry.reported_length;
}

// Stages every entry in list order; an entry with an unknown command is only warned about.
// Workers read and encode entries ahead, each with an encoder of its own; they read an entry
// only if it fits even when every entry before it takes its largest size, and leave any other
// to be judged against what is really staged before it, as a sequential build does.
void stage_list(Build& build, const std::vector<ListEntry>& entries, unsigned threads) {
  std::vector<const ListEntry*> staged;
  for (const ListEntry& entry : entries) {
    if (is_staged(entry)) staged.push_back(&entry);
  }
  std::vector<std::unique_ptr<lzw::Encoder>> encoders(threads + 1);
  common::WorkSteps<PreparedEntry> steps{
      [&](size_t index) { return open_entry(build.run, *staged[index]); },
      [](const PreparedEntry& entry) {
        return entry.error == ListedError::kNone ? largest_staged(entry) : 0;
      },
      [&build](const PreparedEntry& entry, size_t, int64_t before) {
        return entry.error == ListedError::kNone && entry.reported_length <= kAheadLimit &&
               judge_entry(entry, before, build.entry_count) == Verdict::kStage;
      },
      cost_of,
      [&encoders](PreparedEntry& entry, unsigned worker) {
        std::unique_ptr<lzw::Encoder>& encoder = encoders[worker];
        if (entry.compressed && !encoder) encoder = lzw::new_encoder();
        read_entry(entry, encoder.get());
      }};
  common::OrderedWork<PreparedEntry> pipeline(staged.size(), threads, 8 * size_t{threads},
                                              kAheadBudget, std::move(steps));
  build.pipeline = &pipeline;
  // The progress line's total: the listed files' sizes as they are now, as far as they can be
  // told, each at most the size a listed file may have; what the entries turn out to hold is
  // counted as it is read.
  uint64_t total = 0;
  for (const ListEntry* entry : staged) {
    const int64_t size = common::regular_file_size(entry->path.c_str());
    total += static_cast<uint64_t>(std::clamp<int64_t>(size, 0, common::kListedFileLimit));
  }
  build.run.console.start_progress(staged.size(), total);
  for (const ListEntry& entry : entries) {
    if (!is_staged(entry)) {
      build.run.console.warn("Warning - Unknown command '%c'. Ignoring\n", entry.command);
      continue;
    }
    bool worked = false;
    PreparedEntry prepared = pipeline.take(build.staged_bytes, worked);
    // Memory that ran short for work done ahead is not this entry's fault: the run prepares it
    // again itself, as one thread would have.
    if (worked && prepared.error == ListedError::kNoMemory) {
      prepared = open_entry(build.run, entry);
      worked = false;
    }
    if (!worked && prepared.error == ListedError::kNone &&
        judge_entry(prepared, build.staged_bytes, build.entry_count) == Verdict::kStage) {
      if (prepared.reported_length > kWholeLimit) {
        std::unique_ptr<lzw::Encoder>& encoder = encoders[0];
        if (prepared.compressed && !encoder) encoder = lzw::new_encoder();
        stream_entry(build, entry.path, prepared, encoder.get());
        build.run.console.advance(1, 0);
        continue;
      }
      pipeline.work_here(prepared);
    }
    stage_entry(build, entry.path, prepared);
    build.run.console.advance(1, static_cast<uint64_t>(prepared.read_length));
  }
  build.pipeline = nullptr;
  build.run.console.clear();
}

}  // namespace

int build(common::Run& run, const char* list_path, const char* container_path, unsigned threads) {
  Build build{run, container_path, {}, {}, 0, 0, {}, 0, nullptr};

  // The whole list is read before anything is created, so that nothing it names is touched
  // by a run that cannot read it.
  std::FILE* list = common::open_input(list_path, true, true);
  if (list == nullptr) fail(1, "Can't open input file list '%s'\n", list_path);
  common::FileId list_id{};
  if (common::identify(list, list_id)) run.add_input(list_id);
  std::vector<ListEntry> entries;
  if (read_list(list, entries) != ListError::kNone) {
    fail(1, "Error reading file list '%s'\n", list_path);
  }
  std::fclose(list);
  // Creating the staging file or the container empties it: refuse before that when it is a
  // file the run must read, or when the two are one file. The files are compared again once
  // open, which a link made in between cannot pass.
  common::FileId staging_id{}, container_id{}, listed{};
  const bool staging_exists = common::identify_file(kStagingPath, staging_id);
  const bool container_exists = common::identify_file(container_path, container_id);
  if (staging_exists && staging_id == list_id) {
    fail(1, "Input file list '%s' is the temporary data file\n", list_path);
  }
  if (container_exists && container_id == list_id) {
    fail(1, "Output file '%s' is the same file as the input\n", container_path);
  }
  for (const ListEntry& entry : entries) {
    if (container_exists && is_staged(entry) && common::identify_file(entry.path.c_str(), listed) &&
        listed == container_id) {
      fail(1, "Output file '%s' is the same file as the input\n", container_path);
    }
  }
  if (staging_exists && container_exists && staging_id == container_id) {
    fail(1, "Output file '%s' is the temporary data file\n", container_path);
  }

  // The container is opened now but emptied only once this run holds it and the staging file:
  // another run, in this folder or any other, may still be writing either.
  switch (build.container.open_kept(run, container_path, false)) {
    case common::OutputError::kNone:
      break;
    case common::OutputError::kIsInput:
      fail(1, "Output file '%s' is the same file as the input\n", container_path);
    default:
      fail(1, "Can't open output file '%s'\n", container_path);
  }
  // A container that did not exist before is the staging file only now that it does.
  if (common::identify_file(kStagingPath, staging_id) && staging_id == build.container.id()) {
    build.container.abandon();
    fail(1, "Output file '%s' is the temporary data file\n", container_path);
  }
  build.container.lock([container_path] {
    std::fprintf(stderr, "corvane: waiting for another run to finish with %s\n", container_path);
  });
  StagingFile staging;
  if (!open_staging_file(kStagingPath, staging) ||
      build.staging.adopt_kept(run, staging.fd) != common::OutputError::kNone ||
      !build.container.empty()) {
    build.container.empty();
    build.container.abandon();
    fail(1, "Can't open temporary data file.\n");
  }
  // Every listed entry is staged or the run fails, so the data area's place is known now: the
  // header's room is filled with zeros until the header is known.
  build.entry_count = std::count_if(entries.begin(), entries.end(), is_staged);
  const int64_t data_offset = container::data_area_offset(build.entry_count);
  std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(data_offset, 1 << 20)));
  for (int64_t left = data_offset; left > 0; left -= static_cast<int64_t>(zeros.size())) {
    const auto count = static_cast<size_t>(std::min<int64_t>(left, 1 << 20));
    if (!build.container.write(zeros.data(), count)) container_write_failed(build);
  }

  stage_list(build, entries, threads);

  // What the staging file still buffers goes out first; a failure there loses data.
  if (!build.staging.write_out()) {
    discard_container(build);
    fail(1, "Error writing temporary data file\n");
  }
  if (build.staging.finish() != common::OutputError::kNone) {
    build.container.abandon();
    fail(1, "Error writing temporary data file\n");
  }
  std::vector<uint8_t> header;
  try {
    header = container::container_header(build.nodes, build.data_sum);
  } catch (const std::bad_alloc&) {
    discard_container(build);
    fail(1, "Error allocating memory for TOC list\n");
  }
  if (!build.container.write_at(0, header.data(), header.size()) ||
      build.container.finish() != common::OutputError::kNone) {
    build.container.abandon();
    fail(1, "Error writing output file '%s'\n", container_path);
  }
  return 0;
}

}  // namespace corvane
