// Listed entries prepared ahead, on worker threads, for the run that stages them in list order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "entry.h"
#include "file_list.h"
#include "lzw/encoder.h"

namespace corvane {

// Hands out the prepared entries one by one in list order. With one thread, each entry is
// prepared when it is taken, as a sequential build does. With more, workers prepare entries
// ahead, at most eight times as many as there are workers beyond the one being staged, so that
// memory is bounded by those entries whatever the list's length; each worker has its own
// encoder. What a run can observe does not depend on the thread count.
class EntryPipeline {
 public:
  // `staged` are the list's `c` and `u` entries in list order; they must outlive the pipeline.
  EntryPipeline(std::vector<const ListEntry*> staged, unsigned threads);
  ~EntryPipeline();
  EntryPipeline(const EntryPipeline&) = delete;
  EntryPipeline& operator=(const EntryPipeline&) = delete;

  // The next entry, prepared; `staged_bytes` is what the staging file holds before it.
  PreparedEntry take(int64_t staged_bytes);

  // Drops the work done ahead and waits for the workers to end.
  void stop();

 private:
  void work();

  std::vector<const ListEntry*> staged_;
  std::unique_ptr<lzw::Encoder> encoder_;  // when the run prepares entries itself
  size_t window_;  // entries prepared ahead of the one being staged, at most
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<PreparedEntry>> ready_;  // by entry number modulo the window
  size_t claimed_ = 0;                               // entries handed to a worker
  size_t taken_ = 0;                                 // entries handed to the run
  bool stopping_ = false;
  std::atomic<int64_t> staged_bytes_{0};
  std::vector<std::thread> workers_;
};

}  // namespace corvane
