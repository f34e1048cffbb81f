// Listed entries prepared ahead, on worker threads, for the run that stages them in list order.
#pragma once

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

// Bytes that entries prepared ahead of the one being staged may hold in all: files being read
// and encoded, and finished entries waiting. The entry being staged may take more.
constexpr int64_t kAheadBudget = int64_t{64} << 20;

// Hands out the prepared entries one by one in list order. With one thread, each entry is
// prepared when it is taken, as a sequential build does. With more, workers prepare entries
// ahead, at most eight times as many as there are workers and within kAheadBudget bytes, so
// that memory is bounded whatever the list's length; each worker has its own encoder.
//
// Entries are opened in list order, so that every entry before the one being opened has a known
// largest size: a worker reads an entry only if it fits the container even when every entry
// before it takes its largest size. Any other entry is handed over opened but unread, and the
// run judges it against what is really staged before reading it, as a sequential build does.
// What a run can observe does not depend on the thread count.
class EntryPipeline {
 public:
  // `staged` are the list's `c` and `u` entries in list order; they must outlive the pipeline.
  EntryPipeline(std::vector<const ListEntry*> staged, unsigned threads, const Outputs& outputs);
  ~EntryPipeline();
  EntryPipeline(const EntryPipeline&) = delete;
  EntryPipeline& operator=(const EntryPipeline&) = delete;

  // The next entry, prepared; `staged_bytes` is what the staging file holds before it.
  PreparedEntry take(int64_t staged_bytes);

  // Drops the work done ahead and waits for the workers to end.
  void stop();

 private:
  void work();
  // Reads the entry if it can fit after `staged_bytes` as the entry numbered `index`.
  void read_if_fits(PreparedEntry& entry, int64_t staged_bytes, size_t index);

  std::vector<const ListEntry*> staged_;
  Outputs outputs_;
  std::unique_ptr<lzw::Encoder> encoder_;  // for the entries the run reads itself
  size_t window_;  // entries prepared ahead of the one being staged, at most
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<PreparedEntry>> ready_;  // by entry number modulo the window
  std::vector<int64_t> largest_;  // each opened entry's largest size in the staging file
  std::vector<int64_t> held_by_;  // bytes each entry prepared ahead holds
  size_t claimed_ = 0;            // entries handed to a worker
  size_t taken_ = 0;              // entries handed to the run
  size_t staged_index_ = 0;       // the entry that staged_bytes_ stands before
  int64_t staged_bytes_ = 0;
  int64_t held_ = 0;  // bytes held by entries prepared ahead
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace corvane
