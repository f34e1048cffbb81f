// The background writer.
#include "background_writer.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace common {

BackgroundWriter::BackgroundWriter(OutputFile& output, size_t piece, size_t pieces)
    : output_(output), piece_(piece) {
  for (size_t i = 0; i < pieces; ++i) {
    buffers_.push_back(allocate_bytes(piece));
    if (!buffers_.back()) failed_ = true;
    if (i > 0) free_.push_back(i);
  }
  try {
    if (!failed_) thread_ = std::thread(&BackgroundWriter::write_all, this);
  } catch (const std::system_error&) {
    // No second thread: put() writes each buffer itself.
  }
}

BackgroundWriter::~BackgroundWriter() {
  finish();
}

void BackgroundWriter::write_all() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return finishing_ || !filled_.empty(); });
    if (filled_.empty()) return;
    const Filled next = filled_.front();
    filled_.pop_front();
    const bool skip = failed_;
    lock.unlock();
    const bool ok = skip || output_.write(buffers_[next.buffer].get(), next.length);
    lock.lock();
    failed_ = failed_ || !ok;
    free_.push_back(next.buffer);
    changed_.notify_all();
  }
}

bool BackgroundWriter::hand_over() {
  if (in_current_ == 0) return true;
  if (!thread_.joinable()) {
    failed_ = failed_ || !output_.write(buffers_[current_].get(), in_current_);
    in_current_ = 0;
    return !failed_;
  }
  std::unique_lock lock(mutex_);
  filled_.push_back({current_, in_current_});
  changed_.notify_all();
  changed_.wait(lock, [this] { return !free_.empty(); });
  current_ = free_.back();
  free_.pop_back();
  in_current_ = 0;
  return !failed_;
}

bool BackgroundWriter::put(const uint8_t* bytes, size_t count) {
  if (buffers_.empty() || !buffers_[current_]) return false;
  while (count > 0) {
    const size_t take = std::min(count, piece_ - in_current_);
    std::memcpy(buffers_[current_].get() + in_current_, bytes, take);
    in_current_ += take;
    bytes += take;
    count -= take;
    if (in_current_ == piece_ && !hand_over()) return false;
  }
  std::lock_guard lock(mutex_);
  return !failed_;
}

bool BackgroundWriter::finish() {
  const bool handed = buffers_.empty() || !buffers_[current_] || hand_over();
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      finishing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  return handed && !failed_;
}

}  // namespace common
