// The built corvane, run in a scratch folder: standard output byte for byte, exit status and
// the files left behind.
#include <gtest/gtest.h>

#include "cli_support.h"
#include "fst_writer.h"

namespace {

using namespace testing_support;
using namespace tools;
using namespace std::string_literals;

const std::string kBanner =
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n";
const std::string kStaging = "$_tempsol_$.dat";

ToolRun corvane(const ScratchDir& dir, const std::vector<std::string>& args,
                ToolOptions options = {}) {
  return run_in(CORVANE_PATH, dir, args, std::move(options));
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
    data += e.compressed
                ? le32_bytes(static_cast<uint32_t>(e.bytes.size())) + encode_stream(e.bytes)
                : e.bytes;
  }
  return data;
}

// The container laid out from scratch: checksum, data area offset, offset words, data area.
std::string expected_container(const std::vector<Entry>& entries) {
  const auto d = static_cast<uint32_t>(8 + 4 * entries.size());
  std::string header = le32_bytes(d);
  uint32_t position = d;
  for (const Entry& e : entries) {
    header += le32_bytes(position | (e.compressed ? 0x40000000u : 0));
    position += static_cast<uint32_t>(data_area({e}).size());
  }
  const std::string body = header + data_area(entries);
  uint32_t sum = 0;
  for (const char byte : body) sum += static_cast<uint8_t>(byte);
  return le32_bytes(sum) + body;
}

TEST(CorvaneCliTest, PrintsUsageForAnyOtherArgumentCount) {
  const std::vector<std::string> arg_lists[] = {{}, {"list"}, {"list", "out", "extra"}};
  for (const auto& args : arg_lists) {
    ScratchDir dir;
    const ToolRun run = corvane(dir, args);
    EXPECT_EQ(run.output,
              kBanner + "Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(folder_listing(dir.path()).empty());
  }
}

TEST(CorvaneCliTest, WritesTheKnownContainers) {
  const std::string abc_stream = "\x00\xC3\x88\x19\x13\x10"s;
  const struct {
    std::string list;
    std::string container;
    std::string messages;
  } cases[] = {
      {"", "\x08\0\0\0\x08\0\0\0"s, "Warning - Unknown command '\0'. Ignoring\n"s},
      {"u abc.txt\n", "\x3E\x01\0\0\x0C\0\0\0\x0C\0\0\0abc"s, ""},
      {"c abc.txt\n", "\xE2\x01\0\0\x0C\0\0\0\x0C\0\0\x40\x03\0\0\0"s + abc_stream, ""},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    write_file(dir / "abc.txt", "abc");
    write_file(dir / "list", c.list);
    const ToolRun run = corvane(dir, {"list", "out.sol"});
    EXPECT_EQ(run.output, kBanner + c.messages);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(dir / "out.sol"), c.container);
    // The staging file stays behind holding exactly the data area.
    EXPECT_EQ(read_file(dir / kStaging), c.container.substr(c.container.size() == 8 ? 8 : 12));
  }
}

TEST(CorvaneCliTest, LaysOutMixedEntriesInListOrder) {
  ScratchDir dir;
  const std::vector<Entry> entries = {
      {true, random_bytes(5000, 1)},   {false, "stored bytes"},     {false, ""}, {true, ""},
      {true, std::string(70000, 'k')}, {false, random_bytes(3, 2)},
  };
  std::string list;
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string name = "f";
    name += std::to_string(i);
    write_file(dir / name, entries[i].bytes);
    list += entries[i].compressed ? "c " : "u ";
    list += name + "\n";
  }
  write_file(dir / "list", list);
  const ToolRun run = corvane(dir, {"list", "out.sol"});
  EXPECT_EQ(run.output, kBanner);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir / "out.sol"), expected_container(entries));
  EXPECT_EQ(read_file(dir / kStaging), data_area(entries));
}

TEST(CorvaneCliTest, ChecksumWrapsAround) {
  ScratchDir dir;
  const std::string ones(17 * 1024 * 1024, '\xFF');  // byte sum above 2^32
  write_file(dir / "ff.bin", ones);
  write_file(dir / "list", "u ff.bin\n");
  ASSERT_EQ(corvane(dir, {"list", "out.sol"}).status, 0);
  const std::string container = read_file(dir / "out.sol");
  const uint64_t sum = 12 + 12 + uint64_t{255} * ones.size();
  ASSERT_GT(sum, uint64_t{1} << 32);
  EXPECT_EQ(container.substr(0, 4), le32_bytes(static_cast<uint32_t>(sum)));
}

// The list is scanned like "%c %s\n": the command is the very next character, entries may be
// glued or share a line, and a scan cut short keeps what it did not reach.
TEST(CorvaneCliTest, ScansTheListLikeItsFormat) {
  const std::string a = "first file", b = "second";
  const struct {
    std::string list;
    std::vector<Entry> entries;
    std::string messages;
  } cases[] = {
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
      {"u ./" + std::string(2000, '/') + "b.bin\n",
       {{false, b}},
       ""},  // no limit on a path's length
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    write_file(dir / "a.bin", a);
    write_file(dir / "b.bin", b);
    write_file(dir / "list", c.list);
    const ToolRun run = corvane(dir, {"list", "out.sol"});
    EXPECT_EQ(run.output, kBanner + c.messages) << "list: " << c.list;
    EXPECT_EQ(run.status, 0) << "list: " << c.list;
    EXPECT_EQ(read_file(dir / "out.sol"), expected_container(c.entries)) << "list: " << c.list;
  }
}

// One row per message that can be provoked from outside: the list, the command line, what
// the run prints after the banner (its status is always 1), and what the folder holds
// afterwards besides what the row made. Every folder holds a.bin ("some bytes"); a row may
// add big.bin (zeros, sparse), a folder, and the staging file as a link.
struct FailureCase {
  std::string what;
  std::string list;
  std::vector<std::string> args;
  std::string message;
  std::map<std::string, int64_t> left_behind;
  uint64_t big_size = 0;
  std::string folder = "";
  std::string staging_link = "";
};

void run_failure_cases(const std::vector<FailureCase>& cases, const ToolOptions& options = {}) {
  for (const FailureCase& c : cases) {
    ScratchDir dir;
    write_file(dir / "a.bin", "some bytes");
    write_file(dir / "list", c.list);
    if (c.big_size > 0) make_sparse_file(dir / "big.bin", c.big_size);
    if (!c.folder.empty()) std::filesystem::create_directory(dir / c.folder);
    if (!c.staging_link.empty()) std::filesystem::create_symlink(c.staging_link, dir / kStaging);
    auto expected = folder_listing(dir.path());
    const ToolRun run = corvane(dir, c.args, options);
    EXPECT_EQ(run.output, kBanner + c.message) << c.what;
    EXPECT_EQ(run.status, 1) << c.what;
    for (const auto& [name, size] : c.left_behind) expected[name] = size;
    EXPECT_EQ(folder_listing(dir.path()), expected) << c.what;
  }
}

const std::vector<std::string> kArgs = {"list", "out.sol"};
const std::string kTooLarge =
    "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n";

TEST(CorvaneCliTest, ReportsEveryFailureWithStatus1) {
  const auto staged_a = static_cast<int64_t>(4 + encode_stream("some bytes").size());
  const uint64_t two_gib = uint64_t{1} << 31;
  const std::map<std::string, int64_t> empty_outputs = {{"out.sol", 0}, {kStaging, 0}};
  // clang-format off
  run_failure_cases({
      {"list missing", "", {"nolist", "out.sol"}, "Can't open input file list 'nolist'\n", {}},
      {"list is a folder", "", {"sub", "out.sol"}, "Error reading file list 'sub'\n", empty_outputs, 0, "sub"},
      {"container is the list", "c a.bin\n", {"list", "./list"}, "Output file './list' is the same file as the input\n", {}},
      {"container folder missing", "c a.bin\n", {"list", "no/out.sol"}, "Can't open output file 'no/out.sol'\n", {}},
      {"staging file is a folder", "c a.bin\n", kArgs, "Can't open temporary data file.\n", {{"out.sol", 0}}, 0, kStaging},
      {"listed file missing", "u a.bin\nc missing.bin\n", kArgs, "Error -- can't open file missing.bin\n", {{"out.sol", 0}, {kStaging, 10}}},
      {"list holds only u", "u", kArgs, "Error -- can't open file \n", empty_outputs},
      {"listed file is a folder", "u sub\n", kArgs, "Error reading file sub\n", empty_outputs, 0, "sub"},
      {"staging write fails", "u big.bin\n", kArgs, "Error writing big.bin to tempfile.\n", {{"out.sol", 0}}, 100000, "", "/dev/full"},
      {"staging close fails", "c a.bin\n", kArgs, "Error writing temporary data file\n", {{"out.sol", 0}}, 0, "", "/dev/full"},
      {"staging file loses its data", "c a.bin\n", kArgs, "Error reading temporary data file into memory\n", {{"out.sol", 0}}, 0, "", "/dev/null"},
      {"container close fails", "c a.bin\n", {"list", "/dev/full"}, "Error writing output file '/dev/full'\n", {{kStaging, staged_a}}},
      {"container write fails", "u big.bin\n", {"list", "/dev/full"}, "Error writing output file '/dev/full'\n", {{kStaging, 100000}}, 100000},
      {"listed file of 2 GiB", "c big.bin\n", kArgs, "Error -- big.bin is too large (2 GiB or more)\n", empty_outputs, two_gib},
      {"container would reach 2 GiB", "u big.bin\n", kArgs, kTooLarge, empty_outputs, two_gib - 12},
  });
  // clang-format on
}

TEST(CorvaneCliTest, RefusesAContainerThatIsTheListThroughALink) {
  ScratchDir dir;
  write_file(dir / "list", "c list\n");
  std::filesystem::create_symlink("list", dir / "link");
  const ToolRun run = corvane(dir, {"list", "link"});
  EXPECT_EQ(run.output, kBanner + "Output file 'link' is the same file as the input\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(read_file(dir / "list"), "c list\n");
}

TEST(CorvaneCliTest, ReportsTheStagingFileThatCannotBeReopened) {
  if (kSanitized) GTEST_SKIP() << "the fault shim cannot be preloaded before the sanitizer runtime";
  ScratchDir dir;
  write_file(dir / "a.bin", "some bytes");
  write_file(dir / "list", "c a.bin\n");
  const ToolRun run = run_with_failing_fopen(CORVANE_PATH, dir, kArgs, kStaging, "rb");
  EXPECT_EQ(run.output, kBanner + "Error -- Can't re-open temporary data file for reading\n");
  EXPECT_EQ(run.status, 1);
}

TEST(CorvaneCliTest, ReportsAllocationFailures) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit";
  const uint64_t mib = 1 << 20;
  ToolOptions limited;
  limited.address_space_limit = 160 * mib;
  const std::map<std::string, int64_t> empty_outputs = {{"out.sol", 0}, {kStaging, 0}};
  // clang-format off
  run_failure_cases({
      {"listed file", "u big.bin\n", kArgs, "Error -- Couldn't allocate buffer to copy big.bin.\n", empty_outputs, 512 * mib},
      {"code stream", "c big.bin\n", kArgs, "Error -- Couldn't allocate buffer to compress big.bin.\n", empty_outputs, 64 * mib},
      {"staged data", "u big.bin u big.bin u big.bin\n", kArgs, "Error -- Couldn't allocate buffer to copy the temp data\n",
       {{"out.sol", 0}, {kStaging, int64_t{180} * int64_t{mib}}}, 60 * mib},
  }, limited);
  // clang-format on
}

// An entry that would start at 1 GiB or later is refused before its file is read. This needs
// 1 GiB of real disk for the staging file.
TEST(CorvaneCliTest, RefusesAnEntryStartingAt1GiB) {
  const uint64_t gib = uint64_t{1} << 30;
  if (scratch_free_bytes() < 3 * gib) GTEST_SKIP() << "needs 3 GiB of free disk";
  run_failure_cases({{"entry at 1 GiB",
                      "u big.bin\nc a.bin\n",
                      kArgs,
                      kTooLarge,
                      {{"out.sol", 0}, {kStaging, static_cast<int64_t>(gib)}},
                      gib}});
}

}  // namespace
