// The extractor's run sequence: open the archive, find the entry, write it out.
#pragma once

namespace pellux {

// Runs one extraction for the command line `pellux <archive> <name> <output>` and returns the
// exit status; fatal errors end the process from inside with their own status.
int run(int argc, char** argv);

}  // namespace pellux
