// Reading, decoding and judging entries, in constant memory.
#include "entry.h"

#include <algorithm>
#include <cstring>

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

bool make_buffers(EntryBuffers& buffers) {
  if (!buffers.decoder) buffers.decoder = lzw::new_decoder();
  if (!buffers.input) buffers.input = common::allocate_bytes(kReadPiece + 8);
  return buffers.decoder && buffers.input;
}

}  // namespace

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

Judged judge_entry(Archive& archive, const TocRecord& record, size_t slack, EntryBuffers& buffers,
                   const Sink& sink, const Sink* stored) {
  Judged judged{Verdict::kOutside, 0, false};
  const int64_t end = int64_t{record.offset} + record.stored_size;
  if (record.offset < 0 || record.stored_size < 0 ||
      (archive.length >= 0 && record.stored_size > 0 && end > archive.length)) {
    return judged;
  }
  if (!make_buffers(buffers)) return {Verdict::kNoMemory, 0, false};
  if (!go_to(archive, record.offset)) return judged;
  archive.position = record.offset;
  uint8_t* const input = buffers.input.get();
  auto left = static_cast<size_t>(record.stored_size);
  // Reads the next piece of the data after the `kept` bytes already in the input buffer.
  const auto read_piece = [&](size_t kept, size_t& length) {
    const size_t want = std::min(left, kReadPiece);
    const size_t got = want == 0 ? 0 : std::fread(input + kept, 1, want, archive.file);
    archive.position += static_cast<int64_t>(got);
    left -= got;
    length = kept + got;
    if (got != want) return false;
    if (stored != nullptr && got > 0 && !(*stored)(input + kept, got)) judged.sink_stopped = true;
    return true;
  };
  const auto give = [&](const uint8_t* bytes, size_t count) {
    judged.count += count;
    if (count > 0 && !judged.sink_stopped && !sink(bytes, count)) judged.sink_stopped = true;
    return !judged.sink_stopped;
  };
  size_t length = 0;
  if (record.stored_size == record.uncompressed_size) {
    while (left > 0) {
      if (!read_piece(0, length)) return {Verdict::kOutside, judged.count, judged.sink_stopped};
      if (!give(input, length)) return judged;
    }
    judged.verdict = Verdict::kSound;
    return judged;
  }
  // Room for the size and the slack, never more than the stream can give.
  const uint64_t limit =
      std::min<uint64_t>(static_cast<uint64_t>(std::max<int64_t>(
                             0, int64_t{record.uncompressed_size} + static_cast<int64_t>(slack))),
                         lzw::max_decoded_size(static_cast<uint64_t>(record.stored_size)));
  const size_t window = static_cast<size_t>(std::min<uint64_t>(limit + 1, kWindowSize));
  if (buffers.window_size < window) {
    buffers.window = common::allocate_bytes(window);
    buffers.window_size = buffers.window ? window : 0;
    if (!buffers.window) return {Verdict::kNoMemory, 0, false};
  }
  lzw::Decoder& decoder = *buffers.decoder;
  lzw::begin_decoding(decoder, buffers.window.get(), window, limit);
  if (!read_piece(0, length)) return judged;
  lzw::give_input(decoder, input, length, left == 0);
  lzw::DecodeResult result{0, lzw::DecodeStop::kStreamEnded};
  size_t given = 0;  // of the window
  for (;;) {
    const lzw::DecodeStatus status = lzw::decode_some(decoder, window, result);
    const size_t in_window = static_cast<size_t>(result.count - judged.count) + given;
    if (!give(buffers.window.get() + given, in_window - given)) return judged;
    given = in_window;
    if (status == lzw::DecodeStatus::kEnded) break;
    if (status == lzw::DecodeStatus::kFlushWindow || status == lzw::DecodeStatus::kPaused) {
      lzw::restart_window(decoder);
      given = 0;
    }
    if (status == lzw::DecodeStatus::kNeedInput) {
      const size_t used = lzw::input_used(decoder);
      std::memmove(input, input + used, length - used);
      if (!read_piece(length - used, length)) return {Verdict::kOutside, judged.count, false};
      lzw::give_input(decoder, input, length, left == 0);
    }
  }
  const auto size = static_cast<uint64_t>(std::max(0, record.uncompressed_size));
  judged.verdict = result.count > size || (record.uncompressed_size < 0 && result.count > 0)
                       ? Verdict::kMore
                   : result.count < size                  ? Verdict::kFewer
                   : result.stop != lzw::DecodeStop::kEnd ? Verdict::kNoEnd
                                                          : Verdict::kSound;
  return judged;
}

}  // namespace fst
