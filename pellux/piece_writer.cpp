// The piece writer.
#include "piece_writer.h"

#include <system_error>

namespace pellux {

PieceWriter::PieceWriter(common::OutputFile& output, const uint8_t* buffer)
    : output_(output), buffer_(buffer) {
  try {
    thread_ = std::thread(&PieceWriter::write_all, this);
  } catch (const std::system_error&) {
    // No second thread: publish writes each piece itself.
  }
}

// The second thread: writes what is published until the last piece is written.
void PieceWriter::write_all() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return finished_ || ready_ > written_; });
    write_ready(lock);
    if (finished_ && written_ == ready_) return;
  }
}

PieceWriter::~PieceWriter() {
  finish(ready_);
}

// Writes what is final and not yet written, with the lock released during the write.
void PieceWriter::write_ready(std::unique_lock<std::mutex>& lock) {
  while (written_ < ready_ && !failed_) {
    const size_t from = written_, count = ready_ - written_;
    lock.unlock();
    const bool ok = output_.write(buffer_ + from, count);
    lock.lock();
    written_ = from + count;
    failed_ = !ok;
  }
  if (failed_) written_ = ready_;
}

void PieceWriter::publish(size_t ready) {
  std::unique_lock lock(mutex_);
  ready_ = ready;
  if (thread_.joinable()) {
    lock.unlock();
    changed_.notify_one();
  } else {
    write_ready(lock);
  }
}

bool PieceWriter::finish(size_t total) {
  {
    std::unique_lock lock(mutex_);
    ready_ = total;
    finished_ = true;
    if (!thread_.joinable()) write_ready(lock);
  }
  changed_.notify_one();
  if (thread_.joinable()) thread_.join();
  return !failed_;
}

}  // namespace pellux
