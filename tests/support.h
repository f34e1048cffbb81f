// Shared pieces of the tests: the built tools run as child processes in scratch folders, files,
// generated inputs, and the codec called through exactly-sized heap buffers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct ToolRun {
  std::string output;       // standard output, byte for byte
  int status;               // exit status, or 128 + signal number when the program was killed
  std::string errors = "";  // standard error
};

struct ToolOptions {
  std::filesystem::path cwd = {};
  uint64_t address_space_limit = 0;       // bytes; 0 leaves the limit alone
  uint64_t file_size_limit = 0;           // bytes; 0 leaves the limit alone
  bool closed_stdio = false;              // start with standard input and output closed
  std::optional<std::string> input = {};  // fed to standard input through a pipe
  std::string output_to = "";             // a file that takes standard output instead
  int interrupt_after_ms = 0;             // sends SIGINT this long after the start
  bool interrupts_ignored = false;        // starts the program with SIGINT ignored
  bool errors_to_terminal = false;        // standard error is a pseudo-terminal
};

// The program to test: the one the environment variable `variable` names (a wrapper that runs
// another build of it, say), or else `built`.
std::string tool_path(const char* variable, const char* built);

// True when the tools under test are Windows builds run through wine (TOOLS_UNDER_WINE=1).
bool tools_under_wine();

// Whether the table row `what` holds for the tools under test, by its `windows` field: "" holds
// for every build; "skip: why" not for the Windows build under wine, which cannot show it;
// "only: why" for that build alone, whose outcome rightly differs. Prints why a row is skipped
// under wine.
bool row_holds(const std::string& what, const std::string& windows);
// Rows the Windows build under wine cannot show: wine 8 takes a Linux symbolic link for the file
// it names (Windows' own links it would refuse), its fclose returns success when writing out
// the last buffered bytes fails (fflush reports it), and it cannot start under a limit of the
// address space below about 2 GiB.
inline const std::string kWineFollowsLinks = "skip: wine sees a Linux link as the file it names";
inline const std::string kWineNeedsAddressSpace = "skip: wine needs about 2 GiB to start";

// Runs `program` with `args` and waits for it, at most a minute: a run that hangs is killed and
// ends with status 128 + 9.
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                 const ToolOptions& options = {});

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

// One command-line case. A folder is described by a map from each path in it to what is there:
// a file's bytes (a file over 4 MiB as "<N bytes>"), "<folder>", "<fifo>", or "<link>" and the
// link's target. To make one, "<hard>" and a name gives a second name of that file, and
// "<zeros>N:" and bytes a file of those bytes followed by zeros (that take no disk) up to N.
struct CliCase {
  std::string what;
  std::map<std::string, std::string> files;  // the folder before the run, beyond the common files
  std::vector<std::string> args;
  std::string output;  // what the run prints after the banner (nothing with standard output closed)
  int status;
  std::map<std::string, std::string> after = {};  // what the run changes; "<gone>" for removed
  ToolOptions options = {};
  std::string windows = "";  // see row_holds
};

// Runs each case with `program` in a fresh scratch folder made of `common` and its files, and
// checks what it prints, its status and the whole folder afterwards: what the case says it
// changes, and everything else as it was. Cases with an address-space limit are left out under
// the sanitizers, whose runtime needs more.
void run_cli_cases(const std::string& program, const std::string& banner,
                   const std::map<std::string, std::string>& common,
                   const std::vector<CliCase>& cases);

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);
// Makes `name` in `dir` as `what` says, and describes everything in `dir`, as run_cli_cases.
void make(const std::filesystem::path& dir, const std::string& name, const std::string& what);
std::map<std::string, std::string> describe(const std::filesystem::path& dir);

std::string le32_bytes(uint32_t value);
// An FST/DPK table written word by word: `count` need not match the records given, so that a
// table can claim more or fewer records than it holds. Names are cut or padded to 250 bytes.
struct FstRecord {
  int32_t offset;
  int32_t stored_size;
  int32_t uncompressed_size;
  std::string name;
};
std::string fst_table(uint32_t count, const std::vector<FstRecord>& records);
// printf into a string.
std::string line(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Deterministic pseudo-random bytes.
std::string random_bytes(size_t count, uint32_t seed);
// Text-like bytes: words from a small vocabulary with spaces, punctuation and line breaks.
std::string text_like(size_t length, uint32_t seed);

// Encodes from a heap copy of exactly the input's size into a heap buffer of exactly the
// worst-case bound, so that the sanitizers see a read past the input or a write past the
// bound; fails the test when anything past the stream was written.
std::string encode(const std::string& input);

struct Decoded {
  std::string bytes;
  int stop;  // the lzw::DecodeStop, as a number
};
enum class DecodeWay { kFast, kSteps, kPieces, kWindow };
// Decodes into a heap buffer of exactly `capacity` bytes: in one call, or one code at a time;
// or in constant memory: given 97 bytes of stream at a time into a window of one segment's
// output, pausing every 100 bytes, or given 4099 bytes at a time into a window of 8 KiB.
Decoded decode(const std::string& stream, size_t capacity, DecodeWay way = DecodeWay::kFast);

// True when this build runs under a sanitizer, which cannot work under an address space limit.
constexpr bool kSanitized =
#if defined(CORVANE_SANITIZED)
    true;
#else
    false;
#endif

}  // namespace testing_support
