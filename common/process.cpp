// Process set-up on POSIX systems.
#include "process.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <system_error>
#include <thread>

namespace common {
namespace {

// The interruptions the run takes: SIGINT, SIGTERM and SIGHUP, but for those it was started
// with ignored (nohup, a background job of a script), which stay ignored.
sigset_t interruptions() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {};
    if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) sigaddset(&set, signal);
  }
  return set;
}

}  // namespace

bool prepare_process() {
  const bool output_open = fcntl(STDOUT_FILENO, F_GETFD) != -1;
  for (int fd = 0; fd <= 2; ++fd) {
    // open returns the lowest free descriptor, which is this one when it is closed. Standard
    // output gets the full device, where every write fails as it would have on the closed
    // descriptor, so that a mode whose listing or messages went nowhere still says so.
    if (fcntl(fd, F_GETFD) == -1 && (fd != STDOUT_FILENO || open("/dev/full", O_RDWR) == -1) &&
        open("/dev/null", O_RDWR) == -1) {
      break;
    }
  }
  std::signal(SIGXFSZ, SIG_IGN);
  const sigset_t held = interruptions();
  pthread_sigmask(SIG_BLOCK, &held, nullptr);
  return output_open;
}

int take_standard_output(bool was_open) {
  std::fflush(stdout);
  const int data = was_open ? dup(STDOUT_FILENO) : -1;
  if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0 || data < 0) return -1;
  fcntl(data, F_SETFD, FD_CLOEXEC);
  return data;
}

void move_messages(bool to_errors) {
  if (to_errors) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return;
  }
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0 && null != STDOUT_FILENO) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
}

void ignore_broken_pipes() {
  std::signal(SIGPIPE, SIG_IGN);
}

void watch_interrupts(std::function<void()> undo) {
  const sigset_t taken = interruptions();
  bool any = false;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) any = any || sigismember(&taken, signal) == 1;
  if (!any) return;
  // The signals are held back in every thread, so only this one takes them, by sigwait: it
  // runs as an ordinary thread, free to take locks and call anything.
  const auto watch = [undo = std::move(undo), held = taken] {
    int signal = 0;
    while (sigwait(&held, &signal) != 0) {
    }
    undo();
    std::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal);
  };
  try {
    std::thread(watch).detach();
  } catch (const std::system_error&) {
    // Without the thread an interruption is taken as the signal's default: the process ends.
    pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
  }
}

}  // namespace common
