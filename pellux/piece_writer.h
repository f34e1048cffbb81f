// Writing a buffer out while it is still being filled: the part that is final goes to the
// file from a second thread, piece by piece, while the rest is decoded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "common/output.h"

namespace pellux {

class PieceWriter {
 public:
  // Writes from `buffer` to `output`. Without a second thread, each piece is written when it
  // is published.
  PieceWriter(common::OutputFile& output, const uint8_t* buffer);
  ~PieceWriter();
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;

  // The first `ready` bytes of the buffer are final and may be written.
  void publish(size_t ready);

  // Writes the first `total` bytes and waits for them; false when any write fell short (the
  // file then keeps what was written, and nothing after it).
  bool finish(size_t total);

 private:
  void write_all();
  void write_ready(std::unique_lock<std::mutex>& lock);

  common::OutputFile& output_;
  const uint8_t* buffer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t ready_ = 0;
  size_t written_ = 0;
  bool finished_ = false;
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace pellux
