// The console.
#include "console.h"

#include <algorithm>
#include <cstdarg>
#include <string>

#include "files.h"

namespace common {
namespace {

constexpr auto kFirstDraw = std::chrono::milliseconds(500);
constexpr auto kBetweenDraws = std::chrono::milliseconds(250);

std::string mib(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

}  // namespace

void Console::configure(bool quiet, ProgressMode mode) {
  quiet_ = quiet;
  drawing_ =
      !quiet && (mode == ProgressMode::kOn || (mode == ProgressMode::kAuto && is_terminal(stderr)));
}

void Console::say(const char* format, ...) {
  if (quiet_) return;
  clear();
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void Console::warn(const char* format, ...) {
  clear();
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void Console::start_progress(uint64_t entries, uint64_t bytes) {
  entries_total_ = entries;
  bytes_total_ = bytes;
  entries_done_ = bytes_done_ = 0;
  started_ = std::chrono::steady_clock::now();
}

void Console::advance(uint64_t entries, uint64_t bytes) {
  entries_done_ += entries;
  bytes_done_ += bytes;
  // Files that turn out to hold more than they did when the total was taken raise it.
  if (bytes_total_ > 0) bytes_total_ = std::max(bytes_total_, bytes_done_);
  if (!drawing_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - started_ < kFirstDraw || (shown_ && now - drawn_ < kBetweenDraws)) return;
  drawn_ = now;
  draw();
}

void Console::draw() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const double rate = seconds > 0 ? static_cast<double>(bytes_done_) / seconds : 0;
  std::string line = std::to_string(entries_done_) + " of " + std::to_string(entries_total_) +
                     " entries, " + mib(bytes_done_);
  if (bytes_total_ > 0) line += " of " + mib(bytes_total_);
  line += ", " + mib(static_cast<uint64_t>(rate)) + "/s";
  if (bytes_total_ > bytes_done_ && rate > 0) {
    const auto left = static_cast<uint64_t>(static_cast<double>(bytes_total_ - bytes_done_) / rate);
    char text[32];
    std::snprintf(text, sizeof text, ", %llu:%02llu left",
                  static_cast<unsigned long long>(left / 60),
                  static_cast<unsigned long long>(left % 60));
    line += text;
  }
  // Spaces take off what a longer line left.
  const size_t length = line.size();
  if (length < shown_length_) line.append(shown_length_ - length, ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  shown_ = true;
  shown_length_ = length;
}

void Console::clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r%s\r", std::string(shown_length_, ' ').c_str());
  std::fflush(stderr);
  shown_ = false;
  shown_length_ = 0;
}

}  // namespace common
