// Preloaded into a tool under test to make one fopen call fail, for failures that nothing
// outside the process can otherwise provoke. FAULT_FOPEN="<path>|<mode>" names the call.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using FopenFunction = FILE* (*)(const char*, const char*);

FopenFunction next_fopen(const char* symbol) {
  void* found = dlsym(RTLD_NEXT, symbol);
  FopenFunction function = nullptr;
  std::memcpy(&function, &found, sizeof function);
  return function;
}

bool should_fail(const char* path, const char* mode) {
  const char* fault = std::getenv("FAULT_FOPEN");
  return fault != nullptr && std::string(fault) == std::string(path) + "|" + mode;
}

}  // namespace

extern "C" FILE* fopen(const char* path, const char* mode) {
  if (should_fail(path, mode)) {
    errno = EACCES;
    return nullptr;
  }
  static const FopenFunction real = next_fopen("fopen");
  return real(path, mode);
}

extern "C" FILE* fopen64(const char* path, const char* mode) {
  if (should_fail(path, mode)) {
    errno = EACCES;
    return nullptr;
  }
  static const FopenFunction real = next_fopen("fopen64");
  return real(path, mode);
}
