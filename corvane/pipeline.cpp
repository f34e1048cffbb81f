// The entry pipeline.
#include "pipeline.h"

#include <algorithm>
#include <system_error>

namespace corvane {
namespace {

// An encoder, made when a `c` entry first needs one.
lzw::Encoder* encoder_for(const ListEntry& entry, std::unique_ptr<lzw::Encoder>& encoder) {
  if (entry.command != 'c') return nullptr;
  if (!encoder) encoder = lzw::new_encoder();
  return encoder.get();
}

}  // namespace

EntryPipeline::EntryPipeline(std::vector<const ListEntry*> staged, unsigned threads)
    : staged_(std::move(staged)), window_(8 * size_t{threads}), ready_(window_) {
  try {
    // No more workers than entries: a short list does not start a thousand threads.
    while (threads > 1 && workers_.size() < std::min(size_t{threads}, staged_.size()))
      workers_.emplace_back(&EntryPipeline::work, this);
  } catch (const std::system_error&) {
    // Fewer workers than asked for (none: each entry is prepared when it is taken).
  }
}

EntryPipeline::~EntryPipeline() {
  stop();
}

void EntryPipeline::work() {
  std::unique_ptr<lzw::Encoder> own;
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
    PreparedEntry prepared = prepare_entry(entry, encoder_for(entry, own),
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
    return prepare_entry(entry, encoder_for(entry, encoder_), static_cast<int64_t>(index),
                         staged_bytes);
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
