// FST/DPK archive writer.
#include "fst_writer.h"

#include <memory>
#include <new>

#include "lzw/code_stream.h"
#include "lzw/le32.h"
#include "lzw/encoder.h"

namespace tools {
namespace {

constexpr size_t kNameField = 250;
constexpr size_t kRecordBytes = 12 + kNameField;

void append_word(std::string& out, uint32_t value) {
  uint8_t bytes[4];
  lzw::put_le32(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), 4);
}

}  // namespace

std::string encode_stream(const std::string& input) {
  const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  if (!encoder) throw std::bad_alloc();
  std::string stream(static_cast<size_t>(lzw::max_stream_size(input.size())), '\0');
  stream.resize(lzw::compress_buffer(*encoder, reinterpret_cast<uint8_t*>(stream.data()),
                                     reinterpret_cast<const uint8_t*>(input.data()), input.size()));
  return stream;
}

std::string fst_table(uint32_t count, const std::vector<FstRecord>& records) {
  std::string out;
  append_word(out, count);
  for (const FstRecord& r : records) {
    append_word(out, static_cast<uint32_t>(r.offset));
    append_word(out, static_cast<uint32_t>(r.stored_size));
    append_word(out, static_cast<uint32_t>(r.uncompressed_size));
    std::string name = r.name.substr(0, kNameField);
    name.resize(kNameField, '\0');
    out += name;
  }
  return out;
}

std::string make_fst(const std::vector<FstEntry>& entries) {
  std::vector<FstRecord> records;
  std::string data;
  size_t offset = 4 + kRecordBytes * entries.size();
  for (const FstEntry& entry : entries) {
    std::string stored = entry.data;
    if (entry.compressed) {
      std::string stream = encode_stream(entry.data);
      if (stream.size() != entry.data.size()) stored = std::move(stream);
    }
    records.push_back({static_cast<int32_t>(offset), static_cast<int32_t>(stored.size()),
                       static_cast<int32_t>(entry.data.size()), entry.name});
    offset += stored.size();
    data += stored;
  }
  return fst_table(static_cast<uint32_t>(entries.size()), records) + data;
}

}  // namespace tools
