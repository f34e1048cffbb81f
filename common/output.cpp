// The one way to write a file: the same on every platform over the calls of files.h.
#include "output.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <shared_mutex>

#include "process.h"

namespace common {

// What undoes one unfinished output.
struct Undo {
  Folder folder;     // where `name` is removed
  std::string name;  // a new file or a temporary to remove; empty for a kept file
  int fd = -1;       // a kept file to empty
  FileId id;         // of the file made: only that file is removed, whatever stands there now

  void remove() const {
    const Standing there = look_in(folder, name);
    if (there.exists && there.id == id) remove_in(folder, name);
  }
};

struct RunState {
  std::mutex mutex;
  // Held shared by every write, and for good by an interruption before it undoes anything, so
  // that no write can land after the undoing. A write that blocks (into a pipe nobody reads)
  // is not waited for long: it cannot make a file longer after it was emptied anyway.
  std::shared_timed_mutex writing;
  std::set<std::pair<uint64_t, uint64_t>> inputs, outputs;
  // Standard output when it is a plain file (a shell's > or >>), where the messages go, and
  // whether standard error is that file too.
  bool messages_in_file = false;
  std::pair<uint64_t, uint64_t> messages_file;
  bool errors_in_messages_file = false;
  bool broken_pipes_ignored = false;
  std::map<uint64_t, Undo> undo;  // by serial
  uint64_t next_serial = 1;
  unsigned next_temporary = 0;

  void undo_all() {
    for (auto& [serial, undo_one] : undo) {
      if (undo_one.name.empty()) {
        truncate_fd(undo_one.fd, 0);
      } else {
        undo_one.remove();
      }
    }
    undo.clear();
  }
};

namespace {

std::pair<uint64_t, uint64_t> key(const FileId& id) {
  return {id.device, id.number};
}

// Messages that would land among the bytes of the file `id`, which the run writes or replaces,
// go to standard error from now on, or nowhere when standard error is that file too. Called
// with the state's mutex held.
void keep_messages_out(RunState& state, const FileId& id) {
  if (!state.messages_in_file || state.messages_file != key(id)) return;
  state.messages_in_file = false;
  move_messages(!state.errors_in_messages_file);
}

constexpr size_t kBufferSize = size_t{64} << 10;
constexpr size_t kDirectWrite = size_t{4} << 10;

}  // namespace

Run::Run() : state_(std::make_shared<RunState>()) {
  FileId id, errors;
  bool regular = false, errors_regular = false;
  state_->messages_in_file = identify_fd(1, id, regular) && regular;
  state_->messages_file = key(id);
  state_->errors_in_messages_file =
      identify_fd(2, errors, errors_regular) && errors_regular && key(errors) == key(id);
}

Run::~Run() = default;

void Run::add_input(const FileId& id) {
  const std::lock_guard lock(state_->mutex);
  state_->inputs.insert(key(id));
}

bool Run::is_input(const FileId& id) const {
  const std::lock_guard lock(state_->mutex);
  return state_->inputs.count(key(id)) != 0;
}

bool Run::is_input_fd(int fd) const {
  FileId id;
  bool regular = false;
  return identify_fd(fd, id, regular) && regular && is_input(id);
}

bool Run::is_output(const FileId& id) const {
  const std::lock_guard lock(state_->mutex);
  return state_->outputs.count(key(id)) != 0;
}

void Run::add_output(const FileId& id) {
  const std::lock_guard lock(state_->mutex);
  state_->outputs.insert(key(id));
}

void Run::abandon_all() {
  const std::lock_guard lock(state_->mutex);
  state_->undo_all();
}

std::function<void()> Run::interruption() const {
  return [state = state_] {
    // Held to the end: nothing may be written or finished once the undoing has begun.
    state->writing.try_lock_for(std::chrono::seconds(2));
    state->mutex.lock();
    state->undo_all();
  };
}

OutputFile::~OutputFile() {
  abandon();
}

OutputError OutputFile::start(Run& run, int fd, bool kept, const FileId* known, bool file) {
  run_ = &run;
  fd_ = fd;
  kept_ = kept;
  bool regular = false;
  if (known != nullptr) {
    id_ = *known;
  } else if (!identify_fd(fd, id_, regular)) {
    abandon();
    return OutputError::kCannotCreate;
  }
  RunState& state = *run.state_;
  const std::lock_guard lock(state.mutex);
  state.outputs.insert(key(id_));
  keep_messages_out(state, id_);
  // From a run's first file on, a pipe whose reader has gone (messages piped into head, a
  // pager that was left) must not end it in the middle of one: writes into it fail instead.
  // Standard output taken for data is no file: a run writing only that ends with its reader,
  // as any filter in a pipeline does.
  if (file && !state.broken_pipes_ignored) {
    state.broken_pipes_ignored = true;
    ignore_broken_pipes();
  }
  return OutputError::kNone;
}

OutputError OutputFile::create_in(Run& run, const Folder& folder, std::string_view name,
                                  bool replace) {
  RunState& state = *run.state_;
  folder_ = &folder;
  name_ = name;
  bool exists = false;
  int fd = -1;
  {
    // Made and registered in one step, so that an interruption finds every file it must undo.
    const std::lock_guard lock(state.mutex);
    fd = common::create_in(folder, name, exists);
    if (fd >= 0) {
      serial_ = state.next_serial++;
      state.undo[serial_] = {folder, name_, -1, {}};
      bool regular = false;
      identify_fd(fd, state.undo[serial_].id, regular);
    }
  }
  if (fd < 0 && exists) {
    const Standing there = look_in(folder, name);
    {
      const std::lock_guard lock(state.mutex);
      if (there.exists && state.outputs.count(key(there.id)) != 0) {
        return OutputError::kWrittenBefore;
      }
      if (there.exists && state.inputs.count(key(there.id)) != 0) return OutputError::kIsInput;
    }
    if (!replace || !there.plain) return OutputError::kExists;
    // Written beside it, under a name of its own, and moved over it once complete. From now on
    // the file there is this run's: no later file of the run replaces it too (under another
    // name that the file system takes for the same, say) before this one is moved in.
    const std::lock_guard lock(state.mutex);
    state.outputs.insert(key(there.id));
    keep_messages_out(state, there.id);
    while (fd < 0) {
      temporary_ = temporary_name(state.next_temporary++);
      fd = common::create_in(folder, temporary_, exists);
      if (fd < 0 && !exists) return OutputError::kCannotCreate;
    }
    serial_ = state.next_serial++;
    state.undo[serial_] = {folder, temporary_, -1, {}};
    bool regular = false;
    identify_fd(fd, state.undo[serial_].id, regular);
  }
  if (fd < 0) return OutputError::kCannotCreate;
  FileId id;
  {
    const std::lock_guard lock(state.mutex);
    id = state.undo[serial_].id;
  }
  return start(run, fd, false, &id);
}

void OutputFile::register_kept(int fd) {
  RunState& state = *run_->state_;
  const std::lock_guard lock(state.mutex);
  serial_ = state.next_serial++;
  state.undo[serial_] = {Folder{}, "", fd, {}};
}

OutputError OutputFile::open_kept(Run& run, const char* path, bool empty_now) {
  const int fd = open_typed(path);
  if (fd < 0) return OutputError::kCannotCreate;
  FileId id;
  bool regular = false;
  if (!identify_fd(fd, id, regular)) {
    close_fd(fd);
    return OutputError::kCannotCreate;
  }
  if (run.is_input(id)) {
    close_fd(fd);
    return OutputError::kIsInput;
  }
  const OutputError started = start(run, fd, true);
  if (started == OutputError::kNone && empty_now && !empty()) {
    abandon();
    return OutputError::kCannotCreate;
  }
  return started;
}

bool OutputFile::empty() {
  if (fd_ < 0) return false;
  // From here on the file is this run's: a failure or an interruption empties it again.
  if (serial_ == 0) register_kept(fd_);
  bool regular = false;
  FileId id;
  return identify_fd(fd_, id, regular) && (!regular || truncate_fd(fd_, 0));
}

bool OutputFile::lock(const std::function<void()>& on_wait) {
  return fd_ >= 0 && lock_fd(fd_, on_wait);
}

OutputError OutputFile::adopt_stream(Run& run, int fd) {
  FileId id;
  bool regular = false;
  if (fd < 0 || !identify_fd(fd, id, regular)) return OutputError::kCannotCreate;
  // Appended to by the shell (>>), the archive could be standard output.
  if (regular && run.is_input(id)) return OutputError::kIsInput;
  return start(run, fd, false, nullptr, false);
}

OutputError OutputFile::adopt_kept(Run& run, int fd) {
  const OutputError started = start(run, fd, true);
  if (started == OutputError::kNone) register_kept(fd);
  return started;
}

OutputError OutputFile::create_typed(Run& run, const char* path, bool replace) {
  std::string folder, name;
  if (!split_typed_path(path, folder, name) ||
      open_folder(folder.c_str(), false, own_folder_) != FolderError::kNone) {
    return OutputError::kCannotCreate;
  }
  const Standing there = look_in(own_folder_, name);
  if (there.exists && run.is_input(there.id)) return OutputError::kIsInput;
  return create_in(run, own_folder_, name, replace);
}

bool OutputFile::flush() {
  if (buffered_ > 0 && !failed_) failed_ = !put(buffer_.get(), buffered_);
  buffered_ = 0;
  return !failed_;
}

bool OutputFile::put(const uint8_t* bytes, size_t count) {
  const std::shared_lock writing(run_->state_->writing);
  size_t done = 0;
  const bool ok = write_fd(fd_, bytes, count, -1, &done);
  reached_ += static_cast<int64_t>(done);
  return ok;
}

bool OutputFile::write_out() {
  return fd_ >= 0 && flush();
}

void OutputFile::keep_first(int64_t length) {
  if (fd_ >= 0) truncate_fd(fd_, length);
  forget();
  if (fd_ >= 0) close_fd(fd_);
  fd_ = -1;
  buffered_ = 0;
  run_ = nullptr;
}

bool OutputFile::write(const uint8_t* bytes, size_t count) {
  if (failed_ || fd_ < 0) return false;
  length_ += static_cast<int64_t>(count);
  // Pieces of some size go out as they come; small ones gather in a buffer made when first
  // needed, so that a file written in one piece costs no buffer at all.
  if (buffered_ == 0 && count >= kDirectWrite) {
    failed_ = !put(bytes, count);
    return !failed_;
  }
  if (!buffer_) buffer_.reset(new (std::nothrow) uint8_t[kBufferSize]);
  if (!buffer_) {
    failed_ = true;
    return false;
  }
  if (buffered_ + count <= kBufferSize) {
    if (count > 0) std::memcpy(buffer_.get() + buffered_, bytes, count);
    buffered_ += count;
    return buffered_ < kBufferSize || flush();
  }
  if (!flush()) return false;
  if (count >= kBufferSize) {
    failed_ = !put(bytes, count);
    return !failed_;
  }
  std::memcpy(buffer_.get(), bytes, count);
  buffered_ = count;
  return true;
}

bool OutputFile::write_at(int64_t offset, const uint8_t* bytes, size_t count) {
  if (failed_ || fd_ < 0 || !flush()) return false;
  const std::shared_lock writing(run_->state_->writing);
  failed_ = !write_fd(fd_, bytes, count, offset);
  return !failed_;
}

void OutputFile::forget() {
  if (run_ == nullptr || serial_ == 0) return;
  const std::lock_guard lock(run_->state_->mutex);
  run_->state_->undo.erase(serial_);
  serial_ = 0;
}

OutputError OutputFile::finish() {
  if (fd_ < 0) return OutputError::kWriteFailed;
  bool ok = flush();
  if (ok && kept_) {
    bool regular = false;
    FileId id;
    // Cut to what this run wrote, whatever was there before.
    ok = identify_fd(fd_, id, regular) && (!regular || truncate_fd(fd_, length_));
  }
  if (!ok) {
    abandon();
    return OutputError::kWriteFailed;
  }
  // A kept file is undone through its descriptor, which is about to go.
  if (kept_) forget();
  const bool closed = close_fd(fd_);
  fd_ = -1;
  if (!closed) {
    abandon();
    return OutputError::kWriteFailed;
  }
  if (!temporary_.empty()) {
    const std::lock_guard lock(run_->state_->mutex);
    if (!rename_in(*folder_, temporary_, name_)) {
      run_->state_->undo[serial_].remove();
      run_->state_->undo.erase(serial_);
      serial_ = 0;
      run_ = nullptr;
      return OutputError::kWriteFailed;
    }
  }
  forget();
  close_folder(own_folder_);
  run_ = nullptr;
  return OutputError::kNone;
}

void OutputFile::abandon() {
  if (run_ == nullptr) return;
  // Closed first: some platforms remove no file that is still open. A kept file is emptied
  // only once the run has taken it over (empty(), adopt_kept()).
  if (fd_ >= 0 && kept_ && serial_ != 0) truncate_fd(fd_, 0);
  if (fd_ >= 0) close_fd(fd_);
  fd_ = -1;
  if (serial_ != 0) {
    const std::lock_guard lock(run_->state_->mutex);
    auto found = run_->state_->undo.find(serial_);
    if (found != run_->state_->undo.end()) {
      if (!found->second.name.empty()) found->second.remove();
      run_->state_->undo.erase(found);
    }
    serial_ = 0;
  }
  buffered_ = 0;
  close_folder(own_folder_);
  run_ = nullptr;
}

int64_t OutputFile::reached() const {
  // After a failed write the file itself says how far it got: a write may fail after some of
  // its bytes went in.
  int64_t length = -1;
  if (failed_ && fd_ >= 0 && file_length(fd_, length)) return std::min(length, reached_);
  return reached_;
}

}  // namespace common
