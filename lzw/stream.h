// Decoding a whole stream in constant memory: its bytes come from a reader a piece at a time,
// and what they decode to goes to a sink a piece at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "decoder.h"

namespace lzw {

// Fills up to `count` bytes at `bytes` with the stream's next bytes; returns how many, fewer
// only when the stream's bytes cannot be had (a short read).
using Reader = std::function<size_t(uint8_t* bytes, size_t count)>;
// Takes the next `count` decoded bytes; returns false to stop.
using Sink = std::function<bool(const uint8_t* bytes, size_t count)>;

// The memory decode_stream works in, reused from stream to stream: one set for each thread.
struct StreamBuffers {
  std::unique_ptr<Decoder> decoder;
  std::unique_ptr<uint8_t[]> input;   // a piece of stream, after what the decoder left of the last
  std::unique_ptr<uint8_t[]> window;  // what the stream decodes to, a window at a time
  size_t window_size = 0;
};

// A stream is read this much at a time.
constexpr size_t kInputPiece = size_t{1} << 20;
// The window a long stream decodes into: one segment's output at the most, and room to hand
// out more than that at a time.
constexpr size_t kWindowSize = kMaxSegmentOutput + (size_t{1} << 20);

struct StreamResult {
  DecodeResult result;  // what decompress_buffer with a capacity of `limit` gives
  bool read_short;      // the reader gave fewer bytes than asked
  bool sink_stopped;    // the sink returned false
  bool no_memory;       // the buffers could not be had
};

// Decodes the `stream_length` bytes the reader gives, handing at most `limit` bytes of output to
// the sink, in order. Memory: a window of min(limit + 1, kWindowSize) and a piece of input,
// whatever the stream's length.
StreamResult decode_stream(StreamBuffers& buffers, uint64_t stream_length, uint64_t limit,
                           const Reader& read, const Sink& sink);

}  // namespace lzw
