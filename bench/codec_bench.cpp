// Throughput of the encoder and the decoder on generated inputs of each kind, in bytes of
// uncompressed data per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "inputs.h"
#include "lzw/code_stream.h"
#include "lzw/decoder.h"
#include "lzw/encoder.h"

namespace {

constexpr size_t kLength = 8 << 20;

enum Kind { kText, kExecutable, kRandom, kRuns, kSmallFiles, kFiles };

std::vector<std::string> files_from_environment();

const std::vector<std::string>& inputs_of(Kind kind) {
  static std::vector<std::string> cache[6];
  std::vector<std::string>& inputs = cache[kind];
  if (inputs.empty()) {
    switch (kind) {
      case kText:
        inputs = {bench::text_input(kLength, 1)};
        break;
      case kExecutable:
        inputs = {bench::executable_input(kLength, 2)};
        break;
      case kRandom:
        inputs = {bench::random_input(kLength, 3)};
        break;
      case kRuns:
        inputs = {bench::runs_input(kLength, 4)};
        break;
      case kSmallFiles:
        inputs = bench::small_files(kLength, 5);
        break;
      case kFiles:
        inputs = files_from_environment();
        break;
    }
  }
  return inputs;
}

struct Encoded {
  std::string stream;
  int64_t original_length;
};

// The project's codecs, one object each for the whole run.
lzw::Encoder& the_encoder() {
  static const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  return *encoder;
}
lzw::Decoder& the_decoder() {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  return *decoder;
}

Encoded encode(const std::string& input) {
  std::string stream(static_cast<size_t>(lzw::max_stream_size(input.size())), '\0');
  stream.resize(lzw::compress_buffer(the_encoder(), reinterpret_cast<uint8_t*>(stream.data()),
                                     stream.size(), reinterpret_cast<const uint8_t*>(input.data()),
                                     input.size()));
  return {stream, static_cast<int64_t>(input.size())};
}

int64_t run_encoder(uint8_t* out, const uint8_t* in, int64_t length) {
  return static_cast<int64_t>(
      lzw::compress_buffer(the_encoder(), out, lzw::max_stream_size(static_cast<uint64_t>(length)),
                           in, static_cast<size_t>(length)));
}

int64_t run_decoder(uint8_t* out, int64_t capacity, const uint8_t* in, int64_t length) {
  return static_cast<int64_t>(lzw::decompress_buffer(the_decoder(), out,
                                                     static_cast<size_t>(capacity), in,
                                                     static_cast<size_t>(length))
                                  .count);
}

void BM_Encode(benchmark::State& state, Kind kind) {
  const std::vector<std::string>& inputs = inputs_of(kind);
  if (inputs.empty()) {
    state.SkipWithError("no files named in CODEC_BENCH_FILES");
    return;
  }
  size_t largest = 0, total = 0, stream_total = 0;
  for (const std::string& input : inputs) {
    largest = std::max(largest, input.size());
    total += input.size();
  }
  std::vector<uint8_t> out(static_cast<size_t>(lzw::max_stream_size(largest) + 1));
  for (auto _ : state) {
    stream_total = 0;
    for (const std::string& input : inputs) {
      stream_total += static_cast<size_t>(
          run_encoder(out.data(), reinterpret_cast<const uint8_t*>(input.data()),
                      static_cast<int64_t>(input.size())));
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(total));
  state.counters["ratio"] = static_cast<double>(stream_total) / static_cast<double>(total);
}

void BM_Decode(benchmark::State& state, Kind kind) {
  if (inputs_of(kind).empty()) {
    state.SkipWithError("no files named in CODEC_BENCH_FILES");
    return;
  }
  std::vector<Encoded> streams;
  size_t largest = 0, total = 0;
  for (const std::string& input : inputs_of(kind)) {
    streams.push_back(encode(input));
    largest = std::max(largest, input.size());
    total += input.size();
  }
  std::vector<uint8_t> out(largest + 16);
  for (auto _ : state) {
    for (const Encoded& e : streams) {
      const int64_t written = run_decoder(out.data(), e.original_length + 16,
                                          reinterpret_cast<const uint8_t*>(e.stream.data()),
                                          static_cast<int64_t>(e.stream.size()));
      if (written != e.original_length) state.SkipWithError("decoded to the wrong length");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(total));
}

// Real files named in CODEC_BENCH_FILES (colon-separated) are measured too.
std::vector<std::string> files_from_environment() {
  std::vector<std::string> contents;
  const char* list = std::getenv("CODEC_BENCH_FILES");
  if (list == nullptr) return contents;
  std::string names = list;
  size_t start = 0;
  while (start <= names.size()) {
    const size_t colon = std::min(names.find(':', start), names.size());
    const std::string name = names.substr(start, colon - start);
    if (!name.empty()) {
      std::ifstream in(name, std::ios::binary);
      contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    start = colon + 1;
  }
  return contents;
}

BENCHMARK_CAPTURE(BM_Encode, text, kText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, executable, kExecutable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, random, kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, runs, kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, small_files, kSmallFiles)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, files, kFiles)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, text, kText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, executable, kExecutable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, random, kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, runs, kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, small_files, kSmallFiles)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, files, kFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
