// Child-process runner and scratch files for the command-line tests.
#include "tool_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testing_support {

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                 const ToolOptions& options) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    if (options.address_space_limit != 0) {
      const rlimit limit{options.address_space_limit, options.address_space_limit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    // Sanitized programs must report a failed allocation as such instead of aborting, and a
    // sanitizer report must end with a status no message of the tools uses.
    setenv("ASAN_OPTIONS", "allocator_may_return_null=1:exitcode=86", 1);
    setenv("UBSAN_OPTIONS", "halt_on_error=1:exitcode=87", 1);
    for (const std::string& entry : options.environment) putenv(const_cast<char*>(entry.c_str()));
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  ToolRun run{"", 0};
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    run.output.append(buffer, static_cast<size_t>(got));
  }
  close(pipe_fds[0]);
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
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void make_sparse_file(const std::filesystem::path& path, uint64_t size) {
  write_file(path, "");
  std::filesystem::resize_file(path, size);
}

std::string random_bytes(size_t count, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(engine() & 0xFF);
  return bytes;
}

}  // namespace testing_support
