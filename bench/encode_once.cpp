// One process, one draw of the encoder's hash keys: times compress_buffer on a file, for
// bench/slow_cases, which runs it many times to see how the time varies from draw to draw.
//
//   encode_once FILE [N]        prints the CPU time of the fastest of N encodes of FILE
//                               (default 3), in microseconds, and the stream's length
//   encode_once --make KIND MIB FILE
//                               writes a generated input: zero-one (random 0x00/0x01 bytes),
//                               zero-ff (random 0x00/0xFF bytes), sparse (a mostly-zero
//                               executable-like image) or text
//
// The encodes share the process's keys; keeping the fastest drops interruptions, not the effect
// of the draw. CPU time of the thread leaves out time spent waiting for a core.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "inputs.h"
#include "lzw/code_stream.h"
#include "lzw/encoder.h"

namespace {

std::string two_values(size_t length, char a, char b, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string out(length, a);
  for (char& byte : out) {
    if (engine() & 1) byte = b;
  }
  return out;
}

// Zero-filled sections with flag bytes here and there (a few values, about one byte in five),
// among stretches of code: three bytes in four are zero, as in padded or sparse images.
std::string sparse_image(size_t length, uint32_t seed) {
  std::mt19937 engine(seed);
  const std::string code = bench::executable_input(length, seed + 1);
  static const char kFlags[] = {'\x01', '\x01', '\x01', '\xFF', '\xFF', '\x80', '\x10'};
  std::string out;
  out.reserve(length + 4096);
  while (out.size() < length) {
    const size_t block = 256u << (engine() % 5);
    if (engine() % 8 == 0) {
      out += code.substr(out.size() % (code.size() - block), block);
    } else {
      std::string zeros(block, '\0');
      for (char& byte : zeros) {
        if (engine() % 5 == 0) byte = kFlags[engine() % sizeof kFlags];
      }
      out += zeros;
    }
  }
  out.resize(length);
  return out;
}

double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int make(const char* kind, const char* mib, const char* path) {
  const size_t length = static_cast<size_t>(std::atof(mib) * 1048576);
  std::string input;
  if (std::strcmp(kind, "zero-one") == 0) {
    input = two_values(length, '\x00', '\x01', 11);
  } else if (std::strcmp(kind, "zero-ff") == 0) {
    input = two_values(length, '\x00', '\xFF', 12);
  } else if (std::strcmp(kind, "sparse") == 0) {
    input = sparse_image(length, 13);
  } else if (std::strcmp(kind, "text") == 0) {
    input = bench::text_input(length, 14);
  } else {
    std::fprintf(stderr, "unknown input kind %s\n", kind);
    return 2;
  }
  std::ofstream out(path, std::ios::binary);
  out.write(input.data(), static_cast<std::streamsize>(input.size()));
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--make") == 0) return make(argv[2], argv[3], argv[4]);
  const int encodes = argc == 3 ? std::atoi(argv[2]) : 3;
  if (argc < 2 || argc > 3 || encodes < 1) {
    std::fprintf(stderr, "usage: encode_once FILE [N] | encode_once --make KIND MIB FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // One encoder: one draw of the keys, as in a run of corvane.
  const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  std::vector<uint8_t> out(static_cast<size_t>(lzw::max_stream_size(input.size())));
  double best = 1e30;
  size_t written = 0;
  for (int i = 0; i < encodes; ++i) {
    const double start = thread_seconds();
    written = lzw::compress_buffer(*encoder, out.data(), out.size(),
                                   reinterpret_cast<const uint8_t*>(input.data()), input.size());
    best = std::min(best, thread_seconds() - start);
  }
  std::printf("%.0f %lld\n", best * 1e6, static_cast<long long>(written));
  return 0;
}
