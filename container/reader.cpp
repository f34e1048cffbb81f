// Reading a container back: one pass for its size and checksum, then its header.
#include "reader.h"

#include <algorithm>
#include <new>

#include "common/buffer.h"
#include "common/files.h"
#include "layout.h"
#include "lzw/le32.h"

namespace container {
namespace {

constexpr size_t kPiece = size_t{256} << 10;

bool read_at(std::FILE* file, uint64_t offset, uint8_t* bytes, size_t count) {
  return common::seek_to(file, static_cast<int64_t>(offset)) &&
         (count == 0 || std::fread(bytes, 1, count, file) == count);
}

}  // namespace

ReadError read_container(std::FILE* file, ContainerInfo& info) {
  uint8_t head[8] = {};
  std::vector<uint8_t> words;
  try {
    const common::Bytes piece = common::allocate_bytes(kPiece);
    if (!piece) return ReadError::kNoMemory;
    for (size_t got; (got = std::fread(piece.get(), 1, kPiece, file)) > 0;) {
      for (size_t i = 0; i < got; ++i) {
        const uint64_t at = info.file_size + i;
        if (at < 8) head[at] = piece[i];
        if (at >= 4) info.byte_sum += piece[i];
      }
      info.file_size += got;
    }
    if (std::ferror(file)) return ReadError::kReadError;
    if (info.file_size < 8) {
      info.problems.push_back({ProblemKind::kNoHeader, kWholeContainer});
      return ReadError::kNone;
    }
    info.checksum_word = lzw::get_le32(head);
    info.data_offset = lzw::get_le32(head + 4);
    if (info.checksum_word != info.byte_sum)
      info.problems.push_back({ProblemKind::kChecksum, kWholeContainer});
    const uint32_t d = info.data_offset;
    if (d < 8 || d % 4 != 0 || d > info.file_size) {
      info.problems.push_back({ProblemKind::kBadDataOffset, kWholeContainer});
      return ReadError::kNone;
    }
    words.resize(d - 8);
    info.entries.resize(words.size() / 4);
  } catch (const std::bad_alloc&) {
    return ReadError::kNoMemory;
  }
  if (!read_at(file, 8, words.data(), words.size())) return ReadError::kReadError;

  const size_t count = info.entries.size();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t word = lzw::get_le32(words.data() + 4 * i);
    ContainerEntry& entry = info.entries[i];
    entry.offset = word & (kCompressedFlag - 1);
    entry.compressed = (word & kCompressedFlag) != 0;
    if (word >> 31 != 0) info.problems.push_back({ProblemKind::kBit31, i});
    if (entry.offset < info.data_offset || entry.offset > info.file_size) {
      info.problems.push_back({ProblemKind::kOutsideDataArea, i});
    } else if (i > 0 && entry.offset < info.entries[i - 1].offset) {
      info.problems.push_back({ProblemKind::kOutOfOrder, i});
    }
  }
  for (size_t i = 0; i < count; ++i) {
    ContainerEntry& entry = info.entries[i];
    const uint64_t end = i + 1 < count ? info.entries[i + 1].offset : info.file_size;
    entry.length = end > entry.offset && entry.offset <= info.file_size
                       ? std::min(end, info.file_size) - entry.offset
                       : 0;
    uint8_t length_word[4];
    if (!entry.compressed) continue;
    if (entry.length < 4) {
      info.problems.push_back({ProblemKind::kNoLengthWord, i});
    } else if (!read_at(file, entry.offset, length_word, 4)) {
      return ReadError::kReadError;
    } else {
      entry.original_length = lzw::get_le32(length_word);
    }
  }
  return ReadError::kNone;
}

Judged judge_entry(std::FILE* file, const ContainerEntry& entry, lzw::StreamBuffers& buffers,
                   const lzw::Sink& sink) {
  Judged judged{ReadError::kReadError, Verdict::kSound, 0, false};
  if (entry.compressed && entry.length < 4) return judged;
  // Read at the entry's offset, so that several threads may read one container at once.
  int64_t at = entry.offset;
  const auto read = [file, &at](uint8_t* bytes, size_t count) {
    const size_t got = common::read_at(file, at, bytes, count);
    at += static_cast<int64_t>(got);
    return got;
  };
  const auto give = [&](const uint8_t* bytes, size_t count) {
    judged.count += count;
    return sink(bytes, count);
  };
  if (!buffers.input) buffers.input.reset(new (std::nothrow) uint8_t[lzw::kInputPiece + 8]);
  if (!buffers.input) return {ReadError::kNoMemory, Verdict::kSound, 0, false};
  if (!entry.compressed) {
    for (uint64_t left = entry.length; left > 0;) {
      const auto want = static_cast<size_t>(std::min<uint64_t>(left, lzw::kInputPiece));
      if (read(buffers.input.get(), want) != want) return judged;
      left -= want;
      if (!give(buffers.input.get(), want)) return {ReadError::kNone, Verdict::kSound, 0, true};
    }
    judged.error = ReadError::kNone;
    return judged;
  }
  uint8_t word[4];
  if (read(word, 4) != 4) return judged;
  const uint32_t original = lzw::get_le32(word);
  const uint64_t stream_length = entry.length - 4;
  const uint64_t limit =
      std::min<uint64_t>(uint64_t{original} + 1, lzw::max_decoded_size(stream_length));
  const lzw::StreamResult decoded = lzw::decode_stream(buffers, stream_length, limit, read, give);
  if (decoded.no_memory) return {ReadError::kNoMemory, Verdict::kSound, 0, false};
  if (decoded.read_short) return judged;
  judged.error = ReadError::kNone;
  judged.sink_stopped = decoded.sink_stopped;
  const uint64_t count = decoded.result.count;
  judged.verdict = count > original                               ? Verdict::kMore
                   : count < original                             ? Verdict::kFewer
                   : decoded.result.stop != lzw::DecodeStop::kEnd ? Verdict::kNoEnd
                                                                  : Verdict::kSound;
  return judged;
}

}  // namespace container
