// Shared pieces of the command-line tests: running the built tools in a scratch folder and
// looking at what they left there.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace testing_support {

// Runs a tool with the scratch folder as its working folder.
ToolRun run_in(const std::string& program, const ScratchDir& dir,
               const std::vector<std::string>& args, ToolOptions options = {});

// Runs with the fault shim preloaded, making fopen(path, mode) fail inside the tool.
ToolRun run_with_failing_fopen(const std::string& program, const ScratchDir& dir,
                               const std::vector<std::string>& args, const std::string& path,
                               const std::string& mode);

// Every entry of the folder with its size (-1 for anything but a regular file).
std::map<std::string, int64_t> folder_listing(const std::filesystem::path& dir);

// Free space where the scratch folders live, for tests that need real disk.
uint64_t scratch_free_bytes();

std::string le32_bytes(uint32_t value);

}  // namespace testing_support
