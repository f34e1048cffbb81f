// Deterministic generated inputs for the codec benchmarks.
#include "inputs.h"

#include <cmath>
#include <random>

namespace bench {
namespace {

// Picks an index in [0, n) with probability falling off like 1 / (rank + 1).
size_t zipf(std::mt19937& engine, size_t n) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  const double u = uniform(engine);
  return static_cast<size_t>(std::pow(static_cast<double>(n), u)) - 1;
}

std::vector<std::string> make_vocabulary(std::mt19937& engine, size_t count) {
  static const char* const kSyllables[] = {"an", "ar", "be", "con",  "de", "en", "er",  "ing",
                                           "in", "is", "le", "ma",   "ne", "or", "pro", "re",
                                           "st", "te", "th", "tion", "to", "un", "ve",  "wa"};
  std::vector<std::string> words;
  for (size_t i = 0; i < count; ++i) {
    std::string word;
    const size_t syllables = 1 + engine() % 3;
    for (size_t s = 0; s < syllables; ++s) word += kSyllables[engine() % std::size(kSyllables)];
    words.push_back(word);
  }
  return words;
}

}  // namespace

std::string text_input(size_t length, uint32_t seed) {
  std::mt19937 engine(seed);
  const std::vector<std::string> words = make_vocabulary(engine, 5000);
  std::string text;
  text.reserve(length + 64);
  size_t line = 0;
  while (text.size() < length) {
    std::string word = words[zipf(engine, words.size())];
    if (engine() % 12 == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    text += word;
    line += word.size() + 1;
    const auto r = engine() % 20;
    if (r == 0) {
      text += ". ";
    } else if (r == 1) {
      text += ", ";
    } else if (line > 72) {
      text += '\n';
      line = 0;
    } else {
      text += ' ';
    }
  }
  text.resize(length);
  return text;
}

std::string executable_input(size_t length, uint32_t seed) {
  std::mt19937 engine(seed);
  static const uint8_t kOpcodes[] = {0x48, 0x89, 0x8B, 0xE8, 0x0F, 0x85, 0x84, 0x74, 0x75,
                                     0xC3, 0x83, 0xC7, 0x31, 0xFF, 0x41, 0x4C, 0x8D, 0x39,
                                     0x44, 0xEB, 0x5D, 0x55, 0x53, 0x5B, 0xC0, 0x45, 0x24};
  std::string out;
  out.reserve(length + 64);
  while (out.size() < length) {
    const auto r = engine() % 100;
    if (r < 70) {
      out += static_cast<char>(kOpcodes[zipf(engine, std::size(kOpcodes))]);
      out += static_cast<char>(kOpcodes[zipf(engine, std::size(kOpcodes))]);
      out += static_cast<char>(engine() % 16 < 10 ? engine() % 64 : engine() % 256);
    } else if (r < 85) {
      const uint32_t address = 0x401000 + static_cast<uint32_t>(zipf(engine, 65536)) * 8;
      for (int i = 0; i < 4; ++i) out += static_cast<char>(address >> (8 * i));
    } else if (r < 93) {
      out.append(4 + engine() % 28, '\0');
    } else {
      static const char* const kStrings[] = {"malloc",      "free",  "memcpy", "__libc_start_main",
                                             "GLIBC_2.2.5", ".text", ".data",  "printf"};
      out += kStrings[engine() % std::size(kStrings)];
      out += '\0';
    }
  }
  out.resize(length);
  return out;
}

std::string random_input(size_t length, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string out(length, '\0');
  for (char& byte : out) byte = static_cast<char>(engine());
  return out;
}

std::string runs_input(size_t length, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string out;
  out.reserve(length);
  while (out.size() < length) {
    out.append(1000 + engine() % 100000, static_cast<char>(0x80 + engine() % 3));
  }
  out.resize(length);
  return out;
}

std::vector<std::string> small_files(size_t total_length, uint32_t seed) {
  std::mt19937 engine(seed);
  std::vector<std::string> files;
  size_t total = 0;
  while (total < total_length) {
    const size_t length = 1024 + engine() % (7 * 1024);
    files.push_back(text_input(length, static_cast<uint32_t>(engine())));
    total += length;
  }
  return files;
}

}  // namespace bench
