// Process set-up on Windows.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "common/process.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace common {
namespace {

// The console calls its handler with no room for the caller's state, so the one handler a
// process installs finds what it must undo here.
std::function<void()>& interruption_undo() {
  static std::function<void()> undo;
  return undo;
}

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  if (interruption_undo()) interruption_undo()();
  // The status a POSIX shell shows for SIGINT (Ctrl-C), SIGTERM (Ctrl-Break) or SIGHUP.
  ExitProcess(event == CTRL_C_EVENT ? 130 : event == CTRL_BREAK_EVENT ? 143 : 129);
}

}  // namespace

bool prepare_process() {
  // The messages are bytes, as on every platform: in the C runtime's text mode each line end
  // would become CR LF. The other protections have no work here: the runtime never gives a new
  // file descriptor 0 to 2, even when the process started without those handles, and no signal
  // ends a process whose write fails.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A standard output the process started without has no descriptor: it is seen then.
  return true;
}

int take_standard_output(bool was_open) {
  std::fflush(stdout);
  const int data = was_open ? _dup(_fileno(stdout)) : -1;
  if (_dup2(_fileno(stderr), _fileno(stdout)) != 0 || data < 0) return -1;
  _setmode(data, _O_BINARY);
  return data;
}

void move_messages(bool to_errors) {
  if (to_errors) {
    _dup2(_fileno(stderr), _fileno(stdout));
    return;
  }
  const int null = _open("NUL", _O_WRONLY | _O_BINARY);
  if (null >= 0 && null != _fileno(stdout)) {
    _dup2(null, _fileno(stdout));
    _close(null);
  }
}

// A write into a pipe whose reader has gone fails there already.
void ignore_broken_pipes() {}

void watch_interrupts(std::function<void()> undo) {
  interruption_undo() = std::move(undo);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

}  // namespace common
