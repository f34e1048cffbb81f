// Extracting one entry by name: table of contents, lookup, then the entry's stored bytes
// copied out as they are or decoded when its stored and uncompressed sizes differ. Every
// message this mode prints is here or in archive.cpp.
#include "modes.h"

#include <cstdio>
#include <string>

#include "archive.h"
#include "common/background_writer.h"
#include "common/buffer.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "fst/lookup.h"
#include "lzw/decoder.h"

namespace pellux {
namespace {

using common::fail;

// The decoded entry gets this much room beyond its uncompressed size.
constexpr int kDecodeSlack = 16;

}  // namespace

int extract_one(common::Run& run, const char* archive_path, const char* requested,
                const char* output_path, int data) {
  Archive opened;
  open_archive_file(run, archive_path, 1, opened);
  std::FILE* archive = opened.file;
  // The output is never the archive, however it is named; it is emptied only once that is
  // known, and again after any failure.
  common::OutputFile output;
  switch (data >= 0 ? output.adopt_stream(run, data) : output.open_kept(run, output_path)) {
    case common::OutputError::kNone:
      break;
    case common::OutputError::kIsInput:
      fail(1, "Output file '%s' is the same file as the input\n", output_path);
    default:
      fail(1, "Can't open output file '%s'\n", output_path);
  }
  // Every failure from here on leaves the output empty: fail_run empties it.
  read_archive_table(opened, 1);
  const Toc& toc = opened.toc;
  const int64_t index = fst::find_record(toc, requested);
  if (index < 0) {
    // No line end follows this message. The output stays, empty.
    std::printf("Couldn't find an entry by that name");
    std::fclose(archive);
    output.finish();
    return 1;
  }
  const TocRecord& record = toc[static_cast<size_t>(index)];
  // A name is printed with its control bytes escaped, so that it cannot command the terminal.
  const std::string name = common::escape_name(fst::record_name(record));
  std::printf("Found %s  [CSize:%d, USize:%d]\n\n", name.c_str(), record.stored_size,
              record.uncompressed_size);

  // Sizes that no allocation could meet keep the messages they have always had.
  const bool compressed = record.stored_size != record.uncompressed_size;
  if (record.stored_size < 0) {
    common::fail_run(run, 1, "Error -- Can't allocate memory for the FST file %s.\n", name.c_str());
  }
  if (record.offset < 0 || (opened.length >= 0 && record.stored_size > 0 &&
                            int64_t{record.offset} + record.stored_size > opened.length)) {
    common::fail_run(run, 1, "Error reading file from FST\n");
  }
  if (compressed && record.uncompressed_size < -kDecodeSlack) {
    common::fail_run(run, 1, "Error -- Can't allocate memory to decompress FST file\n");
  }
  // The entry is read and decoded a piece at a time, and a second thread writes each piece
  // out while the next is decoded.
  fst::EntryBuffers buffers;
  common::BackgroundWriter writer(output);
  const fst::Judged judged = fst::judge_entry(
      opened, record, kDecodeSlack, buffers,
      [&writer](const uint8_t* bytes, size_t count) { return writer.put(bytes, count); });
  const bool written = writer.finish() && !judged.sink_stopped;
  switch (judged.verdict) {
    case fst::Verdict::kOutside:
      common::fail_run(run, 1, "Error reading file from FST\n");
    case fst::Verdict::kNoMemory:
      common::fail_run(run, 1, "Error -- Can't allocate memory to decompress FST file\n");
    default:
      break;
  }
  if (compressed && !judged.sink_stopped &&
      judged.count != static_cast<uint64_t>(int64_t{record.uncompressed_size})) {
    std::printf("Warning -- Decompressed size does not match the FST's stored value\n");
  }
  if (!written) common::fail_run(run, 1, "Error writing to output file\n");
  std::fclose(archive);
  // The exit status is the result of finishing the output: -1 (255 to the shell) when the bytes
  // still buffered could not be written.
  return output.finish() == common::OutputError::kNone ? 0 : -1;
}

}  // namespace pellux
