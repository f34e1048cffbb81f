// Creating an archive from a manifest: the count, the records and every entry's data in
// manifest order, the data right after the table. Every message this mode prints is here.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "common/listed_file.h"
#include "common/ordered_work.h"
#include "fst/writer.h"
#include "lzw/code_stream.h"
#include "lzw/encoder.h"
#include "manifest.h"
#include "modes.h"

namespace pellux {
namespace {

using common::ListedError;

// One entry on its way into the archive.
struct NewEntry {
  ListedError error = ListedError::kNone;
  bool read = false;  // the error, if any, came while reading
  bool compress = false;
  common::ListedFile file;
  common::Bytes stored;  // what goes into the archive
  size_t stored_size = 0;
  size_t size = 0;  // the file's bytes
};

// The most an entry can take in the archive: its file, or the worst case of its stream.
int64_t largest(const NewEntry& entry) {
  const auto reported = static_cast<uint64_t>(entry.file.reported_length);
  return static_cast<int64_t>(entry.compress ? lzw::max_stream_size(reported) : reported);
}

// True when an entry of `size` bytes fits at `offset`: offsets and sizes are signed 32-bit.
bool fits(int64_t offset, int64_t size) {
  return offset + size <= fst::kFieldLimit;
}

// Reads the entry's file and, for `c`, encodes it; keeps the stream only when it can be told
// from the file's own bytes.
void read_and_encode(NewEntry& entry, lzw::Encoder* encoder) {
  entry.read = true;
  entry.error = common::read_listed_file(entry.file);
  if (entry.error != ListedError::kNone) return;
  entry.size = entry.file.length;
  entry.stored = std::move(entry.file.bytes);
  entry.stored_size = entry.size;
  if (!entry.compress) return;
  const uint64_t bound = lzw::max_stream_size(entry.size);
  common::Bytes stream = common::allocate_bytes(bound);
  if (!stream || encoder == nullptr) {
    entry.error = ListedError::kNoMemory;
    return;
  }
  const size_t length = lzw::compress_buffer(*encoder, stream.get(), static_cast<size_t>(bound),
                                             entry.stored.get(), entry.size);
  if (fst::keeps_stream(entry.size, length)) {
    entry.stored = std::move(stream);
    entry.stored_size = length;
  }
}

// A listed file larger than this is written a piece at a time as it is read, in constant
// memory; workers read and encode files whole up to kAheadLimit ahead of the one written.
constexpr int64_t kWholeLimit = int64_t{1} << 20;
constexpr int64_t kAheadLimit = int64_t{16} << 20;
constexpr size_t kReadPiece = size_t{1} << 20;

// The state of one creation. A failure leaves nothing under the archive's name: fail_run
// removes what was written.
struct Creation {
  common::Run& run;
  const char* archive_path;
  common::OutputFile archive;
  common::FileId replaced;  // the file the archive replaces, if any
  bool replaces = false;
  common::OrderedWork<NewEntry>* work = nullptr;  // stopped before the run ends on a failure
};

// The run, once the work ahead is stopped: what a failure ends with fail_run (which removes what
// was written).
common::Run& stopped(Creation& creation) {
  if (creation.work != nullptr) creation.work->stop();
  return creation.run;
}

[[noreturn]] void fail_too_large(Creation& creation) {
  common::fail_run(stopped(creation), 1,
                   "Error -- archive too large (offsets and sizes must stay below 2 GiB)\n");
}

// Writes the opened entry at `offset` a piece at a time as it is read, encoded for `c`; a
// stream that comes out exactly as long as the file is then written over with the file's own
// bytes, read again. Sets the entry's sizes; leaves its stored bytes empty, since they are in.
void stream_entry(Creation& creation, NewEntry& entry, lzw::Encoder* encoder, int64_t offset) {
  common::Bytes input = common::allocate_bytes(kReadPiece + lzw::kPieceMargin);
  const size_t out_size = lzw::max_stream_size(kReadPiece + lzw::kPieceMargin) + 8;
  common::Bytes out = common::allocate_bytes(entry.compress ? out_size : 0);
  if (!input || !out || (entry.compress && encoder == nullptr)) {
    entry.error = ListedError::kNoMemory;
    return;
  }
  std::FILE* file = entry.file.stream.get();
  const auto put = [&](const uint8_t* bytes, size_t count) {
    entry.stored_size += count;
    if (!fits(offset, static_cast<int64_t>(entry.stored_size))) fail_too_large(creation);
    if (!creation.archive.write(bytes, count)) {
      common::fail_run(stopped(creation), 1, "Error writing %s\n", creation.archive_path);
    }
  };
  if (entry.compress) lzw::begin_encoding(*encoder);
  size_t carried = 0;
  for (bool last = false; !last;) {
    const size_t got = std::fread(input.get() + carried, 1, kReadPiece, file);
    entry.size += got;
    last = got < kReadPiece;
    if (std::ferror(file) != 0) entry.error = ListedError::kNotReadable;
    if (entry.size >= static_cast<size_t>(common::kListedFileLimit)) {
      entry.error = ListedError::kTooLarge;
    }
    if (entry.error != ListedError::kNone) return;
    if (!entry.compress) {
      put(input.get(), got);
      continue;
    }
    const lzw::EncodeStep step =
        lzw::encode_some(*encoder, input.get(), carried + got, last, out.get(), out_size);
    put(out.get(), step.written);
    carried = carried + got - step.consumed;
    std::memmove(input.get(), input.get() + step.consumed, carried);
  }
  if (!entry.compress || fst::keeps_stream(entry.size, entry.stored_size)) return;
  // As long as the file: stored instead, over the stream, in the same room.
  for (size_t done = 0; done < entry.size;) {
    const size_t want = std::min(kReadPiece, entry.size - done);
    if (common::read_at(file, static_cast<int64_t>(done), input.get(), want) != want) {
      entry.error = ListedError::kNotReadable;
      return;
    }
    if (!creation.archive.write_at(offset + static_cast<int64_t>(done), input.get(), want)) {
      common::fail_run(stopped(creation), 1, "Error writing %s\n", creation.archive_path);
    }
    done += want;
  }
}

[[noreturn]] void fail_entry(Creation& creation, const NewEntry& entry, const char* path) {
  switch (entry.error) {
    case ListedError::kCannotOpen:
      common::fail_run(stopped(creation), 1, "Error -- can't open file %s\n", path);
    case ListedError::kNotReadable:
      common::fail_run(stopped(creation), 1, "Error reading file %s\n", path);
    case ListedError::kTooLarge:
      common::fail_run(stopped(creation), 1, "Error -- %s is too large (2 GiB or more)\n", path);
    case ListedError::kIsOutput:
      common::fail_run(stopped(creation), 1, "Error -- %s is the archive being created\n", path);
    case ListedError::kNoMemory:
    case ListedError::kNone:
      break;
  }
  common::fail_run(stopped(creation), 1, "Error -- Couldn't allocate buffer to compress %s.\n",
                   path);
}

}  // namespace

int create_archive(common::Run& run, const char* archive_path, const char* manifest_path,
                   bool replace, unsigned threads) {
  Creation creation{run, archive_path, {}, {}, false};
  std::FILE* manifest = common::open_input(manifest_path, true);
  if (manifest == nullptr) common::fail(1, "Can't open manifest '%s'\n", manifest_path);
  common::FileId id;
  if (common::identify(manifest, id)) run.add_input(id);
  std::vector<ManifestLine> lines;
  size_t line = 0;
  switch (read_manifest(manifest, lines, line)) {
    case ManifestError::kNone:
      break;
    case ManifestError::kReadError:
      common::fail(1, "Error reading manifest '%s'\n", manifest_path);
    case ManifestError::kBadCommand:
      common::fail(1, "Manifest '%s', line %zu: neither c nor u\n", manifest_path, line);
    case ManifestError::kFields:
      common::fail(1, "Manifest '%s', line %zu: not a file and a name\n", manifest_path, line);
    case ManifestError::kBadToken:
      common::fail(1, "Manifest '%s', line %zu: a %% without two hex digits\n", manifest_path,
                   line);
    case ManifestError::kNulInPath:
      common::fail(1, "Manifest '%s', line %zu: a file path with a NUL byte\n", manifest_path,
                   line);
  }
  std::fclose(manifest);
  for (const ManifestLine& entry : lines) {
    switch (fst::check_name(entry.name)) {
      case fst::NameError::kNone:
        break;
      case fst::NameError::kEmpty:
        common::fail(1, "Manifest '%s', line %zu: an empty name\n", manifest_path, entry.line);
      case fst::NameError::kTooLong:
        common::fail(1, "Manifest '%s', line %zu: a name of 250 bytes or more\n", manifest_path,
                     entry.line);
      case fst::NameError::kHasNul:
        common::fail(1, "Manifest '%s', line %zu: a name with a NUL byte\n", manifest_path,
                     entry.line);
    }
  }
  const int64_t table_size = 4 + fst::kRecordSize * static_cast<int64_t>(lines.size());
  if (!fits(table_size, 0)) {
    common::fail(1, "Error -- archive too large (offsets and sizes must stay below 2 GiB)\n");
  }
  std::vector<std::string> paths;
  for (const ManifestLine& entry : lines) paths.push_back(file_path(manifest_path, entry.file));
  // A file the archive replaces is one the run must not read.
  creation.replaces = common::identify_file(archive_path, creation.replaced);
  switch (creation.archive.create_typed(run, archive_path, replace)) {
    case common::OutputError::kNone:
      break;
    case common::OutputError::kIsInput:
      common::fail(1, "Output file '%s' is the same file as the input\n", archive_path);
    case common::OutputError::kExists:
    case common::OutputError::kWrittenBefore:
      common::fail(1, "Can't create %s: it exists, or is not a plain file (-f replaces a file)\n",
                   archive_path);
    default:
      common::fail(1, "Can't create %s\n", archive_path);
  }
  // The table's room is filled with zeros until the records are known.
  const std::vector<uint8_t> zeros(static_cast<size_t>(table_size));
  if (!creation.archive.write(zeros.data(), zeros.size())) {
    common::fail_run(stopped(creation), 1, "Error writing %s\n", archive_path);
  }

  std::vector<std::unique_ptr<lzw::Encoder>> encoders(threads + 1);
  const auto encoder_for = [&encoders](const NewEntry& entry, unsigned worker) {
    std::unique_ptr<lzw::Encoder>& encoder = encoders[worker];
    if (entry.compress && !encoder) encoder = lzw::new_encoder();
    return encoder.get();
  };
  const auto open_entry = [&](size_t index) {
    NewEntry entry;
    entry.compress = lines[index].compress;
    entry.error = common::open_listed_file(run, paths[index].c_str(), entry.file);
    if (entry.error == ListedError::kNone && creation.replaces &&
        entry.file.id == creation.replaced) {
      entry.error = ListedError::kIsOutput;
    }
    return entry;
  };
  common::WorkSteps<NewEntry> steps{
      open_entry,
      [](const NewEntry& entry) { return entry.error == ListedError::kNone ? largest(entry) : 0; },
      [](const NewEntry& entry, size_t, int64_t before) {
        return entry.error == ListedError::kNone && entry.file.reported_length <= kAheadLimit &&
               fits(before, largest(entry));
      },
      [](const NewEntry& entry) { return entry.file.reported_length + largest(entry); },
      [&](NewEntry& entry, unsigned worker) {
        read_and_encode(entry, encoder_for(entry, worker));
      }};
  common::OrderedWork<NewEntry> work(lines.size(), threads, 8 * size_t{threads}, int64_t{64} << 20,
                                     std::move(steps));
  creation.work = &work;
  std::vector<fst::TocRecord> records;
  int64_t offset = table_size;
  run.console.start_progress(lines.size(), 0);
  for (size_t i = 0; i < lines.size(); ++i) {
    bool worked = false;
    NewEntry entry = work.take(offset, worked);
    const char* path = paths[i].c_str();
    // Memory that ran short for work done ahead is not this entry's fault: the run reads it
    // again itself, as one thread would have.
    if (worked && entry.error == ListedError::kNoMemory) {
      entry = open_entry(i);
      worked = false;
    }
    if (entry.error != ListedError::kNone) {
      fail_entry(creation, entry, path);
    }
    // Judged against where it really goes: a stored file too large is never read.
    if (!worked && !entry.compress && !fits(offset, entry.file.reported_length)) {
      fail_too_large(creation);
    }
    if (!worked && entry.file.reported_length > kWholeLimit) {
      stream_entry(creation, entry, encoder_for(entry, 0), offset);
    } else if (!worked) {
      read_and_encode(entry, encoder_for(entry, 0));
    }
    if (entry.error != ListedError::kNone) {
      fail_entry(creation, entry, path);
    }
    if (!fits(offset, static_cast<int64_t>(entry.stored_size)) ||
        !fits(0, static_cast<int64_t>(entry.size))) {
      fail_too_large(creation);
    }
    if (entry.stored && !creation.archive.write(entry.stored.get(), entry.stored_size)) {
      common::fail_run(stopped(creation), 1, "Error writing %s\n", archive_path);
    }
    records.push_back(fst::make_record(offset, static_cast<int64_t>(entry.stored_size),
                                       static_cast<int64_t>(entry.size), lines[i].name));
    offset += static_cast<int64_t>(entry.stored_size);
    run.console.advance(1, entry.size);
  }
  const std::vector<uint8_t> table = fst::table_bytes(records);
  if (!creation.archive.write_at(0, table.data(), table.size()) ||
      creation.archive.finish() != common::OutputError::kNone) {
    common::fail_run(stopped(creation), 1, "Error writing %s\n", archive_path);
  }
  run.console.clear();
  run.console.say("Created %s: %zu %s, %lld bytes\n", archive_path, lines.size(),
                  lines.size() == 1 ? "entry" : "entries", static_cast<long long>(offset));
  return printed(0);
}

}  // namespace pellux
