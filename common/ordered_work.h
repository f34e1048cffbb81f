// Items worked on by several threads ahead of the one consumer that takes them in order.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace common {

// What the work on one kind of item consists of.
template <typename Item>
struct WorkSteps {
  // Makes item `index` ready to be worked on (opens its file, say). Called in index order, one
  // at a time, so that every item before it is known.
  std::function<Item(size_t index)> open;
  // The most the item can add to the consumer's position (the bytes it takes in an output).
  std::function<int64_t(const Item&)> largest;
  // Whether the item, opened, may be worked on ahead when the consumer's position before it is
  // at most `before`; an item that may not is handed over opened, for the consumer to judge.
  std::function<bool(const Item&, size_t index, int64_t before)> may_work_ahead;
  // The memory working on the item ahead holds until the consumer takes it.
  std::function<int64_t(const Item&)> cost;
  // Works on the item; `worker` tells the threads apart (0 is the consumer's own), so that each
  // can keep state of its own (an encoder).
  std::function<void(Item&, unsigned worker)> work;
};

// The most items opened ahead of the consumer: each may hold a file open.
constexpr size_t kMostOpenAhead = 256;

// Hands out items one by one in index order. With one thread the consumer works on each item
// when it takes it. With N, N - 1 workers work on items ahead, and so does the consumer while
// the item it waits for is not ready, at most `window` of them (and never more than
// kMostOpenAhead) and within `budget` bytes held, so that memory and open files are bounded
// whatever the count; the item the consumer waits for always goes ahead. What the
// consumer sees does not depend on the thread count. Work on an item that throws (no memory)
// throws from take() when the consumer comes to that item.
template <typename Item>
class OrderedWork {
 public:
  OrderedWork(size_t count, unsigned threads, size_t window, int64_t budget, WorkSteps<Item> steps)
      : count_(count),
        window_(std::clamp<size_t>(window, 1, kMostOpenAhead)),
        budget_(budget),
        steps_(std::move(steps)),
        ready_(window_),
        largest_(count),
        held_by_(count) {
    try {
      // No more threads than items: a short list does not start a thousand threads.
      for (unsigned w = 1; threads > 1 && w < std::min<size_t>(threads, count); ++w) {
        workers_.emplace_back(&OrderedWork::work_ahead, this, w);
      }
    } catch (const std::system_error&) {
      // Fewer workers than asked for (none: each item is worked on when it is taken).
    }
  }
  ~OrderedWork() { stop(); }
  OrderedWork(const OrderedWork&) = delete;
  OrderedWork& operator=(const OrderedWork&) = delete;

  // The next item; `position` is the consumer's position before it. `worked` says whether it
  // was worked on ahead; if not, the consumer judges it and calls work_here.
  Item take(int64_t position, bool& worked) {
    const size_t index = taken_;
    if (workers_.empty()) {
      ++taken_;
      worked = false;
      return steps_.open(index);
    }
    std::unique_lock lock(mutex_);
    position_ = position;
    position_index_ = index;
    std::optional<Slot>& slot = ready_[index % window_];
    // Instead of waiting, the consumer works on the next item no worker has claimed yet. One it
    // has no room for yet stays its own, opened, until there is room (there is once it is the
    // item the consumer waits for), so that every item that may be worked on ahead is, as with
    // workers alone.
    for (;;) {
      ready_changed_.wait(lock, [&] {
        return slot.has_value() || (own_ ? has_room(own_->index, own_->cost) : may_claim());
      });
      if (slot.has_value()) break;
      if (!own_) {
        own_ = claim(lock);
        if (!own_->may_work) {
          publish(own_->index, std::move(own_->item), false, own_->failure, 0);
          own_.reset();
        }
        continue;
      }
      Claimed mine = std::move(*own_);
      own_.reset();
      work_claimed(lock, mine, 0);
    }
    Slot taken = std::move(*slot);
    slot.reset();
    held_ -= held_by_[index];
    ++taken_;
    // One more item may be claimed; and a worker waiting for room may now have it, or hold the
    // item the consumer waits for next.
    const bool wake_all = waiting_for_room_ > 0;
    lock.unlock();
    if (wake_all) {
      claim_changed_.notify_all();
    } else {
      claim_changed_.notify_one();
    }
    if (taken.failure) std::rethrow_exception(taken.failure);
    worked = taken.worked;
    return std::move(taken.item);
  }

  // Works on a taken item on the consumer's own thread.
  void work_here(Item& item) { steps_.work(item, 0); }

  // Drops the work done ahead and waits for the workers to end.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    claim_changed_.notify_all();
    ready_changed_.notify_all();
    for (std::thread& worker : workers_) {
      if (worker.joinable()) worker.join();
    }
  }

 private:
  struct Slot {
    Item item;
    bool worked;
    std::exception_ptr failure;
  };

  // An item opened by a worker or the consumer, not yet worked on.
  struct Claimed {
    size_t index;
    Item item;
    std::exception_ptr failure;
    bool may_work;  // may be worked on ahead
    int64_t cost;
  };

  bool may_claim() const { return !stopping_ && claimed_ < count_ && claimed_ < taken_ + window_; }
  bool has_room(size_t index, int64_t cost) const {
    return held_ + cost <= budget_ || index == taken_;
  }

  void work_ahead(unsigned worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      claim_changed_.wait(lock, [this] { return stopping_ || claimed_ == count_ || may_claim(); });
      if (stopping_ || claimed_ == count_) return;
      Claimed claimed = claim(lock);
      if (claimed.may_work) {
        ++waiting_for_room_;
        claim_changed_.wait(lock,
                            [&] { return stopping_ || has_room(claimed.index, claimed.cost); });
        --waiting_for_room_;
        if (stopping_) return;
        work_claimed(lock, claimed, worker);
      } else {
        publish(claimed.index, std::move(claimed.item), false, claimed.failure, 0);
      }
    }
  }

  // Claims and opens the next item, with `lock` held.
  Claimed claim(std::unique_lock<std::mutex>&) {
    Claimed claimed{claimed_++, Item{}, nullptr, false, 0};
    try {
      claimed.item = steps_.open(claimed.index);
    } catch (...) {
      claimed.failure = std::current_exception();
    }
    largest_[claimed.index] = claimed.failure ? 0 : steps_.largest(claimed.item);
    // Where the consumer stands before this item at the most.
    int64_t before = position_;
    for (size_t k = position_index_; k < claimed.index; ++k) before += largest_[k];
    claimed.may_work =
        !claimed.failure && steps_.may_work_ahead(claimed.item, claimed.index, before);
    if (claimed.may_work) claimed.cost = steps_.cost(claimed.item);
    return claimed;
  }

  // Works on a claimed item there is room for, with `lock` held on entry and on return.
  void work_claimed(std::unique_lock<std::mutex>& lock, Claimed& claimed, unsigned worker) {
    held_ += claimed.cost;
    lock.unlock();
    try {
      steps_.work(claimed.item, worker);
    } catch (...) {
      claimed.failure = std::current_exception();
    }
    lock.lock();
    publish(claimed.index, std::move(claimed.item), true, claimed.failure, claimed.cost);
  }

  void publish(size_t index, Item item, bool worked, std::exception_ptr failure, int64_t cost) {
    held_by_[index] = cost;
    ready_[index % window_] = Slot{std::move(item), worked, failure};
    if (index == taken_) ready_changed_.notify_one();
  }

  const size_t count_;
  const size_t window_;
  const int64_t budget_;
  WorkSteps<Item> steps_;
  std::mutex mutex_;
  std::condition_variable claim_changed_;  // workers wait here to claim an item, or for room
  std::condition_variable ready_changed_;  // the consumer waits here for its item
  size_t waiting_for_room_ = 0;
  std::optional<Claimed> own_;              // the consumer's item waiting for room
  std::vector<std::optional<Slot>> ready_;  // by index modulo the window
  std::vector<int64_t> largest_;            // of each opened item
  std::vector<int64_t> held_by_;            // what each item worked on ahead holds
  size_t claimed_ = 0;                      // items opened by a worker
  size_t taken_ = 0;                        // items handed to the consumer
  size_t position_index_ = 0;               // the item that position_ stands before
  int64_t position_ = 0;
  int64_t held_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace common
