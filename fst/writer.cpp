// Writing FST/DPK archives.
#include "writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "lzw/code_stream.h"
#include "lzw/encoder.h"
#include "lzw/le32.h"

namespace fst {

NameError check_name(std::string_view name) {
  if (name.empty()) return NameError::kEmpty;
  if (name.size() >= kNameFieldSize) return NameError::kTooLong;
  return name.find('\0') != std::string_view::npos ? NameError::kHasNul : NameError::kNone;
}

TocRecord make_record(int64_t offset, int64_t stored_size, int64_t uncompressed_size,
                      std::string_view name) {
  TocRecord record{static_cast<int32_t>(offset),
                   static_cast<int32_t>(stored_size),
                   static_cast<int32_t>(uncompressed_size),
                   {}};
  std::memcpy(record.name, name.data(), std::min(name.size(), kNameFieldSize));
  return record;
}

std::vector<uint8_t> table_bytes(const std::vector<TocRecord>& records) {
  std::vector<uint8_t> table(4 + kRecordSize * records.size());
  lzw::put_le32(table.data(), static_cast<uint32_t>(records.size()));
  uint8_t* at = table.data() + 4;
  for (const TocRecord& record : records) {
    lzw::put_le32(at, static_cast<uint32_t>(record.offset));
    lzw::put_le32(at + 4, static_cast<uint32_t>(record.stored_size));
    lzw::put_le32(at + 8, static_cast<uint32_t>(record.uncompressed_size));
    std::memcpy(at + 12, record.name, kNameFieldSize);
    at += kRecordSize;
  }
  return table;
}

std::string archive_bytes(const std::vector<NewEntry>& entries) {
  const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  if (!encoder) throw std::bad_alloc();
  std::vector<TocRecord> records;
  std::string data;
  const int64_t start = 4 + kRecordSize * static_cast<int64_t>(entries.size());
  for (const NewEntry& entry : entries) {
    std::string stored = entry.data;
    if (entry.compress) {
      std::string stream(lzw::max_stream_size(entry.data.size()), '\0');
      stream.resize(lzw::compress_buffer(
          *encoder, reinterpret_cast<uint8_t*>(stream.data()), stream.size(),
          reinterpret_cast<const uint8_t*>(entry.data.data()), entry.data.size()));
      if (keeps_stream(entry.data.size(), stream.size())) stored = std::move(stream);
    }
    records.push_back(make_record(start + static_cast<int64_t>(data.size()),
                                  static_cast<int64_t>(stored.size()),
                                  static_cast<int64_t>(entry.data.size()), entry.name));
    data += stored;
  }
  const std::vector<uint8_t> table = table_bytes(records);
  return std::string(table.begin(), table.end()) + data;
}

}  // namespace fst
