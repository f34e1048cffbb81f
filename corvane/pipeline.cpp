// The entry pipeline.
#include "pipeline.h"

#include <algorithm>
#include <system_error>

namespace corvane {
namespace {

// An encoder, made when a `c` entry first needs one.
lzw::Encoder* encoder_for(const PreparedEntry& entry, std::unique_ptr<lzw::Encoder>& encoder) {
  if (!entry.compressed) return nullptr;
  if (!encoder) encoder = lzw::new_encoder();
  return encoder.get();
}

// The memory reading and encoding the entry takes: its file, and its code stream.
int64_t cost_of(const PreparedEntry& entry) {
  return entry.compressed ? entry.reported_length + largest_staged(entry) : entry.reported_length;
}

}  // namespace

EntryPipeline::EntryPipeline(std::vector<const ListEntry*> staged, unsigned threads,
                             const Outputs& outputs)
    : staged_(std::move(staged)),
      outputs_(outputs),
      window_(8 * size_t{threads}),
      ready_(window_),
      largest_(staged_.size()),
      held_by_(staged_.size()) {
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

void EntryPipeline::read_if_fits(PreparedEntry& entry, int64_t staged_bytes, size_t index) {
  if (entry.error == ListedError::kNone &&
      judge_entry(entry, staged_bytes, static_cast<int64_t>(index)) == Verdict::kStage) {
    read_entry(entry, encoder_for(entry, encoder_));
  }
}

void EntryPipeline::work() {
  std::unique_ptr<lzw::Encoder> own;
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stopping_ || claimed_ == staged_.size() || claimed_ < taken_ + window_;
    });
    if (stopping_ || claimed_ == staged_.size()) return;
    const size_t index = claimed_++;
    PreparedEntry entry = open_entry(*staged_[index], outputs_);
    largest_[index] = entry.error == ListedError::kNone ? largest_staged(entry) : 0;
    // What the staging file can hold before this entry at the most.
    int64_t before = staged_bytes_;
    for (size_t k = staged_index_; k < index; ++k) before += largest_[k];
    if (entry.error == ListedError::kNone &&
        judge_entry(entry, before, static_cast<int64_t>(index)) == Verdict::kStage) {
      const int64_t cost = cost_of(entry);
      // The entry the run waits for always goes ahead, so that the run never waits forever.
      changed_.wait(lock, [&] { return stopping_ || held_ + cost <= kAheadBudget || index == taken_; });
      if (stopping_) return;
      held_ += cost;
      lock.unlock();
      read_entry(entry, encoder_for(entry, own));
      lock.lock();
      held_by_[index] = static_cast<int64_t>(entry.length);
      held_ += held_by_[index] - cost;
    }
    ready_[index % window_] = std::move(entry);
    changed_.notify_all();
  }
}

PreparedEntry EntryPipeline::take(int64_t staged_bytes) {
  const size_t index = taken_;
  PreparedEntry entry;
  if (workers_.empty()) {
    ++taken_;
    entry = open_entry(*staged_[index], outputs_);
  } else {
    std::unique_lock lock(mutex_);
    staged_bytes_ = staged_bytes;
    staged_index_ = index;
    std::optional<PreparedEntry>& slot = ready_[index % window_];
    changed_.wait(lock, [&slot] { return slot.has_value(); });
    entry = std::move(*slot);
    slot.reset();
    held_ -= held_by_[index];
    ++taken_;
    lock.unlock();
    changed_.notify_all();
  }
  // Left unread ahead: judged against what is really staged, as a sequential build does.
  if (entry.step == EntryStep::kOpened) read_if_fits(entry, staged_bytes, index);
  return entry;
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
