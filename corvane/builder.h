// The builder's run sequence: command line, file list, staging, container.
#pragma once

namespace corvane {

// Runs one build for the command line `corvane <file list> <container>` and returns the exit
// status; fatal errors end the process from inside with their own status.
int run(int argc, char** argv);

}  // namespace corvane
