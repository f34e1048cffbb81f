// Reading, decoding and judging entries, in constant memory.
#include "entry.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/files.h"

namespace fst {
namespace {

// Moves the archive to `offset`: by seeking, or, in an archive that cannot seek, by reading
// forward to it; false when it cannot get there.
bool go_to(Archive& archive, int64_t offset) {
  if (common::seek_to(archive.file, offset)) return true;
  if (offset < archive.position) return false;
  uint8_t scratch[4096];
  for (int64_t left = offset - archive.position; left > 0;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(left, sizeof scratch));
    if (std::fread(scratch, 1, want, archive.file) != want) return false;
    left -= static_cast<int64_t>(want);
  }
  return true;
}

}  // namespace

bool entry_in_range(const TocRecord& record, int64_t archive_length) {
  return record.offset >= 0 && record.stored_size >= 0 && record.uncompressed_size >= 0 &&
         (archive_length < 0 || int64_t{record.offset} + record.stored_size <= archive_length);
}

uint64_t most_given(const TocRecord& record) {
  if (record.stored_size < 0 || record.uncompressed_size < 0) return 0;
  const auto stored = static_cast<uint64_t>(record.stored_size);
  return std::min(static_cast<uint64_t>(record.uncompressed_size), stored * kMostPerArchiveByte);
}

GivenBound::GivenBound(int64_t archive_length)
    : most_(archive_length < 0 ? UINT64_MAX
                               : kMostPerArchiveByte * static_cast<uint64_t>(archive_length)) {}

bool GivenBound::take(const TocRecord& record) {
  const uint64_t count = most_given(record);
  if (count > most_ - given_) return false;
  given_ += count;
  return true;
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

int64_t memory_for(const TocRecord& record) {
  const bool compressed = record.stored_size != record.uncompressed_size;
  const int64_t window = compressed ? std::min<int64_t>(std::max(0, record.uncompressed_size) + 17,
                                                        static_cast<int64_t>(lzw::kWindowSize))
                                    : 0;
  return window + static_cast<int64_t>(lzw::kInputPiece);
}

Judged judge_entry(Archive& archive, const TocRecord& record, size_t slack, EntryBuffers& buffers,
                   const Sink& sink, const Sink* stored) {
  Judged judged{Verdict::kOutside, 0, false};
  const int64_t end = int64_t{record.offset} + record.stored_size;
  if (record.offset < 0 || record.stored_size < 0 ||
      (archive.length >= 0 && record.stored_size > 0 && end > archive.length)) {
    return judged;
  }
  // An archive whose length is known is read at the entry's offset, so that several threads
  // may read it at once; one that cannot seek, a pipe, is read forward.
  const bool seekable = archive.length >= 0;
  if (!seekable && !go_to(archive, record.offset)) return judged;
  if (!seekable) archive.position = record.offset;
  int64_t at = record.offset;
  const auto read = [&](uint8_t* bytes, size_t count) {
    const size_t got = seekable ? common::read_at(archive.file, at, bytes, count)
                                : std::fread(bytes, 1, count, archive.file);
    at += static_cast<int64_t>(got);
    if (!seekable) archive.position = at;
    if (stored != nullptr && got > 0) (*stored)(bytes, got);
    return got;
  };
  const auto give = [&](const uint8_t* bytes, size_t count) {
    judged.count += count;
    return sink(bytes, count);
  };
  const auto stored_size = static_cast<uint64_t>(record.stored_size);
  if (record.stored_size == record.uncompressed_size) {
    // Stored bytes go through the input piece as they are.
    if (!buffers.input) buffers.input.reset(new (std::nothrow) uint8_t[lzw::kInputPiece + 8]);
    if (!buffers.input) return {Verdict::kNoMemory, 0, false};
    for (uint64_t left = stored_size; left > 0;) {
      const auto want = static_cast<size_t>(std::min<uint64_t>(left, lzw::kInputPiece));
      if (read(buffers.input.get(), want) != want) return judged;
      left -= want;
      if (!give(buffers.input.get(), want)) return {Verdict::kSound, judged.count, true};
    }
    judged.verdict = Verdict::kSound;
    return judged;
  }
  // Room for the size and the slack, never more than the stream can give.
  const int64_t room =
      std::max<int64_t>(0, int64_t{record.uncompressed_size} + static_cast<int64_t>(slack));
  const uint64_t limit =
      std::min<uint64_t>(static_cast<uint64_t>(room), lzw::max_decoded_size(stored_size));
  const lzw::StreamResult decoded = lzw::decode_stream(buffers, stored_size, limit, read, give);
  judged.sink_stopped = decoded.sink_stopped;
  if (decoded.no_memory) return {Verdict::kNoMemory, 0, false};
  if (decoded.read_short) return judged;
  const uint64_t count = decoded.result.count;
  // Decoding that stopped because the bytes could not be written says nothing of the stream,
  // as with stored bytes.
  if (decoded.sink_stopped) return {Verdict::kSound, count, true};
  const auto size = static_cast<uint64_t>(std::max(0, record.uncompressed_size));
  judged.verdict = count > size || (record.uncompressed_size < 0 && count > 0) ? Verdict::kMore
                   : count < size                                              ? Verdict::kFewer
                   : decoded.result.stop != lzw::DecodeStop::kEnd              ? Verdict::kNoEnd
                                                                               : Verdict::kSound;
  return judged;
}

}  // namespace fst
