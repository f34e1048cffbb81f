// Process set-up on Windows.
#include "common/process.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace common {

void prepare_process() {
  // The messages are bytes, as on every platform: in the C runtime's text mode each line end
  // would become CR LF. The other protections have no work here: the runtime never gives a new
  // file descriptor 0 to 2, even when the process started without those handles, and no signal
  // ends a process whose write fails.
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace common
