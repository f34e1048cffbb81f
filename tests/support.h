// Shared pieces of the tests: the built tools run as child processes in scratch folders, files,
// generated inputs, and the codec called through exactly-sized heap buffers.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include "lzw/code_stream.h"
#include "lzw/decoder.h"
#include "lzw/encoder.h"
#include "lzw/le32.h"
#include "stream_model.h"

#include <cstdint>
#include <filesystem>
#include <map>
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
  uint64_t address_space_limit = 0;  // bytes; 0 leaves the limit alone
  uint64_t file_size_limit = 0;      // bytes; 0 leaves the limit alone
  bool closed_stdio = false;         // start with standard input and output closed
  std::string input = "";            // fed to standard input through a pipe
  std::string output_to = "";        // a file standard output is appended to (a FIFO: no reader)
  int interrupt_after_ms = 0;        // sends SIGINT this long after the start
  bool interrupts_ignored = false;   // starts the program with SIGINT ignored
  bool errors_to_terminal = false;   // standard error is a pseudo-terminal
};

// The program to test: the one the environment variable `variable` names (a wrapper that runs
// another build of it, say), or else `built`.
inline std::string tool_path(const char* variable, const char* built) {
  const char* chosen = std::getenv(variable);
  return chosen && *chosen ? chosen : built;
}

// True when the tools under test are Windows builds run through wine (TOOLS_UNDER_WINE set).
inline bool tools_under_wine() {
  return std::getenv("TOOLS_UNDER_WINE");
}

// Whether a table row holds for the tools under test, by its `windows` field: "" holds for
// every build; "skip: why" not for the Windows build under wine, which cannot show it;
// "only: why" for that build alone, whose outcome rightly differs.
inline bool row_holds(const std::string& windows) {
  return !windows.starts_with(tools_under_wine() ? "skip: " : "only: ");
}
// Rows the Windows build under wine cannot show: wine 8 takes a Linux symbolic link for the file
// it names (Windows' own links it would refuse), its fclose returns success when writing out
// the last buffered bytes fails (fflush reports it), and it cannot start under a limit of the
// address space below about 2 GiB.
inline const std::string kWineFollowsLinks = "skip: wine sees a Linux link as the file it names";
inline const std::string kWineNeedsAddressSpace = "skip: wine needs about 2 GiB to start";

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}
inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
// Words the shell takes as they are, each after a space.
inline std::string shell_words(const std::vector<std::string>& words) {
  std::string quoted;
  for (const std::string& word : words) {
    quoted += " '";
    for (const char ch : word) ch == '\'' ? quoted += "'\\''" : quoted += ch;
    quoted += "'";
  }
  return quoted;
}

// True when this build runs under a sanitizer, which cannot work under an address space limit.
constexpr bool kSanitized =
#if defined(CORVANE_SANITIZED)
    true;
#else
    false;
#endif

// Runs `program` with `args` through the shell as `options` say, and waits for it, at most 30
// seconds (5 minutes under a sanitizer; as long again after the interruption, when one is
// sent): a run that hangs is killed and ends with status 128 + 9, which fails its row well
// within ctest's limit for the whole test. A sanitizer report ends with a status no message
// of the tools uses, and a failed allocation is reported as such instead of aborting.
inline ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                        const ToolOptions& options = {}) {
  const ScratchDir io;
  const std::string in = shell_words({io / "in"}), out = shell_words({io / "out"}),
                    err = shell_words({io / "err"}), code = shell_words({io / "status"});
  write_file(io / "out", "");
  write_file(io / "in", options.input);
  std::string run = "prlimit";
  if (options.address_space_limit != 0)
    run += " --as=" + std::to_string(options.address_space_limit);
  if (options.file_size_limit != 0) run += " --fsize=" + std::to_string(options.file_size_limit);
  run += shell_words({program}) + shell_words(args);
  // Standard input and output are pipes, as in a shell pipeline (wine cannot tell which file
  // an output it inherits is). A FIFO is opened with a reader that goes before the run starts.
  const std::string to = shell_words({options.output_to});
  run = options.closed_stdio        ? run + " <&- >&-"
        : options.output_to.empty() ? "cat" + in + " | " + run
                                    : "cat" + in + " | " + run + " 4<>" + to + " >>" + to + " 4<&-";
  if (!options.errors_to_terminal) run += " 2>" + err;
  run = "{ " + run + "; echo $? >" + code + "; } | cat >" + out;
  if (options.interrupts_ignored) run = "trap '' INT; " + run;
  if (!options.cwd.empty()) run = "cd" + shell_words({options.cwd}) + " && " + run;
  // Standard error as a terminal: script gives the program one and copies what it shows.
  if (options.errors_to_terminal) run = "script -qfec" + shell_words({run}) + " /dev/null >" + err;
  const std::string limit_seconds = kSanitized ? "300" : "30";
  const std::string limit = options.interrupt_after_ms == 0
                                ? "-s KILL " + limit_seconds
                                : "-k " + limit_seconds + " -s INT " +
                                      std::to_string(options.interrupt_after_ms / 1000.0);
  const int status = std::system(("export ASAN_OPTIONS=allocator_may_return_null=1:exitcode=86 "
                                  "UBSAN_OPTIONS=halt_on_error=1:exitcode=87 "
                                  "TSAN_OPTIONS=halt_on_error=1:exitcode=88; "
                                  "exec timeout --preserve-status " +
                                  limit + " sh -c" + shell_words({run}))
                                     .c_str());
  // The program's status as the shell saw it, unless the shell was ended first.
  const std::string said = read_file(io / "status");
  return {read_file(io / "out"),
          said.ends_with("\n") ? std::stoi(said)
          : WIFEXITED(status)  ? WEXITSTATUS(status)
                               : 128 + WTERMSIG(status),
          read_file(io / "err")};
}

// The programs under test, and each run in `dir` with `args` split at spaces (see words).
#ifdef CORVANE_PATH
inline std::string corvane_tool() {
  return tool_path("CORVANE_TOOL", CORVANE_PATH);
}
inline std::string pellux_tool() {
  return tool_path("PELLUX_TOOL", PELLUX_PATH);
}
#endif
// The words of a command line: `args` split at spaces.
inline std::vector<std::string> words(const std::string& args) {
  std::vector<std::string> split;
  for (size_t at = 0; at < args.size();) {
    const size_t end = std::min(args.find(' ', at), args.size());
    split.push_back(args.substr(at, end - at));
    at = end + 1;
  }
  return split;
}

#ifdef CORVANE_PATH
inline ToolRun corvane(const std::filesystem::path& dir, const std::string& args,
                       ToolOptions options = {}) {
  options.cwd = dir;
  return run_tool(corvane_tool(), words(args), options);
}
inline ToolRun pellux(const std::filesystem::path& dir, const std::string& args,
                      ToolOptions options = {}) {
  options.cwd = dir;
  return run_tool(pellux_tool(), words(args), options);
}
#endif

// What a folder holds: each path in it and what is there: a file's bytes (a file over 4 MiB as
// "<N bytes>"), "<folder>", "<fifo>", or "<link>" and the link's target. To make one, "<hard>"
// and a name gives a second name of that file, and "<zeros>N:" and bytes a file of those bytes
// followed by zeros (that take no disk) up to N.
using Paths = std::map<std::string, std::string>;

// Paths written flat, each path followed by what is there: {"a.bin", "bytes", "sub", "<folder>"}.
struct Folder {
  Paths paths;

  Folder() = default;
  Folder(std::initializer_list<std::string> flat) {
    for (auto at = flat.begin(); at != flat.end(); at += 2) paths[at[0]] = at[1];
  }
  // This folder with what is at `name` changed to `state`.
  Folder but(const std::string& name, const std::string& state) const {
    Folder changed = *this;
    changed.paths[name] = state;
    return changed;
  }
};

// One command-line case: in a folder holding the common files and `given`, the program run
// with `args` (split at spaces) prints `says` after its banner (nothing with standard output
// closed or redirected), ends with `status`, and changes the folder as `leaves` says ("<gone>"
// for a path removed) and nothing else; a folder that holds something need not be named. Made by a
// helper named after its status, then `leaving`, `under` and `on_windows` for what a row adds.
struct CliCase {
  std::string what;
  Folder given;
  std::string args;
  std::string says;
  int status;
  Folder leaves = {};
  ToolOptions options = {};
  std::string windows = "";  // see row_holds

  CliCase leaving(const Folder& changed) const { return with(&CliCase::leaves, changed); }
  CliCase under(const ToolOptions& chosen) const { return with(&CliCase::options, chosen); }
  CliCase on_windows(const std::string& how) const { return with(&CliCase::windows, how); }
  template <typename T>
  CliCase with(T CliCase::*field, const T& value) const {
    CliCase c = *this;
    c.*field = value;
    return c;
  }
};
// Rows named after their status: 0 done; 1 some of the work failed; 2 nothing could be done;
// 64 a wrong command line.
template <int kStatus>
CliCase ends_with(std::string what, Folder given, std::string args, std::string says) {
  return {what, given, args, says, kStatus};
}
inline constexpr auto ok = &ends_with<0>, fails = &ends_with<1>, gives_up = &ends_with<2>,
                      misused = &ends_with<64>;

// Makes `name` in `dir` as `what` says, and describes everything in `dir`, as run_cli_cases.
inline void make(const std::filesystem::path& dir, const std::string& name,
                 const std::string& what) {
  const std::filesystem::path path = dir / name;
  std::filesystem::create_directories(path.parent_path());
  if (what == "<folder>") {
    std::filesystem::create_directories(path);
  } else if (what == "<fifo>") {
    mkfifo(path.c_str(), 0666);
  } else if (what.starts_with("<link>")) {
    std::filesystem::create_symlink(what.substr(6), path);
  } else if (what.starts_with("<hard>")) {
    std::filesystem::create_hard_link(dir / what.substr(6), path);
  } else if (what.starts_with("<zeros>")) {
    const size_t colon = what.find(':');
    write_file(path, what.substr(colon + 1));
    std::filesystem::resize_file(path, std::stoull(what.substr(7, colon - 7)));
  } else {
    write_file(path, what);
  }
}
inline Paths describe(const std::filesystem::path& dir) {
  Paths seen;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const auto size = entry.is_regular_file() ? entry.file_size() : 0;
    seen[entry.path().lexically_relative(dir).generic_string()] =
        entry.is_symlink()
            ? std::string("<link>").append(std::filesystem::read_symlink(entry.path()))
        : entry.is_directory() ? "<folder>"
        : entry.is_fifo()      ? "<fifo>"
        : size > (4u << 20)    ? std::string("<").append(std::to_string(size)).append(" bytes>")
                               : read_file(entry.path());
  }
  return seen;
}

inline std::string le32_bytes(uint32_t value) {
  uint8_t bytes[4];
  lzw::put_le32(bytes, value);
  return std::string(reinterpret_cast<const char*>(bytes), 4);
}
inline uint32_t read_le32(const std::string& bytes) {
  return lzw::get_le32(reinterpret_cast<const uint8_t*>(bytes.data()));
}  // the first four bytes
// An FST/DPK table written word by word: `count` need not match the records given, so that a
// table can claim more or fewer records than it holds. Names are cut or padded to 250 bytes.
struct FstRecord {
  int32_t offset;
  int32_t stored_size;
  int32_t uncompressed_size;
  std::string name;
};
inline std::string fst_table(uint32_t count, const std::vector<FstRecord>& records) {
  std::string out = le32_bytes(count);
  for (const FstRecord& r : records) {
    out += le32_bytes(static_cast<uint32_t>(r.offset)) +
           le32_bytes(static_cast<uint32_t>(r.stored_size)) +
           le32_bytes(static_cast<uint32_t>(r.uncompressed_size));
    std::string name = r.name.substr(0, 250);
    name.resize(250, '\0');
    out += name;
  }
  return out;
}
// printf into a string (a %c of NUL included).
std::string line(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string line(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, std::min(static_cast<size_t>(length), sizeof buffer - 1));
}
// A message the tests expect: called with its fields, the text printf makes of it, every
// integer given as a long long (the table writes each integer field with ll), every
// std::string as its characters; without fields, its text as it stands.
struct Say {
  const char* text;

  template <typename... Fields>
  std::string operator()(const Fields&... fields) const {
    if constexpr (sizeof...(Fields) == 0) {
      return text;
    } else {
      return line(text, field(fields)...);
    }
  }
  operator std::string() const { return text; }

 private:
  static const char* field(const std::string& value) { return value.c_str(); }
  static const char* field(const char* value) { return value; }
  template <typename Integer>
  static long long field(Integer value) {
    return static_cast<long long>(value);
  }
};
inline std::string operator+(const Say& a, const std::string& b) {
  return a.text + b;
}
inline std::string operator+(const std::string& a, const Say& b) {
  return a + b.text;
}

// Deterministic pseudo-random bytes.
inline std::string random_bytes(size_t count, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(engine() & 0xFF);
  return bytes;
}
// Text-like bytes: words from a small vocabulary with spaces, punctuation and line breaks.
inline std::string text_like(size_t length, uint32_t seed) {
  static const char* const kWords[] = {"the ",  "archive ", "of ",    "entries ", "and ",
                                       "a ",    "stream ",  "code ",  "to ",      "file ",
                                       "list ", "is ",      "data, ", "offset.\n"};
  std::mt19937 engine(seed);
  std::string text;
  while (text.size() < length) text += kWords[engine() % std::size(kWords)];
  text.resize(length);
  return text;
}

// Encodes from a heap copy of exactly the input's size into a heap buffer of exactly the
// worst-case bound, so that the sanitizers see a read past the input or a write past the bound.
inline std::string encode(const std::string& input) {
  static const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  const size_t bound = lzw::max_stream_size(input.size());
  const auto in = std::make_unique<uint8_t[]>(input.size());
  std::copy(input.begin(), input.end(), in.get());
  const auto out = std::make_unique<uint8_t[]>(bound);
  const size_t written = lzw::compress_buffer(*encoder, out.get(), bound, in.get(), input.size());
  EXPECT_LE(written, bound);
  return std::string(reinterpret_cast<const char*>(out.get()), std::min(written, bound));
}

// Decodes into exactly `capacity` bytes in four ways, which must agree: in one call; one code
// at a time; and in constant memory, given one byte of stream at a time (so that a piece ends
// after every code) into a window of one segment's output, pausing every 100 bytes, or given
// 4099 bytes at a time into a window of 8 KiB.
inline Decoded decode(const std::string& stream, size_t capacity) {
  bool agree = true, window_agrees = true;
  const size_t segment = std::min(capacity, lzw::kMaxSegmentOutput + 4096);
  decode_three_ways(stream, capacity, 8192, 4099, 1 << 20, window_agrees);
  const Decoded steps =
      decode_three_ways(stream, capacity, std::max<size_t>(segment, 1), 1, 100, agree);
  EXPECT_TRUE(agree && window_agrees);
  return steps;
}

// The folder without the folders that hold something: what they hold shows them.
inline Paths without_parents(Paths folder) {
  std::erase_if(folder, [&folder](const auto& entry) {
    const auto next = folder.upper_bound(entry.first + "/");
    return entry.second == "<folder>" && next != folder.end() &&
           next->first.starts_with(entry.first + "/");
  });
  return folder;
}

// Runs each case with `program` in a fresh scratch folder. Cases with an address-space limit
// are left out under the sanitizers, whose runtime needs more.
inline void run_cli_cases(const std::string& program, const std::string& banner,
                          const Folder& common, const std::vector<CliCase>& cases) {
  for (const CliCase& c : cases) {
    if (!row_holds(c.windows) || (kSanitized && c.options.address_space_limit != 0)) {
      continue;
    }
    ScratchDir dir;
    for (const auto& [name, what] : common.paths) make(dir.path(), name, what);
    for (const auto& [name, what] : c.given.paths) make(dir.path(), name, what);
    Paths expected = describe(dir.path());
    for (const auto& [name, state] : c.leaves.paths) {
      expected.erase(name);
      if (state != "<gone>") expected[name] = state;
    }
    ToolOptions options = c.options;
    options.cwd = dir.path();
    const ToolRun run = run_tool(program, words(c.args), options);
    const bool shown = !c.options.closed_stdio && c.options.output_to.empty();
    EXPECT_EQ(run.output, shown ? banner + c.says : "") << c.what;
    EXPECT_EQ(run.status, c.status) << c.what << run.errors;
    EXPECT_EQ(without_parents(describe(dir.path())), without_parents(expected)) << c.what;
  }
}

}  // namespace testing_support
