// FST/DPK table of contents: a count word, then 262-byte records (offset, stored size,
// uncompressed size, 250-byte name). Lookup compares base names, ignoring ASCII case.
#include "toc.h"

#include <new>

#include "common/le32.h"
#include "common/support.h"

namespace pellux {
namespace {

using common::fail;

constexpr size_t kPartLimit = 255;  // name and extension parts are each cut to this length

[[noreturn]] void fail_short_table() {
  fail(1, "Error %s\n", "reading FST table of contents");
}

// Reads one word of a record; a short read means the table is not all there.
int32_t read_word(std::FILE* archive) {
  uint8_t bytes[4];
  if (std::fread(bytes, 1, sizeof bytes, archive) != sizeof bytes) fail_short_table();
  return static_cast<int32_t>(common::get_le32(bytes));
}

// ASCII letters only: the lookup must not depend on the locale.
char fold_case(char ch) {
  return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool equal_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold_case(a[i]) != fold_case(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view record_name(const TocRecord& record) {
  const std::string_view field(record.name, kNameFieldSize);
  return field.substr(0, field.find('\0'));
}

std::string base_name(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);
  const size_t separator = path.find_last_of("\\/");
  if (separator != std::string_view::npos) path.remove_prefix(separator + 1);
  const size_t dot = path.rfind('.');
  const std::string_view name_part = path.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? "" : path.substr(dot);
  std::string base(name_part.substr(0, kPartLimit));
  base += extension.substr(0, kPartLimit);
  return base;
}

Toc read_toc(std::FILE* archive) {
  // The count comes as four single bytes whose reads are not checked: an archive shorter than
  // four bytes leaves the missing high bytes 0, so an empty file holds no records.
  uint32_t raw_count = 0;
  for (uint32_t shift = 0; shift < 32; shift += 8) {
    const int byte = std::getc(archive);
    if (byte == EOF) break;
    raw_count |= static_cast<uint32_t>(byte) << shift;
  }
  const auto count = static_cast<int32_t>(raw_count);
  if (count < 0 || count > int64_t{UINT32_MAX} / kRecordSize) {
    fail(1, "Error -- Can't allocate memory for table of contents\n");
  }
  // A table longer than the archive cannot be there: say so before allocating room for it.
  const int64_t archive_length = common::stream_length(archive);
  if (count > 0 && archive_length >= 0 && 4 + kRecordSize * count > archive_length) {
    fail_short_table();
  }

  Toc toc{std::unique_ptr<TocRecord[]>(new (std::nothrow) TocRecord[static_cast<size_t>(count)]),
          count};
  if (!toc.records) fail(1, "Error -- Can't allocate memory for table of contents\n");
  for (int32_t i = 0; i < count; ++i) {
    TocRecord& record = toc.records[static_cast<size_t>(i)];
    record.offset = read_word(archive);
    record.stored_size = read_word(archive);
    record.uncompressed_size = read_word(archive);
    if (std::fread(record.name, 1, kNameFieldSize, archive) != kNameFieldSize) fail_short_table();
  }
  return toc;
}

int32_t find_record(const Toc& toc, std::string_view requested) {
  const std::string wanted = base_name(requested);
  for (int32_t i = 0; i < toc.count; ++i) {
    if (equal_folded(wanted, base_name(record_name(toc.records[static_cast<size_t>(i)])))) {
      return i;
    }
  }
  return -1;
}

}  // namespace pellux
