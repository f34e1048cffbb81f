// pellux: extracts entries from an FST or DPK archive.
#include "pellux/run.h"

int main(int argc, char** argv) {
  return pellux::run(argc, argv);
}
