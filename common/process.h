// Process set-up both programs do before anything else, and the watch for interruptions.
#pragma once

#include <functional>

namespace common {

// Opens the null device on any of the standard descriptors 0 to 2 that is closed (the full
// device on standard output, where writes fail), so that no file the run opens can take one of
// them and receive its messages; lets writes past a file-size limit
// fail with an error instead of ending the process, so that they get their message and
// status; and holds SIGINT, SIGTERM and SIGHUP back from this thread and every
// thread it starts, for watch_interrupts. Call it before any other thread starts. Returns
// whether standard output was open.
bool prepare_process();

// Turns standard output over to the data a run writes there (an entry, a listing in JSON):
// the descriptor returned writes where standard output went, and standard output itself goes
// to standard error from now on, so that every message, the banner too, goes there. -1 when it
// cannot, or when standard output was closed when the process started (`was_open` false):
// there is nowhere for the data to go.
int take_standard_output(bool was_open);

// Sends standard output, and what is still buffered for it, to standard error from now on, or
// to the null device (`to_errors` false, when standard error is that file too): for a run
// whose output file is where its standard output goes.
void move_messages(bool to_errors);

// Lets a write into a pipe whose reader has gone fail with an error instead of ending the
// process (SIGPIPE ignored).
void ignore_broken_pipes();

// Starts a thread that waits for SIGINT, SIGTERM or SIGHUP (on Windows, Ctrl-C, Ctrl-Break or
// the console closing), runs `undo`, and ends the process by that signal, so that a shell sees
// 130, 143 or 129 as if the signal had ended it directly.
void watch_interrupts(std::function<void()> undo);

}  // namespace common
