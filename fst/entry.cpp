// Reading an entry's stored bytes.
#include "entry.h"

#include <algorithm>

#include "common/files.h"

namespace fst {

namespace {

// Reads and drops `count` bytes; false when the archive ends first.
bool skip_bytes(std::FILE* archive, int64_t count) {
  uint8_t scratch[4096];
  while (count > 0) {
    const size_t want =
        count < int64_t{sizeof scratch} ? static_cast<size_t>(count) : sizeof scratch;
    if (std::fread(scratch, 1, want, archive) != want) return false;
    count -= static_cast<int64_t>(want);
  }
  return true;
}

}  // namespace

EntryError read_entry(std::FILE* archive, int64_t archive_length, int64_t position,
                      const TocRecord& record, common::Bytes& data) {
  if (record.stored_size < 0) return EntryError::kNoMemory;
  if (record.offset < 0 || (archive_length >= 0 && record.stored_size > 0 &&
                            int64_t{record.offset} + record.stored_size > archive_length)) {
    return EntryError::kShortRead;
  }
  data = common::allocate_bytes(static_cast<uint64_t>(record.stored_size));
  if (!data) return EntryError::kNoMemory;
  if (!common::seek_to(archive, record.offset) &&
      (record.offset < position || !skip_bytes(archive, record.offset - position))) {
    return EntryError::kShortRead;
  }
  const auto want = static_cast<size_t>(record.stored_size);
  if (want > 0 && std::fread(data.get(), 1, want, archive) != want) return EntryError::kShortRead;
  return EntryError::kNone;
}

bool entry_in_range(const TocRecord& record, int64_t archive_length) {
  return record.offset >= 0 && record.stored_size >= 0 && record.uncompressed_size >= 0 &&
         (archive_length < 0 || int64_t{record.offset} + record.stored_size <= archive_length);
}

std::vector<int64_t> find_overlaps(const Archive& archive) {
  const Toc& toc = archive.toc;
  std::vector<int64_t> overlaps(toc.size(), -1);
  std::vector<size_t> order;
  for (size_t i = 0; i < toc.size(); ++i) {
    if (entry_in_range(toc[i], archive.length) && toc[i].stored_size > 0) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&toc](size_t a, size_t b) { return toc[a].offset < toc[b].offset; });
  // The record that reaches furthest so far, in the order of the offsets.
  int64_t reach = -1;
  size_t furthest = 0;
  for (const size_t i : order) {
    const int64_t end = int64_t{toc[i].offset} + toc[i].stored_size;
    if (toc[i].offset < reach) overlaps[i] = static_cast<int64_t>(furthest);
    if (end > reach) {
      reach = end;
      furthest = i;
    }
  }
  return overlaps;
}

ExtractError extract_entry(Archive& archive, const TocRecord& record, size_t slack,
                           lzw::Decoder& decoder, Extracted& extracted) {
  switch (read_entry(archive.file, archive.length, archive.position, record, extracted.stored)) {
    case EntryError::kNone:
      break;
    case EntryError::kNoMemory:
      return ExtractError::kNoMemory;
    case EntryError::kShortRead:
      return ExtractError::kShortRead;
  }
  archive.position = int64_t{record.offset} + record.stored_size;
  const auto stored_size = static_cast<size_t>(record.stored_size);
  extracted.bytes = extracted.stored.get();
  extracted.result = {stored_size, lzw::DecodeStop::kEnd};
  if (record.stored_size == record.uncompressed_size) return ExtractError::kNone;
  const size_t capacity = static_cast<size_t>(std::min<uint64_t>(
      static_cast<uint64_t>(record.uncompressed_size) + slack, lzw::max_decoded_size(stored_size)));
  extracted.decoded = common::allocate_bytes(capacity);
  if (!extracted.decoded) return ExtractError::kNoMemory;
  extracted.bytes = extracted.decoded.get();
  extracted.result = lzw::decompress_buffer(decoder, extracted.decoded.get(), capacity,
                                            extracted.stored.get(), stored_size);
  return ExtractError::kNone;
}

Verdict judge_entry(Archive& archive, const TocRecord& record, size_t slack,
                    lzw::Decoder& decoder, Extracted& extracted) {
  if (!entry_in_range(record, archive.length)) return Verdict::kOutside;
  switch (extract_entry(archive, record, slack, decoder, extracted)) {
    case ExtractError::kNone:
      break;
    case ExtractError::kShortRead:
      return Verdict::kOutside;
    case ExtractError::kNoMemory:
      return Verdict::kNoMemory;
  }
  const auto size = static_cast<size_t>(record.uncompressed_size);
  if (extracted.result.count > size) return Verdict::kMore;
  if (extracted.result.count < size) return Verdict::kFewer;
  return extracted.result.stop == lzw::DecodeStop::kEnd ? Verdict::kSound : Verdict::kNoEnd;
}

}  // namespace fst
