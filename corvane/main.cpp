// corvane: creates a container file from a file list.
#include "corvane/builder.h"

int main(int argc, char** argv) {
  return corvane::run(argc, argv);
}
