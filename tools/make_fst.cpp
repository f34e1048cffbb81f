// make_fst: writes an FST/DPK archive from files, for the bundled example and by hand.
//   make_fst <archive to create> (c|u) <file> [(c|u) <file> ...]
// Each file is stored under its path exactly as given; `c` stores it as a code stream.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fst_writer.h"

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::printf("Usage: make_fst <archive to create> (c|u) <file> [(c|u) <file> ...]\n");
    return 2;
  }
  std::vector<tools::FstEntry> entries;
  for (int i = 2; i < argc; i += 2) {
    const std::string mode = argv[i];
    if (mode != "c" && mode != "u") {
      std::printf("make_fst: '%s' is neither c nor u\n", mode.c_str());
      return 2;
    }
    std::ifstream in(argv[i + 1], std::ios::binary);
    if (!in) {
      std::printf("make_fst: can't read %s\n", argv[i + 1]);
      return 1;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    entries.push_back({argv[i + 1], std::move(data), mode == "c"});
  }
  const std::string archive = tools::make_fst(entries);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
  out.close();
  if (!out) {
    std::printf("make_fst: can't write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
