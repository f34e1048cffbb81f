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

// Fails the named call, or passes it on to the next definition of `symbol`, found once.
FILE* open_or_fail(const char* symbol, FopenFunction& real, const char* path, const char* mode) {
  if (should_fail(path, mode)) {
    errno = EACCES;
    return nullptr;
  }
  if (real == nullptr) real = next_fopen(symbol);
  return real(path, mode);
}

}  // namespace

extern "C" FILE* fopen(const char* path, const char* mode) {
  static FopenFunction real = nullptr;
  return open_or_fail("fopen", real, path, mode);
}

extern "C" FILE* fopen64(const char* path, const char* mode) {
  static FopenFunction real = nullptr;
  return open_or_fail("fopen64", real, path, mode);
}
