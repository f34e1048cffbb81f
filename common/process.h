// Process set-up both programs do before anything else.
#pragma once

namespace common {

// Opens the null device on any of the standard descriptors 0 to 2 that is closed, so that no
// file the run opens can take one of them and receive its messages; and lets writes past a
// file-size limit fail with an error instead of ending the process, so that they get their
// message and status.
void prepare_process();

}  // namespace common
