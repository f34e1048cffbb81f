// Child processes, scratch files, generated inputs and exactly-sized codec calls.
#include "support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
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

namespace testing_support {

std::string tool_path(const char* variable, const char* built) {
  const char* chosen = std::getenv(variable);
  return chosen != nullptr && *chosen != '\0' ? chosen : built;
}

bool tools_under_wine() {
  const char* flag = std::getenv("TOOLS_UNDER_WINE");
  return flag != nullptr && std::string(flag) == "1";
}

bool row_holds(const std::string& what, const std::string& windows) {
  const bool skip = windows.starts_with("skip: "), only = windows.starts_with("only: ");
  if (!windows.empty() && !skip && !only) throw std::invalid_argument("windows: " + windows);
  if (skip && tools_under_wine())
    std::printf("  row skipped under wine: %s (%s)\n", what.c_str(), windows.c_str() + 6);
  return skip ? !tools_under_wine() : only ? tools_under_wine() : true;
}

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                 const ToolOptions& options) {
  int out[2], err[2], in[2];
  if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) throw std::runtime_error("pipe failed");
  // Standard error as a terminal: the pseudo-terminal's two ends stand in for the pipe's.
  if (options.errors_to_terminal) {
    close(err[0]);
    close(err[1]);
    if (openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (options.closed_stdio) close(STDIN_FILENO), close(STDOUT_FILENO);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    std::signal(SIGINT, options.interrupts_ignored ? SIG_IGN : SIG_DFL);
    if (!options.output_to.empty()) {
      const int fd = open(options.output_to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(126);
      close(fd);
    }
    const std::pair<int, uint64_t> limits[] = {{RLIMIT_AS, options.address_space_limit},
                                               {RLIMIT_FSIZE, options.file_size_limit}};
    for (const auto& [resource, value] : limits) {
      const rlimit limit{value, value};
      if (value != 0 && setrlimit(resource, &limit) != 0) _exit(126);
    }
    // A sanitizer report must end with a status no message of the tools uses, and a failed
    // allocation must be reported as such instead of aborting.
    setenv("ASAN_OPTIONS", "allocator_may_return_null=1:exitcode=86", 1);
    setenv("UBSAN_OPTIONS", "halt_on_error=1:exitcode=87", 1);
    setenv("TSAN_OPTIONS", "halt_on_error=1:exitcode=88", 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // A tool that stops reading early must not end the test with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  const std::string input = options.input.value_or("");
  for (size_t done = 0; done < input.size();) {
    const ssize_t wrote = write(in[1], input.data() + done, input.size() - done);
    if (wrote <= 0) break;
    done += static_cast<size_t>(wrote);
  }
  close(in[1]);
  ToolRun run{"", 0};
  const auto start = std::chrono::steady_clock::now();
  const auto since = [&start] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
  bool interrupted = options.interrupt_after_ms == 0;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  for (int open_pipes = 2; open_pipes > 0;) {
    if (!interrupted && since() >= options.interrupt_after_ms) interrupted = kill(pid, SIGINT) >= 0;
    if (since() > 60000) kill(pid, SIGKILL);
    if (poll(fds, 2, 10) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) (i == 0 ? run.output : run.errors).append(buffer, static_cast<size_t>(got));
      if (got <= 0) {
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return run;
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void make(const std::filesystem::path& dir, const std::string& name, const std::string& what) {
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

std::map<std::string, std::string> describe(const std::filesystem::path& dir) {
  std::map<std::string, std::string> seen;
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

void run_cli_cases(const std::string& program, const std::string& banner,
                   const std::map<std::string, std::string>& common,
                   const std::vector<CliCase>& cases) {
  for (const CliCase& c : cases) {
    if (!row_holds(c.what, c.windows) || (kSanitized && c.options.address_space_limit != 0)) {
      continue;
    }
    ScratchDir dir;
    for (const auto& [name, what] : common) make(dir.path(), name, what);
    for (const auto& [name, what] : c.files) make(dir.path(), name, what);
    std::map<std::string, std::string> expected = describe(dir.path());
    for (const auto& [name, state] : c.after) {
      if (state == "<gone>") expected.erase(name);
      if (state != "<gone>") expected[name] = state;
    }
    ToolOptions options = c.options;
    options.cwd = dir.path();
    const ToolRun run = run_tool(program, c.args, options);
    const bool shown = !c.options.closed_stdio && c.options.output_to.empty();
    EXPECT_EQ(run.output, shown ? banner + c.output : "") << c.what;
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(describe(dir.path()), expected) << c.what;
  }
}

std::string line(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string le32_bytes(uint32_t value) {
  uint8_t bytes[4];
  lzw::put_le32(bytes, value);
  return std::string(reinterpret_cast<const char*>(bytes), 4);
}

std::string fst_table(uint32_t count, const std::vector<FstRecord>& records) {
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

std::string random_bytes(size_t count, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(engine() & 0xFF);
  return bytes;
}

std::string text_like(size_t length, uint32_t seed) {
  static const char* const kWords[] = {"the ",  "archive ", "of ",    "entries ", "and ",
                                       "a ",    "stream ",  "code ",  "to ",      "file ",
                                       "list ", "is ",      "data, ", "offset.\n"};
  std::mt19937 engine(seed);
  std::string text;
  while (text.size() < length) text += kWords[engine() % std::size(kWords)];
  text.resize(length);
  return text;
}

std::string encode(const std::string& input) {
  static const std::unique_ptr<lzw::Encoder> encoder = lzw::new_encoder();
  const size_t bound = lzw::max_stream_size(input.size());
  const auto in = std::make_unique<uint8_t[]>(input.size());
  std::copy(input.begin(), input.end(), in.get());
  const auto out = std::make_unique<uint8_t[]>(bound);
  std::fill_n(out.get(), bound, uint8_t{0xA5});
  const size_t written = lzw::compress_buffer(*encoder, out.get(), bound, in.get(), input.size());
  EXPECT_LE(written, bound);
  EXPECT_EQ(std::count(out.get() + std::min(written, bound), out.get() + bound, 0xA5),
            static_cast<std::ptrdiff_t>(bound - std::min(written, bound)))
      << "written past the stream";
  const std::string stream(reinterpret_cast<const char*>(out.get()), written);
  // The same in pieces of 5,000 bytes and more, with what a piece leaves carried to the next.
  std::string pieces, piece;
  lzw::begin_encoding(*encoder);
  for (size_t given = 0; given < input.size() || pieces.empty();) {
    const size_t more = std::min<size_t>(5000, input.size() - given);
    piece.append(input, given, more);
    given += more;
    std::string bytes(lzw::max_stream_size(piece.size()) + 8, '\0');
    const lzw::EncodeStep step = lzw::encode_some(
        *encoder, reinterpret_cast<const uint8_t*>(piece.data()), piece.size(),
        given == input.size(), reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    pieces.append(bytes, 0, step.written);
    piece.erase(0, step.consumed);
  }
  EXPECT_EQ(pieces, stream) << "encoded in pieces";
  return stream;
}

Decoded decode(const std::string& stream, size_t capacity, DecodeWay way) {
  static const std::unique_ptr<lzw::Decoder> decoder = lzw::new_decoder();
  const auto in = std::make_unique<uint8_t[]>(stream.size());
  std::copy(stream.begin(), stream.end(), in.get());
  const std::unique_ptr<uint8_t[]> out(new uint8_t[capacity]);  // not cleared: it may be large
  lzw::DecodeResult result{0, lzw::DecodeStop::kStreamEnded};
  if (way == DecodeWay::kPieces || way == DecodeWay::kWindow) {
    int stop = 0;
    const bool pieces = way == DecodeWay::kPieces;
    const size_t window = pieces ? std::min(capacity, lzw::kMaxSegmentOutput + 4096) : 8192;
    const std::string bytes = decode_in_pieces(stream, capacity, std::max<size_t>(window, 1),
                                               pieces ? 97 : 4099, pieces ? 100 : 1 << 20, stop);
    EXPECT_LE(bytes.size(), capacity);
    return {bytes, stop};
  } else {
    result = way == DecodeWay::kSteps
                 ? lzw::decompress_by_steps(*decoder, out.get(), capacity, in.get(), stream.size())
                 : lzw::decompress_buffer(*decoder, out.get(), capacity, in.get(), stream.size());
  }
  EXPECT_LE(result.count, capacity);
  return {std::string(reinterpret_cast<const char*>(out.get()), result.count),
          static_cast<int>(result.stop)};
}

}  // namespace testing_support
