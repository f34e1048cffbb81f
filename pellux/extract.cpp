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
#include "entry.h"
#include "lookup.h"
#include "lzw/decoder.h"
#include "piece_writer.h"
#include "toc.h"

namespace pellux {
namespace {

using common::fail;

// The decoded entry gets this much room beyond its uncompressed size.
constexpr int64_t kDecodeSlack = 16;
// Decoded bytes are written out in pieces of about this size.
constexpr size_t kPiece = size_t{1} << 20;

void fail_entry(EntryError error, const std::string& name) {
  switch (error) {
    case EntryError::kNone:
      return;
    case EntryError::kNoMemory:
      fail(1, "Error -- Can't allocate memory for the FST file %s.\n", name.c_str());
    case EntryError::kShortRead:
      fail(1, "Error reading file from FST\n");
  }
}

}  // namespace

int extract_one(const char* archive_path, const char* requested, const char* output_path) {
  std::FILE* archive = open_archive_file(archive_path);
  // Creating the output truncates it: refuse before that when it is the archive itself.
  if (common::same_file(archive_path, output_path)) {
    fail(1, "Output file '%s' is the same file as the input\n", output_path);
  }
  std::FILE* output = std::fopen(output_path, "wb");
  if (output == nullptr) fail(1, "Can't open output file '%s'\n", output_path);

  const int64_t archive_length = common::regular_file_size(archive);
  Toc toc;
  fail_toc(read_toc(archive, archive_length, toc));
  const int64_t index = find_record(toc, requested);
  if (index < 0) {
    // No line end follows this message. The output stays, empty.
    std::printf("Couldn't find an entry by that name");
    std::fclose(archive);
    std::fclose(output);
    return 1;
  }
  const TocRecord& record = toc[static_cast<size_t>(index)];
  // A name is printed with its control bytes escaped, so that it cannot command the terminal.
  const std::string name = common::escape_name(record_name(record));
  std::printf("Found %s  [CSize:%d, USize:%d]\n\n", name.c_str(), record.stored_size,
              record.uncompressed_size);

  common::Bytes data;
  const int64_t after_table = 4 + kRecordSize * static_cast<int64_t>(toc.size());
  fail_entry(read_entry(archive, archive_length, after_table, record, data), name);
  common::Bytes decoded;
  const auto stored = static_cast<size_t>(record.stored_size);
  if (record.stored_size != record.uncompressed_size) {
    const int64_t capacity = int64_t{record.uncompressed_size} + kDecodeSlack;
    const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
    if (capacity >= 0) decoded = common::allocate_bytes(static_cast<uint64_t>(capacity));
    if (!decoded || !decoder) fail(1, "Error -- Can't allocate memory to decompress FST file\n");
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
    if (!written) fail(1, "Error writing to output file\n");
  } else if (stored > 0 && std::fwrite(data.get(), 1, stored, output) != stored) {
    fail(1, "Error writing to output file\n");
  }
  std::fclose(archive);
  // The exit status is the result of closing the output: -1 (255 to the shell) when the bytes
  // still buffered could not be written.
  // Flushed first: some C runtimes' fclose does not report a failure of its own last write.
  return std::fflush(output) == 0 && std::fclose(output) == 0 ? 0 : -1;
}

}  // namespace pellux
