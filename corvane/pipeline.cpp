// The entry pipeline.
#include "pipeline.h"

#include <system_error>

namespace corvane {

EntryPipeline::EntryPipeline(std::vector<const ListEntry*> staged, unsigned threads)
    : staged_(std::move(staged)),
      encoders_(threads),
      window_(2 * size_t{threads}),
      ready_(window_) {
  try {
    for (size_t w = 0; threads > 1 && w < threads; ++w) {
      workers_.emplace_back(&EntryPipeline::work, this, w);
    }
  } catch (const std::system_error&) {
    // Fewer workers than asked for (none: each entry is prepared when it is taken).
  }
}

EntryPipeline::~EntryPipeline() {
  stop();
}

lzw::Encoder* EntryPipeline::encoder(size_t worker) {
  if (!encoders_[worker]) encoders_[worker] = lzw::new_encoder();
  return encoders_[worker].get();
}

void EntryPipeline::work(size_t worker) {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] {
        return stopping_ || claimed_ == staged_.size() || claimed_ < taken_ + window_;
      });
      if (stopping_ || claimed_ == staged_.size()) return;
      index = claimed_++;
    }
    const ListEntry& entry = *staged_[index];
    PreparedEntry prepared = prepare_entry(entry, entry.command == 'c' ? encoder(worker) : nullptr,
                                           static_cast<int64_t>(index), staged_bytes_.load());
    {
      std::lock_guard lock(mutex_);
      ready_[index % window_] = std::move(prepared);
    }
    changed_.notify_all();
  }
}

PreparedEntry EntryPipeline::take(int64_t staged_bytes) {
  const size_t index = taken_;
  if (workers_.empty()) {
    ++taken_;
    const ListEntry& entry = *staged_[index];
    return prepare_entry(entry, entry.command == 'c' ? encoder(0) : nullptr,
                         static_cast<int64_t>(index), staged_bytes);
  }
  staged_bytes_.store(staged_bytes);
  std::unique_lock lock(mutex_);
  std::optional<PreparedEntry>& slot = ready_[index % window_];
  changed_.wait(lock, [&slot] { return slot.has_value(); });
  PreparedEntry prepared = std::move(*slot);
  slot.reset();
  ++taken_;
  lock.unlock();
  changed_.notify_all();
  return prepared;
}

void EntryPipeline::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

}  // namespace corvane
