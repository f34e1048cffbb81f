// How a run talks to its user: messages on standard output (standard error when standard output
// carries data), and a line of progress on standard error while that is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

// printf-style arguments checked against their format; on Windows as the runtime the programs
// link (mingw's own, which knows %zu and %lld) reads them.
#if defined(__MINGW32__)
#define COMMON_PRINTF(format_at, values_at) \
  __attribute__((format(gnu_printf, format_at, values_at)))
#else
#define COMMON_PRINTF(format_at, values_at) __attribute__((format(printf, format_at, values_at)))
#endif

namespace common {

enum class ProgressMode { kAuto, kOn, kOff };

class Console {
 public:
  // -q drops informational messages and the progress line; kAuto draws progress only when
  // standard error is a terminal.
  void configure(bool quiet, ProgressMode mode);

  // An informational message: dropped with -q.
  void say(const char* format, ...) COMMON_PRINTF(2, 3);
  // A warning, or an error the run goes on after: always printed.
  void warn(const char* format, ...) COMMON_PRINTF(2, 3);

  // Progress: how many entries and bytes the work holds (bytes 0 when not known ahead), then
  // what is done. Drawn from the one thread that calls these, once the run has gone on for half
  // a second, at most four times a second; taken off the screen before any message and at the
  // end.
  void start_progress(uint64_t entries, uint64_t bytes);
  void advance(uint64_t entries, uint64_t bytes);
  void clear();

  bool quiet() const { return quiet_; }

 private:
  void draw();

  bool quiet_ = false;
  bool drawing_ = false;  // progress is drawn at all
  bool shown_ = false;    // a progress line is on the screen
  size_t shown_length_ = 0;
  uint64_t entries_total_ = 0, bytes_total_ = 0, entries_done_ = 0, bytes_done_ = 0;
  std::chrono::steady_clock::time_point started_{}, drawn_{};
};

}  // namespace common
