// Decoding whole streams in constant memory.
#include "stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lzw {

StreamResult decode_stream(StreamBuffers& buffers, uint64_t stream_length, uint64_t limit,
                           const Reader& read, const Sink& sink) {
  StreamResult out{{0, DecodeStop::kStreamEnded}, false, false, false};
  const size_t window = static_cast<size_t>(std::min<uint64_t>(limit + 1, kWindowSize));
  if (!buffers.decoder) buffers.decoder = new_decoder();
  if (!buffers.input) buffers.input.reset(new (std::nothrow) uint8_t[kInputPiece + 8]);
  if (buffers.window_size < window) {
    buffers.window.reset(new (std::nothrow) uint8_t[window]);
    buffers.window_size = buffers.window ? window : 0;
  }
  if (!buffers.decoder || !buffers.input || !buffers.window) {
    out.no_memory = true;
    return out;
  }
  Decoder& decoder = *buffers.decoder;
  uint8_t* const input = buffers.input.get();
  uint64_t left = stream_length;
  size_t length = 0;
  // The next piece of stream, after the `kept` bytes the decoder has not used yet.
  const auto next_piece = [&](size_t kept) {
    const auto want = static_cast<size_t>(std::min<uint64_t>(left, kInputPiece));
    const size_t got = want == 0 ? 0 : read(input + kept, want);
    left -= got;
    length = kept + got;
    out.read_short = got != want;
    give_input(decoder, input, length, left == 0 || out.read_short);
  };
  begin_decoding(decoder, buffers.window.get(), window, limit);
  next_piece(0);
  size_t handed = 0;  // of the window
  for (;;) {
    const DecodeStatus status = decode_some(decoder, window, out.result);
    const size_t in_window = decoder.state.count;
    if (in_window > handed && !sink(buffers.window.get() + handed, in_window - handed)) {
      out.sink_stopped = true;
      return out;
    }
    handed = in_window;
    if (status == DecodeStatus::kEnded) return out;
    if (status != DecodeStatus::kNeedInput) {
      restart_window(decoder);
      handed = 0;
      continue;
    }
    if (out.read_short) return out;
    const size_t used = input_used(decoder);
    std::memmove(input, input + used, length - used);
    next_piece(length - used);
  }
}

}  // namespace lzw
