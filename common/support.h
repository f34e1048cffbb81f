// Fatal messages, never-throwing heap buffers and file queries shared by both programs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace common {

// Prints the printf-style message to standard output, flushes it and ends the process with
// `status`. Open streams are flushed and closed by the process exit. Defined on its own in
// fail.cpp, so that the fuzz targets can link one that throws instead.
[[noreturn]] void fail(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Returns an owned, uninitialised buffer of `size` bytes, or an empty pointer when `size` is
// negative or the memory cannot be had. A request for 0 bytes succeeds. Never throws.
std::unique_ptr<uint8_t[]> allocate_bytes(int64_t size);

// Length of an open file in bytes, leaving its position where it was; -1 when the stream
// cannot seek (a pipe, say).
int64_t stream_length(std::FILE* stream);

// True when both paths name one existing file (through links or different spellings). A path
// that does not exist names no file, so the answer is then false.
bool same_file(const char* a, const char* b);

}  // namespace common
