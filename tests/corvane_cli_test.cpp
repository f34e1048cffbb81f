// The built corvane, run in a scratch folder: standard output byte for byte, exit status and
// the files left behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fstream>

#include <thread>

#include "fst_writer.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;

const std::string kBanner =
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n";
const std::string kStaging = "$_tempsol_$.dat";
const std::vector<std::string> kArgs = {"list", "out.sol"};

ToolRun corvane(const ScratchDir& dir, const std::vector<std::string>& args,
                ToolOptions options = {}) {
  options.cwd = dir.path();
  return run_tool(tool_path("CORVANE_TOOL", CORVANE_PATH), args, options);
}

struct Entry {
  bool compressed;
  std::string bytes;
};

// The data area as the staging file must hold it: stored entries as they are, compressed ones
// as their length word and their code stream.
std::string data_area(const std::vector<Entry>& entries) {
  std::string data;
  for (const Entry& e : entries) {
    data += e.compressed ? le32_bytes(static_cast<uint32_t>(e.bytes.size())) + encode(e.bytes)
                         : e.bytes;
  }
  return data;
}

// The container laid out from scratch: checksum, data area offset, offset words, data area.
std::string expected_container(const std::vector<Entry>& entries) {
  const auto d = static_cast<uint32_t>(8 + 4 * entries.size());
  std::string body = le32_bytes(d);
  uint32_t position = d;
  for (const Entry& e : entries) {
    body += le32_bytes(position | (e.compressed ? 0x40000000u : 0));
    position += static_cast<uint32_t>(data_area({e}).size());
  }
  body += data_area(entries);
  uint32_t sum = 0;
  for (const char byte : body) sum += static_cast<uint8_t>(byte);
  return le32_bytes(sum) + body;
}

// Each row: the list, the entries the container must hold, and the warnings. Every folder
// holds a.bin and b.bin. The list is scanned like "%c %s\n": the command is the very next
// character, entries may be glued or share a line, and a scan cut short keeps what it did not
// reach.
TEST(CorvaneCliTest, BuildsTheContainerTheListDescribes) {
  const std::string a = "first file", b = random_bytes(5000, 1);
  const std::string proc_version = read_file("/proc/version");
  const struct {
    std::string list;
    std::vector<Entry> entries;
    std::string messages;
    std::string container = "";  // as the manual shows it, byte for byte
    std::string windows = "";    // see row_holds
  } cases[] = {
      {"", {}, "Warning - Unknown command '\0'. Ignoring\n"s, "\x08\0\0\0\x08\0\0\0"s},
      {"u abc.txt\n", {{false, "abc"}}, "", "\x3E\x01\0\0\x0C\0\0\0\x0C\0\0\0abc"s},
      {"c abc.txt\n",
       {{true, "abc"}},
       "",
       "\xE2\x01\0\0\x0C\0\0\0\x0C\0\0\x40\x03\0\0\0\x00\xC3\x88\x19\x13\x10"s},
      {"ca.bin", {{true, a}}, ""},
      {"c a.bin u b.bin", {{true, a}, {false, b}}, ""},
      {"c a.bin\r\nu b.bin\r\n\r\n\n", {{true, a}, {false, b}}, ""},
      {"c a.bin\t\n\n  u \t b.bin", {{true, a}, {false, b}}, ""},
      {"c a.bin\nu", {{true, a}, {false, a}}, ""},  // the last scan keeps the previous path
      {"c a.bin\nu\n\n", {{true, a}, {false, a}}, ""},
      {"x data.bin\nu b.bin\n", {{false, b}}, "Warning - Unknown command 'x'. Ignoring\n"},
      {"C a.bin\nU b.bin\n",
       {},
       "Warning - Unknown command 'C'. Ignoring\nWarning - Unknown command 'U'. Ignoring\n"},
      // A leading line break is itself the command; the path token is then "c".
      {"\nc a.bin\n",
       {},
       "Warning - Unknown command '\n'. Ignoring\nWarning - Unknown command 'a'. Ignoring\n"},
      {"u ./" + std::string(2000, '/') + "b.bin\n", {{false, b}}, ""},
      {"c b.bin\nu empty\nc empty\nu a.bin\nc b.bin\n",
       {{true, b}, {false, ""}, {true, ""}, {false, a}, {true, b}},
       ""},
      // A file whose length reads as 0 is still read to its end.
      {"u /proc/version\n", {{false, proc_version}}, ""},
      {"c a.bin\r\n\x1Au b.bin\r\n", {{true, a}}, "", "", "only: the list is read in text mode"},
  };
  for (const auto& c : cases) {
    if (!row_holds(c.list, c.windows)) continue;
    ScratchDir dir;
    write_file(dir / "a.bin", a);
    write_file(dir / "b.bin", b);
    write_file(dir / "empty", "");
    write_file(dir / "abc.txt", "abc");
    write_file(dir / "list", c.list);
    const ToolRun run = corvane(dir, kArgs);
    EXPECT_TRUE(c.container.empty() || read_file(dir / "out.sol") == c.container) << c.list;
    EXPECT_EQ(run.output, kBanner + c.messages) << "list: " << c.list;
    EXPECT_EQ(run.status, 0) << "list: " << c.list;
    EXPECT_EQ(read_file(dir / "out.sol"), expected_container(c.entries)) << "list: " << c.list;
    // The staging file stays behind holding exactly the data area.
    EXPECT_EQ(read_file(dir / kStaging), data_area(c.entries)) << "list: " << c.list;
    // Unpacking the container gives the files and a list that rebuild it byte for byte.
    EXPECT_EQ(corvane(dir, {"-x", "out.sol", "unpacked"}).status, 0);
    ToolOptions in_unpacked;
    in_unpacked.cwd = dir / "unpacked";
    EXPECT_EQ(run_tool(tool_path("CORVANE_TOOL", CORVANE_PATH), {"list.txt", "../rebuilt.sol"},
                       in_unpacked)
                  .status,
              0);
    EXPECT_EQ(read_file(dir / "rebuilt.sol"), read_file(dir / "out.sol")) << "list: " << c.list;
  }
}

// One row per way a run can fail: the list, the command line, what the run prints after the
// banner (its status is always 1), and what the folder holds afterwards besides what the row
// made. Every folder holds a.bin ("some bytes") and outside.txt; a row may add big.bin (zeros,
// sparse), a folder and a symbolic link.
struct FailureCase {
  std::string what;
  std::string list;
  std::vector<std::string> args;
  std::string message;
  std::map<std::string, int64_t> left_behind;
  uint64_t big_size = 0;
  std::string folder = "";
  std::pair<std::string, std::string> link = {};
  ToolOptions options = {};
  std::string staging = "";  // "fifo", or "hard link" to outside.txt
  std::string windows = "";  // see row_holds
};

void run_failure_cases(const std::vector<FailureCase>& cases) {
  for (const FailureCase& c : cases) {
    if (!row_holds(c.what, c.windows)) continue;
    ScratchDir dir;
    write_file(dir / "a.bin", "some bytes");
    write_file(dir / "outside.txt", "not to be touched");
    write_file(dir / "list", c.list);
    if (c.big_size > 0) make_sparse_file(dir / "big.bin", c.big_size);
    if (!c.folder.empty()) std::filesystem::create_directory(dir / c.folder);
    if (!c.link.first.empty()) std::filesystem::create_symlink(c.link.second, dir / c.link.first);
    if (c.staging == "fifo") mkfifo((dir / kStaging).c_str(), 0666);
    if (c.staging == "hard link")
      std::filesystem::create_hard_link(dir / "outside.txt", dir / kStaging);
    auto expected = folder_listing(dir.path());
    // A sanitizer's runtime needs more address space than such a limit leaves.
    if (kSanitized && c.options.address_space_limit != 0) continue;
    const ToolRun run = corvane(dir, c.args, c.options);
    EXPECT_EQ(run.output, c.options.closed_stdio ? "" : kBanner + c.message) << c.what;
    EXPECT_EQ(run.status, 1) << c.what;
    for (const auto& [name, size] : c.left_behind) expected[name] = size;
    EXPECT_EQ(folder_listing(dir.path()), expected) << c.what;
    EXPECT_EQ(read_file(dir / "outside.txt"), "not to be touched") << c.what;
  }
}

const std::string kTooLarge =
    "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n";

TEST(CorvaneCliTest, ReportsEveryFailureWithStatus1) {
  const uint64_t two_gib = uint64_t{1} << 31;
  const std::map<std::string, int64_t> empty_outputs = {{"out.sol", 0}, {kStaging, 0}};
  const std::string same = "Output file 'out.sol' is the same file as the input\n";
  ToolOptions small_files;
  small_files.file_size_limit = 50000;
  ToolOptions closed, small_memory;
  closed.closed_stdio = true;
  small_memory.address_space_limit = 160 << 20;
  // One thread: every worker thread's own allocator arena takes address space too.
  const std::vector<std::string> one_thread = {"-j1", "list", "out.sol"};
  // clang-format off
  run_failure_cases({
      {"list missing", "", {"nolist", "out.sol"}, "Can't open input file list 'nolist'\n", {}},
      {"list is a folder", "", {"sub", "out.sol"}, "Error reading file list 'sub'\n", {}, 0, "sub", {}, {}, "", "skip: on Windows fopen refuses a folder; next row"},
      {"list is a folder, Windows", "", {"sub", "out.sol"}, "Can't open input file list 'sub'\n", {}, 0, "sub", {}, {}, "", "only: fopen refuses a folder"},
      {"list is endless zeros", "", {"/dev/zero", "out.sol"}, "Error reading file list '/dev/zero'\n", {}},
      {"list is the staging file", "", kArgs, "Input file list 'list' is the temporary data file\n", {}, 0, "", {kStaging, "list"}},
      {"container is the list", "c a.bin\n", {"list", "./list"}, "Output file './list' is the same file as the input\n", {}},
      {"container is the list through a link", "c a.bin\n", {"list", "out.sol"}, same, {}, 0, "", {"out.sol", "list"}},
      {"container is a listed file", "u a.bin\n", {"list", "a.bin"}, "Output file 'a.bin' is the same file as the input\n", {}},
      {"container is a listed file through a link", "u outside.txt\n", kArgs, same, {}, 0, "", {"out.sol", "outside.txt"}},
      {"container is the staging file", "u a.bin\n", {"list", kStaging}, "Output file '" + kStaging + "' is the temporary data file\n", {{kStaging, 0}}},
      {"container is the staging file, a link", "u a.bin\n", {"list", kStaging}, "Output file '" + kStaging + "' is the temporary data file\n", {}, 0, "", {kStaging, "outside.txt"}},
      {"container folder missing", "c a.bin\n", {"list", "no/out.sol"}, "Can't open output file 'no/out.sol'\n", {}},
      {"staging file is a folder", "c a.bin\n", kArgs, "Can't open temporary data file.\n", {{"out.sol", 0}}, 0, kStaging},
      {"staging file is a planted link", "c a.bin\n", kArgs, "Can't open temporary data file.\n", {{"out.sol", 0}}, 0, "", {kStaging, "outside.txt"}, {}, "", kWineFollowsLinks},
      {"staging file is a FIFO", "c a.bin\n", kArgs, "Can't open temporary data file.\n", {{"out.sol", 0}}, 0, "", {}, {}, "fifo"},
      {"staging file is another file's second name", "c a.bin\n", kArgs, "Can't open temporary data file.\n", {{"out.sol", 0}}, 0, "", {}, {}, "hard link"},
      {"listed file missing", "u a.bin\nc missing.bin\n", kArgs, "Error -- can't open file missing.bin\n", {{"out.sol", 0}, {kStaging, 10}}},
      {"list holds only u", "u", kArgs, "Error -- can't open file \n", empty_outputs},
      {"listed file is a folder", "u sub\n", kArgs, "Error reading file sub\n", empty_outputs, 0, "sub", {}, {}, "", "skip: on Windows fopen refuses a folder; next row"},
      {"listed file is a folder, Windows", "u sub\n", kArgs, "Error -- can't open file sub\n", empty_outputs, 0, "sub", {}, {}, "", "only: fopen refuses a folder"},
      {"listed file is a device", "c /dev/zero\n", kArgs, "Error reading file /dev/zero\n", empty_outputs},
      {"listed file of 2 GiB", "c big.bin\n", kArgs, "Error -- big.bin is too large (2 GiB or more)\n", empty_outputs, two_gib},
      // A 32-bit size would read as 100 bytes. Names in UTF-8 on the command line and in the list.
      {"listed file of 4 GiB + 100 bytes", "c été.bin\n", {"list", "ünï.sol"}, "Error -- été.bin is too large (2 GiB or more)\n", {{"ünï.sol", 0}, {kStaging, 0}}, 2 * two_gib + 100, "", {"été.bin", "big.bin"}},
      {"container would reach 2 GiB", "u big.bin\n", kArgs, kTooLarge, empty_outputs, two_gib - 12},
      {"staging write fails", "u big.bin\n", {"list", "/dev/null"}, "Error writing big.bin to tempfile.\n", {{kStaging, 50000}}, 100000, "", {}, small_files},
      {"staging close fails", "c a.bin\nu big.bin\n", {"list", "/dev/null"}, "Error writing temporary data file\n", {{kStaging, 50000}}, 49990, "", {}, small_files},
      {"container write fails", "c a.bin\n", {"list", "/dev/full"}, "Error writing output file '/dev/full'\n", {{kStaging, 18}}},
      {"container write fails at its size limit", "u big.bin\n", kArgs, "Error writing output file 'out.sol'\n", {{"out.sol", 0}, {kStaging, 49995}}, 49995, "", {}, small_files},
      // With standard output closed the messages go nowhere; they must not go into a file.
      {"standard output closed", "x data\nu a.bin\nc missing\n", kArgs, "", {{"out.sol", 0}, {kStaging, 10}}, 0, "", {}, closed},
      {"no memory for a listed file", "u big.bin\n", one_thread, "Error -- Couldn't allocate buffer to copy big.bin.\n", empty_outputs, 512 << 20, "", {}, small_memory, "", kWineNeedsAddressSpace},
      {"no memory for a code stream", "c big.bin\n", one_thread, "Error -- Couldn't allocate buffer to compress big.bin.\n", empty_outputs, 64 << 20, "", {}, small_memory, "", kWineNeedsAddressSpace},
  });
  // clang-format on
}

// Whatever the thread count, a run prints, returns and leaves exactly what one thread does:
// also when it fails in mid-list with work done ahead for the entries after.
TEST(CorvaneCliTest, AnyThreadCountBuildsWhatOneThreadBuilds) {
  std::string list;
  for (int i = 0; i < 40; ++i) {
    list += (i % 3 == 0 ? "u f" : "c f") + std::to_string(i) + (i % 7 == 3 ? " x junk " : "\n");
  }
  const std::string lists[] = {list, list + "u missing\n" + list, list + "c sub\n" + list,
                               "u f1\nc f2\nu big.bin\n" + list};
  for (const std::string& l : lists) {
    std::string first;
    for (const std::string threads : {"-j1", "-j4"}) {
      ScratchDir dir;
      for (int i = 0; i < 40; ++i) {
        const auto size = static_cast<size_t>(i * i * i) % 300000;
        write_file(dir / std::string("f").append(std::to_string(i)),
                   i % 2 ? text_like(size, static_cast<uint32_t>(i)) : random_bytes(size, 9));
      }
      std::filesystem::create_directory(dir / "sub");
      make_sparse_file(dir / "big.bin", (uint64_t{1} << 31) - 20);  // never fits as entry 3
      write_file(dir / "list", l);
      const ToolRun run = corvane(dir, {threads, "list", "out.sol"});
      std::string seen = run.output + std::to_string(run.status) + read_file(dir / "out.sol") +
                         read_file(dir / kStaging);
      for (const auto& [name, size] : folder_listing(dir.path()))
        seen += name + std::to_string(size);
      if (first.empty()) first = seen;
      EXPECT_TRUE(seen == first) << threads << " differs from -j1 for the list\n" << l;
    }
  }
}

// Two runs in one folder at once share the staging file; neither may see the other's data.
TEST(CorvaneCliTest, RunsInOneFolderAtOnceNeverMix) {
  ScratchDir dir;
  const std::vector<Entry> first = {{true, text_like(3000000, 1)}};
  const std::vector<Entry> second = {{false, random_bytes(2000000, 2)}, {true, text_like(1000, 3)}};
  write_file(dir / "one", first[0].bytes);
  write_file(dir / "two", second[0].bytes);
  write_file(dir / "three", second[1].bytes);
  write_file(dir / "list1", "c one\n");
  write_file(dir / "list2", "u two\nc three\n");
  for (int round = 0; round < 8; ++round) {
    ToolRun one, two;
    std::thread other([&] { one = corvane(dir, {"list1", "one.sol"}); });
    two = corvane(dir, {"list2", "two.sol"});
    other.join();
    ASSERT_EQ(one.status, 0);
    ASSERT_EQ(two.status, 0);
    ASSERT_EQ(read_file(dir / "one.sol"), expected_container(first)) << "round " << round;
    ASSERT_EQ(read_file(dir / "two.sol"), expected_container(second)) << "round " << round;
    const std::string staged = read_file(dir / kStaging);
    ASSERT_TRUE(staged == data_area(first) || staged == data_area(second));
  }
}

}  // namespace
