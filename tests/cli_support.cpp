// Shared pieces of the command-line tests.
#include "cli_support.h"

#include "common/le32.h"

namespace testing_support {

ToolRun run_in(const std::string& program, const ScratchDir& dir,
               const std::vector<std::string>& args, ToolOptions options) {
  options.cwd = dir.path();
  return run_tool(program, args, options);
}

ToolRun run_with_failing_fopen(const std::string& program, const ScratchDir& dir,
                               const std::vector<std::string>& args, const std::string& path,
                               const std::string& mode) {
  ToolOptions options;
  options.environment = {std::string("LD_PRELOAD=") + FAULT_SHIM_PATH,
                         "FAULT_FOPEN=" + path + "|" + mode};
  return run_in(program, dir, args, options);
}

std::map<std::string, int64_t> folder_listing(const std::filesystem::path& dir) {
  std::map<std::string, int64_t> listing;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const bool regular = entry.is_regular_file() && !entry.is_symlink();
    listing[entry.path().filename().string()] =
        regular ? static_cast<int64_t>(entry.file_size()) : -1;
  }
  return listing;
}

uint64_t scratch_free_bytes() {
  return std::filesystem::space(std::filesystem::temp_directory_path()).available;
}

std::string le32_bytes(uint32_t value) {
  uint8_t bytes[4];
  common::put_le32(bytes, value);
  return std::string(reinterpret_cast<const char*>(bytes), 4);
}

}  // namespace testing_support
