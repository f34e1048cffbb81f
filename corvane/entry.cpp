// Preparing a listed entry.
#include "entry.h"

#include "container/layout.h"
#include "lzw/code_stream.h"
#include "lzw/le32.h"

namespace corvane {
namespace {

uint32_t sum_bytes(const uint8_t* bytes, size_t count) {
  uint32_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

}  // namespace

PreparedEntry open_entry(const common::Run& run, const ListEntry& entry) {
  PreparedEntry prepared;
  prepared.compressed = entry.command == 'c';
  prepared.error = open_listed_file(run, entry.path.c_str(), prepared.file);
  prepared.reported_length = prepared.file.reported_length;
  if (prepared.error != ListedError::kNone) common::close_listed_file(prepared.file);
  return prepared;
}

int64_t largest_staged(const PreparedEntry& entry) {
  const auto reported = static_cast<uint64_t>(entry.reported_length);
  return static_cast<int64_t>(entry.compressed ? 4 + lzw::max_stream_size(reported) : reported);
}

void read_entry(PreparedEntry& prepared, lzw::Encoder* encoder) {
  ListedFile& file = prepared.file;
  prepared.step = EntryStep::kRead;
  prepared.error = common::read_listed_file(file);
  common::close_listed_file(file);
  if (prepared.error != ListedError::kNone) return;
  prepared.read_length = static_cast<int64_t>(file.length);
  if (!prepared.compressed) {
    prepared.bytes = std::move(file.bytes);
    prepared.length = file.length;
  } else {
    prepared.step = EntryStep::kEncoded;
    // The length word, then the stream.
    prepared.bytes = common::allocate_bytes(4 + lzw::max_stream_size(file.length));
    if (!prepared.bytes || encoder == nullptr) {
      prepared.error = ListedError::kNoMemory;
      return;
    }
    lzw::put_le32(prepared.bytes.get(), static_cast<uint32_t>(file.length));
    prepared.length =
        4 + lzw::compress_buffer(*encoder, prepared.bytes.get() + 4,
                                 lzw::max_stream_size(file.length), file.bytes.get(), file.length);
    file.bytes.reset();
  }
  prepared.byte_sum = sum_bytes(prepared.bytes.get(), prepared.length);
}

Verdict judge_entry(const PreparedEntry& entry, int64_t staged_bytes, int64_t entry_count) {
  if (entry.step == EntryStep::kOpened && entry.error != ListedError::kNone) {
    return Verdict::kListedError;
  }
  // An entry left unread is one that fails here whatever came before it.
  if (!container::entry_fits(staged_bytes, entry_count,
                             entry.compressed ? 0 : entry.reported_length)) {
    return Verdict::kContainerTooLarge;
  }
  if (entry.error != ListedError::kNone) return Verdict::kListedError;
  // A stored file that held more than it reported must still fit; so must a code stream.
  if (!container::entry_fits(staged_bytes, entry_count, static_cast<int64_t>(entry.length))) {
    return Verdict::kContainerTooLarge;
  }
  return Verdict::kStage;
}

}  // namespace corvane
