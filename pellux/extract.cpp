// Extracting one entry by name: table of contents, lookup, then the entry's stored bytes
// copied out as they are or decoded when its stored and uncompressed sizes differ. Every
// message this mode prints is here or in archive.cpp.
#include "modes.h"

#include <cstdio>
#include <string>

#include "archive.h"
#include "common/buffer.h"
#include "common/escape.h"
#include "common/fail.h"
#include "common/files.h"
#include "fst/lookup.h"
#include "lzw/decoder.h"
#include "piece_writer.h"

namespace pellux {
namespace {

using common::fail;

// The decoded entry gets this much room beyond its uncompressed size.
constexpr int64_t kDecodeSlack = 16;
// Decoded bytes are written out in pieces of about this size.
constexpr size_t kPiece = size_t{1} << 20;

}  // namespace

int extract_one(common::RunFiles& run, const char* archive_path, const char* requested,
                const char* output_path) {
  Archive opened;
  open_archive_file(run, archive_path, 1, opened);
  std::FILE* archive = opened.file;
  // The output is never the archive, however it is named; it is emptied only once that is
  // known, and again after any failure.
  common::OutputFile output;
  switch (output.open_kept(run, output_path)) {
    case common::OutputError::kNone:
      break;
    case common::OutputError::kIsInput:
      fail(1, "Output file '%s' is the same file as the input\n", output_path);
    default:
      fail(1, "Can't open output file '%s'\n", output_path);
  }
  // Every failure from here on leaves the output empty.
  const auto fail_empty = [&output](const char* message) {
    output.abandon();
    fail(1, "%s", message);
  };
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

  common::Bytes data;
  switch (fst::read_entry(archive, opened.length, opened.position, record, data)) {
    case fst::EntryError::kNone:
      break;
    case fst::EntryError::kNoMemory:
      output.abandon();
      fail(1, "Error -- Can't allocate memory for the FST file %s.\n", name.c_str());
    case fst::EntryError::kShortRead:
      fail_empty("Error reading file from FST\n");
  }
  common::Bytes decoded;
  const auto stored = static_cast<size_t>(record.stored_size);
  if (record.stored_size != record.uncompressed_size) {
    const int64_t capacity = int64_t{record.uncompressed_size} + kDecodeSlack;
    const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
    if (capacity >= 0) decoded = common::allocate_bytes(static_cast<uint64_t>(capacity));
    if (!decoded || !decoder) fail_empty("Error -- Can't allocate memory to decompress FST file\n");
    // The decoded bytes go out piece by piece while the rest is decoded.
    lzw::begin_decoding(*decoder, decoded.get(), static_cast<size_t>(capacity), data.get(),
                        static_cast<size_t>(record.stored_size));
    PieceWriter writer(output, decoded.get());
    lzw::DecodeResult decoding{0, lzw::DecodeStop::kStreamEnded};
    while (!lzw::decode_some(*decoder, decoding.count + kPiece, decoding)) {
      writer.publish(decoding.count);
    }
    const bool written = writer.finish(decoding.count);
    if (decoding.count != static_cast<size_t>(record.uncompressed_size)) {
      std::printf("Warning -- Decompressed size does not match the FST's stored value\n");
    }
    if (!written) fail_empty("Error writing to output file\n");
  } else if (!output.write(data.get(), stored)) {
    fail_empty("Error writing to output file\n");
  }
  std::fclose(archive);
  // The exit status is the result of finishing the output: -1 (255 to the shell) when the bytes
  // still buffered could not be written.
  return output.finish() == common::OutputError::kNone ? 0 : -1;
}

}  // namespace pellux
