// Writing a whole new file, the same on every platform: the platform's part is
// create_new_file.
#include "files.h"

#include <cstdio>

namespace common {

NewFile write_new_file(const char* path, bool overwrite, const uint8_t* bytes, size_t count) {
  std::FILE* out = create_new_file(path, overwrite);
  if (out == nullptr) return NewFile::kCannotCreate;
  // Flushed before closing: some C runtimes' fclose does not report its own last write failing.
  const bool written =
      (count == 0 || std::fwrite(bytes, 1, count, out) == count) && std::fflush(out) == 0;
  return std::fclose(out) == 0 && written ? NewFile::kWritten : NewFile::kWriteFailed;
}

}  // namespace common
