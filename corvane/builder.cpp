// Builder run sequence and file-list staging: every listed file goes into the staging file,
// stored as it is or as its length word plus a code stream, and gets a TocNode.
#include "builder.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "common/code_stream.h"
#include "common/le32.h"
#include "common/support.h"
#include "container.h"
#include "encoder.h"

namespace corvane {
namespace {

using common::fail;

constexpr const char* kStagingPath = "$_tempsol_$.dat";
// A listed file must be addressable with a signed 32-bit size.
constexpr int64_t kListedFileLimit = int64_t{1} << 31;

// Run state for the one run.
std::FILE* list_stream = nullptr;
const char* list_path = nullptr;
std::FILE* staging_stream = nullptr;
int64_t staged_bytes = 0;  // the staging file's write position
char command = '\0';       // what the last scan left: a short scan keeps the previous values
std::string path;
TocNode* head = nullptr;
TocNode* tail = nullptr;
int32_t entry_count = 0;

// Whitespace as the C locale defines it; never the locale-dependent isspace.
bool is_space(int ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// Scans one entry the way the pattern "%c %s\n" does: the very next character is the command
// whatever it is, then optional whitespace, then one whitespace-delimited path token, then all
// whitespace up to the next entry. A scan that runs into the end of the list stops there and
// leaves what it did not reach (the command and the path, or the path alone) as they were.
void scan_entry() {
  int ch = std::getc(list_stream);
  if (ch == EOF) return;
  command = static_cast<char>(ch);
  do {
    ch = std::getc(list_stream);
  } while (ch != EOF && is_space(ch));
  if (ch == EOF) return;
  std::string token;
  do {
    token.push_back(static_cast<char>(ch));
    ch = std::getc(list_stream);
  } while (ch != EOF && !is_space(ch));
  path = std::move(token);
  while (ch != EOF && is_space(ch)) ch = std::getc(list_stream);
  if (ch != EOF) std::ungetc(ch, list_stream);
}

[[noreturn]] void fail_container_too_large() {
  fail(1, "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n");
}

// Refuses an entry that would start at or end past what the offset words can address. The
// data area offset only grows with later entries, so counting this entry as the last one
// refuses as early as the sizes allow; load_and_fix checks again with the final count.
void check_container_room(int64_t entry_bytes) {
  const int64_t data_offset = data_area_offset(int64_t{entry_count} + 1);
  if (staged_bytes + data_offset >= kEntryOffsetLimit ||
      staged_bytes + entry_bytes + data_offset >= kContainerSizeLimit) {
    fail_container_too_large();
  }
}

struct ListedFile {
  std::unique_ptr<uint8_t[]> bytes;
  int64_t length;
};

// Reads the listed file at `path` whole. `stored_entry` says whether its bytes go into the
// container unchanged, so that a file too large for the container is refused before reading.
ListedFile read_listed_file(bool stored_entry) {
  const char* name = path.c_str();
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) fail(1, "Error -- can't open file %s\n", name);
  std::error_code error;
  // A directory opens, but has no length and no bytes to read.
  if (std::filesystem::is_directory(path, error)) fail(1, "Error reading file %s\n", name);
  const int64_t length = common::stream_length(file);
  if (length < 0) fail(1, "Error reading file %s\n", name);
  if (length >= kListedFileLimit) fail(1, "Error -- %s is too large (2 GiB or more)\n", name);
  check_container_room(stored_entry ? length : 0);

  ListedFile listed{common::allocate_bytes(length), length};
  if (!listed.bytes) fail(1, "Error -- Couldn't allocate buffer to copy %s.\n", name);
  const auto want = static_cast<size_t>(length);
  if (want > 0 && std::fread(listed.bytes.get(), 1, want, file) != want) {
    fail(1, "Error reading file %s\n", name);
  }
  std::fclose(file);
  return listed;
}

// Appends a node at the tail of the list. Nodes live until exit, reachable from `head`.
TocNode* append_node() {
  auto* node = new (std::nothrow) TocNode{0, 0, nullptr};
  if (node == nullptr) fail(1, "Error allocating memory for TOC list\n");
  if (head == nullptr) head = node;
  if (tail != nullptr) tail->next = node;
  tail = node;
  return node;
}

void write_staged(const uint8_t* bytes, int64_t count) {
  const auto want = static_cast<size_t>(count);
  if (want > 0 && std::fwrite(bytes, 1, want, staging_stream) != want) {
    fail(1, "Error writing %s to tempfile.\n", path.c_str());
  }
  staged_bytes += count;
}

void stage_stored() {
  const ListedFile listed = read_listed_file(true);
  TocNode* node = append_node();
  node->compressed = 0;
  node->offset = static_cast<int32_t>(staged_bytes);
  write_staged(listed.bytes.get(), listed.length);
  ++entry_count;
}

void stage_compressed() {
  const ListedFile listed = read_listed_file(false);
  auto stream = common::allocate_bytes(common::max_stream_size(listed.length) + 1);
  if (!stream) fail(1, "Error -- Couldn't allocate buffer to compress %s.\n", path.c_str());
  const int64_t stream_length = compress_buffer(stream.get(), listed.bytes.get(), listed.length);
  check_container_room(4 + stream_length);

  TocNode* node = append_node();
  node->compressed = 1;
  node->offset = static_cast<int32_t>(staged_bytes);
  uint8_t length_word[4];
  common::put_le32(length_word, static_cast<uint32_t>(listed.length));
  write_staged(length_word, sizeof length_word);
  write_staged(stream.get(), stream_length);
  ++entry_count;
}

// Stages every entry of the list. The end-of-file indicator is set only by a scan that ran
// into the end of the list; a read error ends the run instead, since the indicator would
// never come and the last entry would be dispatched again and again.
void read_list() {
  entry_count = 0;
  head = tail = nullptr;
  while (!std::feof(list_stream)) {
    scan_entry();
    if (std::ferror(list_stream)) fail(1, "Error reading file list '%s'\n", list_path);
    switch (command) {
      case 'c':
        stage_compressed();
        break;
      case 'u':
        stage_stored();
        break;
      default:
        std::printf("Warning - Unknown command '%c'. Ignoring\n", command);
        break;
    }
  }
}

}  // namespace

int run(int argc, char** argv) {
  std::printf("-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n");
  if (argc != 3) {
    std::printf("Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
    return 0;
  }
  list_path = argv[1];
  const char* container_path = argv[2];

  list_stream = std::fopen(list_path, "r");
  if (list_stream == nullptr) fail(1, "Can't open input file list '%s'\n", list_path);
  // Creating the container truncates it: refuse before that when it is the list itself.
  if (common::same_file(list_path, container_path)) {
    fail(1, "Output file '%s' is the same file as the input\n", container_path);
  }
  std::FILE* container = std::fopen(container_path, "w+b");
  if (container == nullptr) fail(1, "Can't open output file '%s'\n", container_path);
  staging_stream = std::fopen(kStagingPath, "wb");
  if (staging_stream == nullptr) fail(1, "Can't open temporary data file.\n");

  read_list();

  std::fclose(list_stream);
  // Closing writes out what the staging stream still buffers; a failure there loses data.
  if (std::fclose(staging_stream) != 0) fail(1, "Error writing temporary data file\n");
  staging_stream = std::fopen(kStagingPath, "rb");
  if (staging_stream == nullptr) {
    fail(1, "Error -- Can't re-open temporary data file for reading\n");
  }
  load_and_fix(staging_stream, staged_bytes, head, entry_count);
  std::fclose(staging_stream);
  write_container(container, container_path);
  if (std::fclose(container) != 0) fail(1, "Error writing output file '%s'\n", container_path);
  return 0;
}

}  // namespace corvane
