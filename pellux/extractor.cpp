// Extractor run sequence: table of contents, lookup, then the entry's stored bytes copied
// out as they are or decoded when its stored and uncompressed sizes differ.
#include "extractor.h"

#include <cstdio>
#include <memory>

#include "common/support.h"
#include "decoder.h"
#include "toc.h"

namespace pellux {
namespace {

using common::fail;

// The decoded entry gets this much room beyond its uncompressed size.
constexpr int64_t kDecodeSlack = 16;

[[noreturn]] void fail_short_entry() {
  fail(1, "Error %s\n", "reading file from FST");
}

// Reads the record's stored bytes. An entry that cannot lie inside the archive is refused as
// a short read before its buffer is allocated; an offset that cannot be sought to (a negative
// one, or any in an archive that cannot seek) is a short read too, rather than reading from
// wherever the archive happens to stand.
std::unique_ptr<uint8_t[]> read_entry(std::FILE* archive, const TocRecord& record) {
  const std::string_view name = record_name(record);
  if (record.stored_size < 0) {
    fail(1, "Error -- Can't allocate memory for the FST file %.*s.\n",
         static_cast<int>(name.size()), name.data());
  }
  const int64_t archive_length = common::stream_length(archive);
  if (record.offset < 0 || (archive_length >= 0 && record.stored_size > 0 &&
                            int64_t{record.offset} + record.stored_size > archive_length)) {
    fail_short_entry();
  }
  auto data = common::allocate_bytes(record.stored_size);
  if (!data) {
    fail(1, "Error -- Can't allocate memory for the FST file %.*s.\n",
         static_cast<int>(name.size()), name.data());
  }
  if (std::fseek(archive, record.offset, SEEK_SET) != 0) fail_short_entry();
  const auto want = static_cast<size_t>(record.stored_size);
  if (want > 0 && std::fread(data.get(), 1, want, archive) != want) fail_short_entry();
  return data;
}

}  // namespace

int run(int argc, char** argv) {
  std::printf("-- pellux -- read and extract a file from an FST or DPK file --\n\n");
  if (argc != 4) {
    std::printf("Usage: pellux <FST file> <file to extract> <file to create>\n\n");
    std::printf("    The name of the file to extract should *not* contain path info.\n");
    std::printf("    pellux will ignore any directory path given it.\n");
    return 0;
  }
  const char* archive_path = argv[1];
  const char* requested = argv[2];
  const char* output_path = argv[3];

  std::FILE* archive = std::fopen(archive_path, "rb");
  if (archive == nullptr) fail(1, "Can't open input FST file '%s'\n", archive_path);
  // Creating the output truncates it: refuse before that when it is the archive itself.
  if (common::same_file(archive_path, output_path)) {
    fail(1, "Output file '%s' is the same file as the input\n", output_path);
  }
  std::FILE* output = std::fopen(output_path, "wb");
  if (output == nullptr) fail(1, "Can't open output file '%s'\n", output_path);

  const Toc toc = read_toc(archive);
  const int32_t index = find_record(toc, requested);
  if (index < 0) {
    // No line end follows this message. The output stays, empty.
    std::printf("Couldn't find an entry by that name");
    std::fclose(archive);
    std::fclose(output);
    return 1;
  }
  const TocRecord& record = toc.records[static_cast<size_t>(index)];
  const std::string_view name = record_name(record);
  std::printf("Found %.*s  [CSize:%d, USize:%d]\n\n", static_cast<int>(name.size()), name.data(),
              record.stored_size, record.uncompressed_size);

  const std::unique_ptr<uint8_t[]> data = read_entry(archive, record);
  std::unique_ptr<uint8_t[]> decoded;
  const uint8_t* result = data.get();
  int64_t result_length = record.uncompressed_size;
  if (record.stored_size != record.uncompressed_size) {
    const int64_t capacity = int64_t{record.uncompressed_size} + kDecodeSlack;
    decoded = common::allocate_bytes(capacity);
    if (!decoded) fail(1, "Error -- Can't allocate memory to decompress FST file\n");
    result_length = decompress_buffer(decoded.get(), capacity, data.get(), record.stored_size);
    result = decoded.get();
    if (result_length != record.uncompressed_size) {
      std::printf("Warning -- Decompressed size does not match the FST's stored value\n");
    }
  }

  const auto want = static_cast<size_t>(result_length);
  if (want > 0 && std::fwrite(result, 1, want, output) != want) {
    fail(1, "Error writing to output file\n");
  }
  std::fclose(archive);
  // The exit status is the result of closing the output: -1 (255 to the shell) when the bytes
  // still buffered could not be written.
  return std::fclose(output) == 0 ? 0 : -1;
}

}  // namespace pellux
