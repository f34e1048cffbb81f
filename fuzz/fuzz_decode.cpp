// Fuzz target: arbitrary bytes decoded into a destination of exactly its capacity, in one call,
// and in constant memory (the stream in pieces, the output through a window), which must come
// out exactly as the decoder's one-code-at-a-time steps have them. The first two bytes choose
// the capacity, the third the pieces' size and whether the window is small, the rest is the
// stream.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lzw/decoder.h"
#include "stream_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t capacity = data[0] | (size_t{data[1]} << 8), piece = 1 + size_t{data[2]} % 128 * 8;
  const size_t window = (data[2] & 0x80) != 0 ? lzw::kStringStackSize : capacity + 1;
  bool agree = false;
  testing_support::decode_three_ways(std::string(reinterpret_cast<const char*>(data + 3), size - 3),
                                     capacity, window, piece, piece * 3, agree);
  if (!agree) std::abort();
  return 0;
}
