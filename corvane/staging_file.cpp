// Opening the staging file safely.
#include "staging_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace corvane {

bool open_staging_file(const char* path, StagingFile& staging) {
  // Non-blocking, so that a planted FIFO cannot hold the run up at the open itself.
  const int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info {};
  const int flags = fcntl(fd, F_GETFL);
  const bool plain = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
  // The lock belongs to the open file, which the duplicate keeps open after the file is closed.
  const int lock = plain ? dup(fd) : -1;
  bool locked = lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0;
  if (lock >= 0 && !locked) {
    std::fprintf(stderr, "corvane: waiting for another run in this folder to finish with %s\n",
                 path);
    locked = flock(lock, LOCK_EX) == 0;
  }
  if (!locked || flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
      ftruncate(fd, 0) != 0) {
    if (lock >= 0) close(lock);
    close(fd);
    return false;
  }
  staging = {fd, lock};
  return true;
}

}  // namespace corvane
