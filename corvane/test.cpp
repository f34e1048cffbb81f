// Testing a container: what -l checks, and every compressed entry decoded in memory.
#include <cstdio>
#include <vector>

#include "common/fail.h"
#include "common/ordered_work.h"
#include "modes.h"

namespace corvane {

int test_container(common::Run& run, const char* path, unsigned threads, int json) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  const size_t problems = load_container(run, path, file, info, json);
  std::vector<bool> flagged(info.entries.size());
  for (const Problem& problem : info.problems) {
    if (problem.entry < flagged.size()) flagged[problem.entry] = true;
  }
  // Compressed entries are decoded on every thread, and reported in list order.
  std::vector<lzw::StreamBuffers> buffers(threads + 1);
  using Task = std::pair<size_t, container::Judged>;
  common::WorkSteps<Task> steps{
      [](size_t i) {
        return Task{i, {container::ReadError::kNone, container::Verdict::kSound, 0, false}};
      },
      [](const Task&) { return int64_t{0}; }, [](const Task&, size_t, int64_t) { return true; },
      [](const Task&) { return static_cast<int64_t>(lzw::kWindowSize + lzw::kInputPiece); },
      [&](Task& task, unsigned worker) {
        const ContainerEntry& entry = info.entries[task.first];
        if (!entry.compressed || flagged[task.first]) return;
        task.second = container::judge_entry(file, entry, buffers[worker],
                                             [](const uint8_t*, size_t) { return true; });
      }};
  common::OrderedWork<Task> work(info.entries.size(), threads, 8 * size_t{threads},
                                 int64_t{64} << 20, std::move(steps));
  // With --json, one object per entry, the problems and a total go to standard output, and
  // nothing else.
  std::FILE* out = json >= 0 ? fdopen(json, "wb") : nullptr;
  const auto report = [out](const char* format, auto... values) {
    if (out == nullptr) std::printf(format, values...);
  };
  size_t damaged = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    bool worked = false;
    Task task = work.take(0, worked);
    if (!worked) work.work_here(task);
    const ContainerEntry& entry = info.entries[i];
    const container::Judged& decoded = task.second;
    if (decoded.error == container::ReadError::kReadError) {
      work.stop();
      common::fail(kNothingDone, "Error reading container '%s'\n", path);
    }
    const char* verdict = flagged[i] ? "problem" : "sound";
    ++damaged;
    if (decoded.error == container::ReadError::kNoMemory) {
      verdict = "no memory";
      report("Entry %zu: no memory to test it\n", i);
    } else {
      switch (decoded.verdict) {
        case container::Verdict::kSound:
          --damaged;
          break;
        case container::Verdict::kMore:
          verdict = "more";
          report("Entry %zu: decodes to more than %u bytes\n", i, entry.original_length);
          break;
        case container::Verdict::kFewer:
          verdict = "fewer";
          report("Entry %zu: decodes to %llu bytes, not %u\n", i,
                 static_cast<unsigned long long>(decoded.count), entry.original_length);
          break;
        case container::Verdict::kNoEnd:
          verdict = "no end";
          report("Entry %zu: its stream stops before its END\n", i);
          break;
      }
    }
    if (out != nullptr) {
      std::fprintf(out, "%s,\"verdict\":\"%s\"}\n", json_entry(i, entry).c_str(), verdict);
    }
  }
  const size_t count = info.entries.size();
  report("%zu %s tested, %zu damaged, %zu %s\n", count, count == 1 ? "entry" : "entries", damaged,
         problems, problems == 1 ? "problem" : "problems");
  const int status = problems == 0 && damaged == 0 ? 0 : kSomeFailed;
  if (out == nullptr) return printed(status);
  std::fprintf(out, "%s%s,\"damaged\":%zu,\"verdict\":\"%s\"}\n", json_problems(info).c_str(),
               json_total(info).c_str(), damaged, status == 0 ? "sound" : "damaged");
  return printed_to(out, status);
}

}  // namespace corvane
