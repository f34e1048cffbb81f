// Reading and writing the manifest.
#include "manifest.h"

#include "common/escape.h"

namespace pellux {
namespace {

bool is_blank(char ch) {
  return ch == ' ' || ch == '\t';
}

// The blank-separated fields of `line`.
std::vector<std::string_view> fields_of(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && is_blank(line[at])) ++at;
    const size_t start = at;
    while (at < line.size() && !is_blank(line[at])) ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
  return fields;
}

// Where a path starts afresh, and what separates its parts, on this platform.
#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
bool is_absolute(std::string_view path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
         (path.size() >= 2 && path[1] == ':');
}
#else
constexpr const char* kSeparators = "/";
bool is_absolute(std::string_view path) {
  return !path.empty() && path[0] == '/';
}
#endif

}  // namespace

ManifestError read_manifest(std::FILE* manifest, std::vector<ManifestLine>& lines,
                            size_t& bad_line) {
  std::string line;
  size_t number = 0;
  for (int ch = 0; ch != EOF;) {
    line.clear();
    while ((ch = std::getc(manifest)) != EOF && ch != '\n') line += static_cast<char>(ch);
    if (ch == EOF && line.empty()) break;
    bad_line = ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string_view> fields = fields_of(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    if (fields[0] != "c" && fields[0] != "u") return ManifestError::kBadCommand;
    if (fields.size() != 3) return ManifestError::kFields;
    ManifestLine entry;
    entry.compress = fields[0] == "c";
    entry.line = number;
    if (!common::decode_token(fields[1], entry.file) ||
        !common::decode_token(fields[2], entry.name)) {
      return ManifestError::kBadToken;
    }
    if (entry.file.find('\0') != std::string::npos) return ManifestError::kNulInPath;
    lines.push_back(std::move(entry));
  }
  return std::ferror(manifest) ? ManifestError::kReadError : ManifestError::kNone;
}

std::string manifest_line(bool compress, std::string_view file, std::string_view name) {
  return std::string(compress ? "c " : "u ") + common::encode_token(file) + " " +
         common::encode_token(name) + "\n";
}

std::string file_path(std::string_view manifest_path, std::string_view file) {
  const size_t slash = manifest_path.find_last_of(kSeparators);
  if (is_absolute(file) || slash == std::string_view::npos) return std::string(file);
  return std::string(manifest_path.substr(0, slash + 1)) + std::string(file);
}

}  // namespace pellux
