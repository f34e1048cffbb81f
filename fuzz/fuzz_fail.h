// For the fuzz targets: a fatal error throws instead of ending the process, so that one
// input's message does not end the fuzzing run.
#pragma once

namespace fuzz_support {

struct Failure {
  int status;
};

}  // namespace fuzz_support
