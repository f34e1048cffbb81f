// Reading listed files.
#include "listed_file.h"

#include <algorithm>
#include <cstring>

namespace common {
namespace {

// Growth once a file holds more than its reported length.
constexpr size_t kMinGrowth = size_t{64} << 10;

// Moves the bytes read so far into a buffer of `capacity` bytes.
bool grow(ListedFile& file, size_t capacity) {
  Bytes bigger = allocate_bytes(capacity);
  if (!bigger) return false;
  if (file.length > 0) std::memcpy(bigger.get(), file.bytes.get(), file.length);
  file.bytes = std::move(bigger);
  return true;
}

}  // namespace

ListedError open_listed_file(const Run& run, const char* path, ListedFile& file) {
  file.stream.reset(open_input(path));
  if (!file.stream) return ListedError::kCannotOpen;
  // The open file is compared, not the path: a link made to an output after any earlier look
  // at the path changes nothing.
  if (!identify(file.stream.get(), file.id)) return ListedError::kNotReadable;
  if (run.is_output(file.id)) return ListedError::kIsOutput;
  file.reported_length = regular_file_size(file.stream.get());
  if (file.reported_length < 0) return ListedError::kNotReadable;
  if (file.reported_length >= kListedFileLimit) return ListedError::kTooLarge;
  return ListedError::kNone;
}

ListedError read_listed_file(ListedFile& file) {
  // One byte more than reported, so that reading to the end needs no second buffer when the
  // report was right.
  size_t capacity = static_cast<size_t>(file.reported_length) + 1;
  file.length = 0;
  if (!grow(file, capacity)) return ListedError::kNoMemory;
  for (;;) {
    file.length +=
        std::fread(file.bytes.get() + file.length, 1, capacity - file.length, file.stream.get());
    if (file.length < capacity) break;
    if (capacity >= static_cast<size_t>(kListedFileLimit)) return ListedError::kTooLarge;
    capacity = std::min(std::max(2 * capacity, kMinGrowth), static_cast<size_t>(kListedFileLimit));
    if (!grow(file, capacity)) return ListedError::kNoMemory;
  }
  const bool failed = std::ferror(file.stream.get()) != 0;
  close_listed_file(file);
  return failed ? ListedError::kNotReadable : ListedError::kNone;
}

void close_listed_file(ListedFile& file) {
  file.stream.reset();
}

}  // namespace common
