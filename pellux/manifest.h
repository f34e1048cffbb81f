// The manifest: the list pellux -u writes and pellux -c reads, one line per entry in archive
// order. A line is `c` or `u` (compress it or store it), the file to read, and the name to
// store, separated by blanks; the file and the name are tokens that carry any byte (common/
// escape.h: encode_token). Blank lines and lines that start with '#' are skipped; a line may end
// in CR LF.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace pellux {

// Where pellux -u puts the manifest in its folder, and the folder beside it that holds every
// entry's file, so that no entry can take the manifest's name.
constexpr const char* kManifestName = "manifest.txt";
constexpr const char* kFilesFolder = "files";

struct ManifestLine {
  bool compress = false;
  std::string file;  // as written: relative to the manifest's folder unless absolute
  std::string name;  // the exact bytes to store
  size_t line = 0;   // its number in the manifest, from 1
};

enum class ManifestError {
  kNone,
  kReadError,   // reading the manifest failed
  kBadCommand,  // a line that starts with neither `c` nor `u`
  kFields,      // a line without exactly a file and a name after its command
  kBadToken,    // a '%' not followed by two hex digits
  kNulInPath,   // a file path with a NUL byte, which no file system takes
};

// Reads every line; on an error `bad_line` is the number of the line at fault.
ManifestError read_manifest(std::FILE* manifest, std::vector<ManifestLine>& lines,
                            size_t& bad_line);

// The line for one entry, with its line end.
std::string manifest_line(bool compress, std::string_view file, std::string_view name);

// The first line pellux -u writes, saying what the lines hold.
constexpr const char* kManifestHeader =
    "# pellux manifest: c (compress) or u (store), the file to read, the name to store;\n"
    "# any space, '%' or byte that is not UTF-8 is written as %XX\n";

// The path of the file a line names, for a manifest at `manifest_path`: a relative path is
// taken from the manifest's own folder.
std::string file_path(std::string_view manifest_path, std::string_view file);

}  // namespace pellux
