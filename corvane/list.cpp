// Listing a container: its header, and one line per entry, as a table or as JSON Lines.
#include <cstdio>
#include <string>

#include "common/escape.h"
#include "modes.h"

namespace corvane {

std::string json_entry(size_t index, const ContainerEntry& entry) {
  char text[192];
  std::snprintf(
      text, sizeof text,
      "{\"version\":1,\"type\":\"entry\",\"index\":%zu,\"offset\":%u,"
      "\"compressed\":%s,\"stored_size\":%llu,\"size\":%llu",
      index, entry.offset, entry.compressed ? "true" : "false",
      static_cast<unsigned long long>(entry.length),
      static_cast<unsigned long long>(entry.compressed ? entry.original_length : entry.length));
  return text;
}

std::string json_problems(const ContainerInfo& info) {
  std::string lines;
  for (const Problem& problem : info.problems) {
    const bool of_entry = problem.entry < info.entries.size();
    lines += "{\"version\":1,\"type\":\"problem\",\"entry\":" +
             (of_entry ? std::to_string(problem.entry) : std::string("null")) +
             ",\"problem\":" + common::json_string(describe(problem, info)) + "}\n";
  }
  return lines;
}

std::string json_total(const ContainerInfo& info) {
  char text[224];
  std::snprintf(text, sizeof text,
                "{\"version\":1,\"type\":\"total\",\"size\":%llu,\"entries\":%zu,"
                "\"data_offset\":%u,\"checksum_word\":%u,\"problems\":%zu",
                static_cast<unsigned long long>(info.file_size), info.entries.size(),
                info.data_offset, info.checksum_word, info.problems.size());
  return text;
}

int list_container(common::Run& run, const char* path, int json) {
  std::FILE* file = nullptr;
  ContainerInfo info;
  const size_t problems = load_container(run, path, file, info, json);
  const char* verdict = problems == 0 ? "sound" : "damaged";
  if (json >= 0) {
    std::FILE* out = fdopen(json, "wb");
    for (size_t i = 0; i < info.entries.size(); ++i) {
      std::fprintf(out, "%s}\n", json_entry(i, info.entries[i]).c_str());
    }
    std::fprintf(out, "%s%s,\"verdict\":\"%s\"}\n", json_problems(info).c_str(),
                 json_total(info).c_str(), verdict);
    return printed_to(out, problems == 0 ? 0 : kSomeFailed);
  }
  std::printf("%s: %llu bytes, %zu entries, data area at offset %u, checksum word 0x%08X\n", path,
              static_cast<unsigned long long>(info.file_size), info.entries.size(),
              info.data_offset, info.checksum_word);
  std::printf("Index      Offset  Kind              Length    Original\n");
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const ContainerEntry& entry = info.entries[i];
    std::printf("%5zu %11u  %-10s %13llu", i, entry.offset,
                entry.compressed ? "compressed" : "stored",
                static_cast<unsigned long long>(entry.length));
    if (entry.compressed) std::printf(" %11u", entry.original_length);
    std::printf("\n");
  }
  std::printf("%zu %s, %zu %s\n", info.entries.size(),
              info.entries.size() == 1 ? "entry" : "entries", problems,
              problems == 1 ? "problem" : "problems");
  return printed(problems == 0 ? 0 : kSomeFailed);
}

}  // namespace corvane
