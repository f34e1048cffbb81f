// The staging file: every entry's bytes, in list order, as the container's data area holds
// them. It is created in the working folder and left in place after the run.
#pragma once

namespace corvane {

constexpr const char* kStagingPath = "$_tempsol_$.dat";

// The staging file open for writing, and the lock that keeps other runs in the same folder
// from writing it (or the container they build) until this run ends.
struct StagingFile {
  int fd = -1;
  int lock = -1;  // kept open until the process ends: closing it would release the lock
};

// Opens the staging file at `path` for writing, creating it if missing, and empties it. Never
// follows a symbolic link and never empties a file that another name also points to, or
// anything but a plain file: those are refused (false). Waits while another run in the same
// folder holds the file, saying so on standard error, so that two runs never mix their data.
bool open_staging_file(const char* path, StagingFile& staging);

}  // namespace corvane
