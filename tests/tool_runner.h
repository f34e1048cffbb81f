// Runs a built program as a child process in a scratch folder and captures what it prints.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

struct ToolRun {
  std::string output;  // standard output, byte for byte
  int status;          // exit status, or 128 + signal number when the program was killed
};

struct ToolOptions {
  std::filesystem::path cwd;
  uint64_t address_space_limit = 0;      // bytes; 0 leaves the limit alone
  std::vector<std::string> environment;  // extra NAME=value entries
};

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                 const ToolOptions& options);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);
// A file of `size` zero bytes that takes no disk space.
void make_sparse_file(const std::filesystem::path& path, uint64_t size);
// Deterministic pseudo-random bytes.
std::string random_bytes(size_t count, uint32_t seed);

// True when this build runs under AddressSanitizer, which cannot work under an address space
// limit.
constexpr bool kSanitized =
#if defined(CORVANE_SANITIZED)
    true;
#else
    false;
#endif

}  // namespace testing_support
