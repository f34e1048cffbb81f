// The extractor's run sequence.
#pragma once

namespace pellux {

// Runs pellux for the command line `argv` and returns the exit status; fatal errors end the
// process with their own status.
int run(int argc, char** argv);

}  // namespace pellux
