// pellux: extracts one entry from an FST or DPK archive.
#include "pellux/extractor.h"

int main(int argc, char** argv) {
  return pellux::run(argc, argv);
}
