// The fuzz targets' fail: throws fuzz_support::Failure where the programs print and exit.
// Linked ahead of the project's library, it keeps the library's own fail out of the target.
#include "fuzz_fail.h"
#include "common/support.h"

namespace common {

void fail(int status, const char* /*format*/, ...) {
  throw fuzz_support::Failure{status};
}

}  // namespace common
