// Writing to an output from a second thread, so that what produces the bytes (a decoder, an
// encoder) never waits for the disk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "buffer.h"
#include "output.h"

namespace common {

// What put() is given is copied into one of a few buffers of `piece` bytes, which the second
// thread writes to the output in order while the caller goes on. Without a second thread, put()
// writes itself. Memory: `pieces` buffers.
class BackgroundWriter {
 public:
  explicit BackgroundWriter(OutputFile& output, size_t piece = size_t{1} << 20, size_t pieces = 3);
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // False once a write has failed (or there is no memory for a buffer): nothing more is written.
  bool put(const uint8_t* bytes, size_t count);
  // Writes out what is left and waits for it; false when any write failed.
  bool finish();

 private:
  struct Filled {
    size_t buffer;
    size_t length;
  };
  void write_all();
  bool hand_over();  // the current buffer to the thread

  OutputFile& output_;
  const size_t piece_;
  std::vector<Bytes> buffers_;
  size_t current_ = 0;  // the buffer put() fills
  size_t in_current_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Filled> filled_;  // for the thread, in order
  std::vector<size_t> free_;   // buffers put() may fill next
  bool finishing_ = false;
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace common
