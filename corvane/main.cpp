// corvane: creates a container file from a file list.
#include "corvane/run.h"

int main(int argc, char** argv) {
  return corvane::run(argc, argv);
}
