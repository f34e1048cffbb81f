// Deterministic generated inputs for the codec benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Prose-like text: words of a large made-up vocabulary in a Zipf-like mix, with punctuation
// and line breaks.
std::string text_input(size_t length, uint32_t seed);

// Executable-like bytes: frequent opcode and prefix bytes, small immediates, addresses that
// share their high bytes, zero padding and embedded strings.
std::string executable_input(size_t length, uint32_t seed);

// Uniformly random bytes: nothing to compress.
std::string random_input(size_t length, uint32_t seed);

// Long runs of a few byte values, like silence in a sound file.
std::string runs_input(size_t length, uint32_t seed);

// Many small text files of 1 to 8 KiB each, encoded one call per file.
std::vector<std::string> small_files(size_t total_length, uint32_t seed);

}  // namespace bench
