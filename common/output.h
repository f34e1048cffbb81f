// The one way the tools write a file. Every output of every mode goes through an OutputFile,
// which refuses a destination that is one of the run's inputs or a file the run wrote itself,
// never follows a link at a name that came from an archive or from the run, and never leaves
// a partly written file under a name the user will take for a finished one, also when the run
// fails or is interrupted (SIGINT, SIGTERM, SIGHUP).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "console.h"
#include "files.h"

namespace common {

struct RunState;

// What one run reads and writes, what an interruption must undo, and how it talks to its user.
// Made once, at the start of a run, before any other thread; shared by every thread of the run
// (but the console, which only the thread that reports uses).
class Run {
 public:
  Console console;
  bool output_open = true;  // standard output was open when the process started

  Run();
  ~Run();
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // A file the run reads, by the identity of the open file.
  void add_input(const FileId& id);
  bool is_input(const FileId& id) const;
  // Whether the open file `fd` (standard output, appended to an input by the shell) is an input.
  bool is_input_fd(int fd) const;
  // A file the run writes, or has written.
  bool is_output(const FileId& id) const;
  // Counts a file or folder the run made some other way (a folder it created) among its
  // outputs, so that no later file of the run is taken for something that was there before.
  void add_output(const FileId& id);
  // Undoes every output not yet finished: removes new and temporary files, empties kept ones.
  // For a run that ends in failure.
  void abandon_all();
  // What the interruption watcher runs before it ends the process: undoes every unfinished
  // output and keeps every other thread from finishing one after that. It may outlive the run.
  std::function<void()> interruption() const;

 private:
  friend class OutputFile;
  std::shared_ptr<RunState> state_;
};

enum class OutputError {
  kNone,
  kIsInput,        // the destination is a file the run reads
  kWrittenBefore,  // the destination is a file this run has already written
  kExists,         // something stands there: no replacing was asked for, or it is not a plain
                   // file with one name (a link, a folder, a device, a second name of a file)
  kCannotCreate,   // the system refused to create it
  kWriteFailed,    // writing, or finishing, failed
};

// One file being written. Writes are buffered; nothing is visible under the final name of a
// replaced file until finish().
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // abandons the file if it was not finished
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // A file named by an archive or by the run, in `folder`; never through a link there. Without
  // `replace` nothing may stand at `name`; with it a plain file with one name is replaced: the
  // new one is written under a temporary name beside it and moved over it when complete. A new
  // file is made in place and removed if the run fails before finish().
  OutputError create_in(Run& run, const Folder& folder, std::string_view name, bool replace);

  // A path the user typed, held from the start of the run to its end (a container, the output
  // of a single extraction): opened as typed, links followed, emptied now, and emptied again if
  // the run fails or is interrupted. Anything the platform opens for writing is taken (a
  // device, say), but not a file the run reads.
  OutputError open_kept(Run& run, const char* path, bool empty_now = true);
  // Empties a kept file opened with `empty_now` false, which makes it the run's: until then a
  // failure or an interruption leaves it as it was. False when it cannot be emptied.
  bool empty();
  // Waits until no other process holds the file, saying so through `on_wait` first, and holds
  // it until it is closed; false when the platform cannot lock it (the run goes on unlocked).
  bool lock(const std::function<void()>& on_wait);
  // Takes `fd`, open for writing at its start and empty, as a kept file (the staging file).
  OutputError adopt_kept(Run& run, int fd);

  // A new file at a path the user typed (an archive to create): made in place when nothing is
  // there; with `replace`, an existing file (through a link the user typed, the file it names)
  // is replaced as create_in replaces one.
  OutputError create_typed(Run& run, const char* path, bool replace);

  // Takes `fd`, open for writing, as the run's data output (standard output): written as it is,
  // never emptied, never removed.
  OutputError adopt_stream(Run& run, int fd);

  bool write(const uint8_t* bytes, size_t count);
  // Writes at an absolute offset, past what is buffered; for a header written last.
  bool write_at(int64_t offset, const uint8_t* bytes, size_t count);
  // Writes out what is buffered; false when that fails.
  bool write_out();
  // Ends a kept file at its first `length` bytes, dropping whatever comes after: what a failed
  // run leaves of a scratch file.
  void keep_first(int64_t length);
  // Makes the file complete: writes what is buffered, cuts a kept file to the length written,
  // closes it and moves a replacement into place.
  OutputError finish();
  // Undoes the file: a new file or a temporary is removed, a kept file emptied.
  void abandon();

  // Bytes that reached the file, from its start: after a failed write, how far it got.
  int64_t reached() const;
  bool is_open() const { return fd_ >= 0; }
  // The identity of the file being written.
  const FileId& id() const { return id_; }

 private:
  bool flush();
  bool put(const uint8_t* bytes, size_t count);
  void register_kept(int fd);
  OutputError start(Run& run, int fd, bool kept, const FileId* known = nullptr, bool file = true);
  void forget();

  Run* run_ = nullptr;
  int fd_ = -1;
  FileId id_;
  bool kept_ = false;
  bool failed_ = false;
  uint64_t serial_ = 0;  // of the registration that undoes it
  Folder own_folder_;    // for create_typed, the folder it opened
  const Folder* folder_ = nullptr;
  std::string name_, temporary_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t buffered_ = 0;
  int64_t length_ = 0;   // bytes written in all, buffered ones included
  int64_t reached_ = 0;  // bytes that reached the file in order from its start
};

}  // namespace common
