// Fuzz target: a list of entries written as an archive in memory, then read back. The table must
// hold the entries in order, each with its whole name (the writer takes only names a reader
// sees whole) and stored unless compression was asked for, a compressed one exactly as the
// format's model encodes it; every entry must be sound and give back its data. A stream exactly
// as long as its data is stored, or it reads back wrong. Each entry of the input: a byte giving
// the name's length, then the data's length (up to 4,095) in a byte and the high half of the
// next, whose low bit asks for compression, then the name and the data; an entry whose name the
// writer refuses is left out.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fst/entry.h"
#include "fst/writer.h"
#include "stream_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace testing_support;
  static fst::EntryBuffers buffers;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<fst::NewEntry> entries;
  for (size_t at = 0; size - at > 3;) {
    const uint8_t* head = data + at;
    fst::NewEntry entry{input.substr(at + 3, head[0]), "", head[2] % 2 > 0};
    entry.data = input.substr(at + 3 + entry.name.size(), head[1] * 16u + head[2] / 16u);
    at += 3 + entry.name.size() + entry.data.size();
    if (fst::check_name(entry.name) == fst::NameError::kNone) entries.push_back(entry);
  }
  std::string bytes = fst::archive_bytes(entries);
  // Read as a pipe is (length unknown): a memory stream has no descriptor to read at.
  fst::Archive archive;
  archive.file = fmemopen(bytes.data(), bytes.size(), "rb");
  if (archive.file == nullptr) return 0;
  fst::read_toc(archive.file, archive.length, archive.toc);
  if (archive.toc.size() != entries.size()) __builtin_trap();
  size_t i = 0;
  for (const fst::TocRecord& record : archive.toc) {
    const fst::NewEntry& entry = entries[i++];
    std::string out;
    const auto sink = [&](const uint8_t* got, size_t count) {
      out.append(reinterpret_cast<const char*>(got), count);
      return true;
    };
    // Compressed exactly as the format's model has it, or stored: when not asked, or when the
    // stream would be as long as the data.
    const std::string model = pack_codes(model_codes(entry.data));
    const bool compressed = entry.compress && model.size() != entry.data.size();
    if (fst::judge_entry(archive, record, 1, buffers, sink).verdict != fst::Verdict::kSound ||
        out != entry.data || fst::record_name(record) != entry.name ||
        bytes.substr(static_cast<size_t>(record.offset), static_cast<size_t>(record.stored_size)) !=
            (compressed ? model : entry.data)) {
      __builtin_trap();
    }
  }
  std::fclose(archive.file);
  return 0;
}
