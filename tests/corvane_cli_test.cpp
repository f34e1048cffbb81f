// The built corvane, run in a scratch folder: standard output byte for byte, exit status and
// the files left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "fst/writer.h"

#include "stream_model.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;

const std::string kBanner =
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n";
const std::string kStaging = "$_tempsol_$.dat";
const std::string kPelluxBanner =
    "-- pellux -- read and extract a file from an FST or DPK file --\n\n";
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

// A container of the given words after the checksum word, then `data`; the checksum word is
// the sum of the bytes after it plus `checksum_error`.
std::string container(const std::vector<uint32_t>& words, const std::string& data,
                      uint32_t checksum_error = 0) {
  std::string body;
  for (const uint32_t word : words) body += le32_bytes(word);
  body += data;
  uint32_t sum = checksum_error;
  for (const char byte : body) sum += static_cast<uint8_t>(byte);
  return le32_bytes(sum) + body;
}

// The container laid out from scratch: data area offset, offset words, data area.
std::string expected_container(const std::vector<Entry>& entries) {
  std::vector<uint32_t> words{static_cast<uint32_t>(8 + 4 * entries.size())};
  std::string data;
  for (const Entry& e : entries) {
    words.push_back(static_cast<uint32_t>(words[0] + data.size()) |
                    (e.compressed ? 0x40000000u : 0));
    data += data_area({e});
  }
  return container(words, data);
}

// Each row: the list, the entries the container must hold, and the warnings. Every folder
// holds a.bin and b.bin. The list is scanned like "%c %s\n": the command is the very next
// character, entries may be glued or share a line, and a scan cut short keeps what it did not
// reach.
TEST(CorvaneCliTest, BuildsTheContainerTheListDescribes) {
  const std::string a = "first file", b = random_bytes(70000, 1);
  const std::string proc_version = read_file("/proc/version");
  const struct {
    std::string list;
    std::vector<Entry> entries;
    std::string messages;
    std::string container = "";  // as the manual shows it, byte for byte
    std::string windows = "";    // see row_holds
  } cases[] = {
      // clang-format off
      {"", {}, "Warning - Unknown command '\0'. Ignoring\n"s, "\x08\0\0\0\x08\0\0\0"s},
      {"u abc.txt\n", {{false, "abc"}}, "", "\x3E\x01\0\0\x0C\0\0\0\x0C\0\0\0abc"s},
      {"c abc.txt\n", {{true, "abc"}}, "", "\xE2\x01\0\0\x0C\0\0\0\x0C\0\0\x40\x03\0\0\0\x00\xC3\x88\x19\x13\x10"s},
      {"ca.bin", {{true, a}}, ""},
      {"c a.bin u b.bin", {{true, a}, {false, b}}, ""},
      {"c a.bin\r\nu b.bin\r\n\r\n\n", {{true, a}, {false, b}}, ""},
      {"c a.bin\t\n\n  u \t b.bin", {{true, a}, {false, b}}, ""},
      {"c a.bin\nu", {{true, a}, {false, a}}, ""},  // the last scan keeps the previous path
      {"c a.bin\nu\n\n", {{true, a}, {false, a}}, ""},
      {"x data.bin\nu b.bin\n", {{false, b}}, "Warning - Unknown command 'x'. Ignoring\n"},
      {"C a.bin\nU b.bin\n", {}, "Warning - Unknown command 'C'. Ignoring\nWarning - Unknown command 'U'. Ignoring\n"},
      // A leading line break is itself the command; the path token is then "c".
      {"\nc a.bin\n", {}, "Warning - Unknown command '\n'. Ignoring\nWarning - Unknown command 'a'. Ignoring\n"},
      {"u ./" + std::string(2000, '/') + "b.bin\n", {{false, b}}, ""},
      {"c b.bin\nu empty\nc empty\nu a.bin\nc b.bin\n", {{true, b}, {false, ""}, {true, ""}, {false, a}, {true, b}}, ""},
      // A file whose length reads as 0 is still read to its end.
      {"u /proc/version\n", {{false, proc_version}}, ""},
      {"c a.bin\r\n\x1Au b.bin\r\n", {{true, a}}, "", "", "only: the list is read in text mode"},
      // clang-format on
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
    const ToolOptions in_unpacked{.cwd = dir / "unpacked"};
    const std::string program = tool_path("CORVANE_TOOL", CORVANE_PATH);
    EXPECT_EQ(run_tool(program, {"list.txt", "../rebuilt.sol"}, in_unpacked).status, 0);
    EXPECT_EQ(read_file(dir / "rebuilt.sol"), read_file(dir / "out.sol")) << "list: " << c.list;
  }
}

// One row per way a run can fail; its status is always 1. Every folder holds a.bin and
// outside.txt besides what the row makes.
TEST(CorvaneCliTest, ReportsEveryFailureWithStatus1) {
  const std::string
      two_gib = "<zeros>2147483648:",
      too_large =
          "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n";
  const std::map<std::string, std::string> empty_outputs = {{"out.sol", ""}, {kStaging, ""}};
  const std::string same = "Output file 'out.sol' is the same file as the input\n";
  const std::string no_staging = "Can't open temporary data file.\n",
                    mib = "<zeros>1048577:", staged_a = data_area({{true, "some bytes"}});
  const ToolOptions small_files{.file_size_limit = 50000}, closed{.closed_stdio = true};
  const ToolOptions small_memory{.address_space_limit = 160 << 20};
  // One thread: each worker's allocator arena takes address space too, and a worker may read a
  // file ahead before the staged bytes show that it cannot fit.
  const std::vector<std::string> one_thread = {"-j1", "list", "out.sol"};
  const auto list = [](const std::string& text) {
    return std::pair<const std::string, std::string>{"list", text};
  };
  // clang-format off
  run_cli_cases(tool_path("CORVANE_TOOL", CORVANE_PATH), kBanner, {{"a.bin", "some bytes"}, {"outside.txt", "not to be touched"}}, {
      {"list missing", {}, {"nolist", "out.sol"}, "Can't open input file list 'nolist'\n", 1},
      {"list is a folder", {{"sub", "<folder>"}}, {"sub", "out.sol"}, "Error reading file list 'sub'\n", 1, {}, {}, "skip: on Windows fopen refuses a folder; next row"},
      {"list is a folder, Windows", {{"sub", "<folder>"}}, {"sub", "out.sol"}, "Can't open input file list 'sub'\n", 1, {}, {}, "only: fopen refuses a folder"},
      {"list is endless zeros", {}, {"/dev/zero", "out.sol"}, "Error reading file list '/dev/zero'\n", 1},
      {"list is the staging file", {list(""), {kStaging, "<link>list"}}, kArgs, "Input file list 'list' is the temporary data file\n", 1},
      {"container is the list", {list("c a.bin\n")}, {"list", "./list"}, "Output file './list' is the same file as the input\n", 1},
      {"container is the list through a link", {list("c a.bin\n"), {"out.sol", "<link>list"}}, kArgs, same, 1},
      {"container is a listed file", {list("u a.bin\n")}, {"list", "a.bin"}, "Output file 'a.bin' is the same file as the input\n", 1},
      {"container is a listed file through a link", {list("u outside.txt\n"), {"out.sol", "<link>outside.txt"}}, kArgs, same, 1},
      {"container is the staging file", {list("u a.bin\n")}, {"list", kStaging}, "Output file '" + kStaging + "' is the temporary data file\n", 1, {{kStaging, ""}}},
      {"container is the staging file, a link", {list("u a.bin\n"), {kStaging, "<link>outside.txt"}}, {"list", kStaging}, "Output file '" + kStaging + "' is the temporary data file\n", 1},
      {"container folder missing", {list("c a.bin\n")}, {"list", "no/out.sol"}, "Can't open output file 'no/out.sol'\n", 1},
      {"staging file is a folder", {list("c a.bin\n"), {kStaging, "<folder>"}}, kArgs, no_staging, 1, {{"out.sol", ""}}},
      {"staging file is a planted link", {list("c a.bin\n"), {kStaging, "<link>outside.txt"}}, kArgs, no_staging, 1, {{"out.sol", ""}}, {}, kWineFollowsLinks},
      {"staging file is a FIFO", {list("c a.bin\n"), {kStaging, "<fifo>"}}, kArgs, no_staging, 1, {{"out.sol", ""}}},
      {"staging file is another file's second name", {list("c a.bin\n"), {kStaging, "<hard>outside.txt"}}, kArgs, no_staging, 1, {{"out.sol", ""}}},
      {"listed file missing after 1 MiB went into the container", {list("u mib.bin\nc missing.bin\n"), {"mib.bin", mib}}, kArgs, "Error -- can't open file missing.bin\n", 1, {{"out.sol", ""}, {kStaging, std::string((1 << 20) + 1, '\0')}}},
      {"list holds only u", {list("u")}, kArgs, "Error -- can't open file \n", 1, empty_outputs},
      {"listed file is a folder", {list("u sub\n"), {"sub", "<folder>"}}, kArgs, "Error reading file sub\n", 1, empty_outputs, {}, "skip: on Windows fopen refuses a folder; next row"},
      {"listed file is a folder, Windows", {list("u sub\n"), {"sub", "<folder>"}}, kArgs, "Error -- can't open file sub\n", 1, empty_outputs, {}, "only: fopen refuses a folder"},
      {"listed file is a device", {list("c /dev/zero\n")}, kArgs, "Error reading file /dev/zero\n", 1, empty_outputs},
      {"listed file of 2 GiB", {list("c big.bin\n"), {"big.bin", two_gib}}, kArgs, "Error -- big.bin is too large (2 GiB or more)\n", 1, empty_outputs},
      // A 32-bit size would read as 100 bytes. Names in UTF-8 on the command line and in the list.
      {"listed file of 4 GiB + 100 bytes", {list("c été.bin\n"), {"été.bin", "<zeros>4294967396:"}}, {"list", "ünï.sol"}, "Error -- été.bin is too large (2 GiB or more)\n", 1, {{"ünï.sol", ""}, {kStaging, ""}}},
      {"container would reach 2 GiB after 1 MiB went into it", {list("u mib.bin\nu big.bin\n"), {"mib.bin", mib}, {"big.bin", "<zeros>2146435060:"}}, one_thread, too_large, 1, {{"out.sol", ""}, {kStaging, std::string((1 << 20) + 1, '\0')}}},
      {"staging write fails", {list("u big.bin\n"), {"big.bin", "<zeros>100000:"}}, {"list", "/dev/null"}, "Error writing big.bin to tempfile.\n", 1, {{kStaging, ""}}, small_files},
      {"staging close fails", {list("c a.bin\nu big.bin\n"), {"big.bin", "<zeros>49990:"}}, {"list", "/dev/null"}, "Error writing temporary data file\n", 1, {{kStaging, staged_a}}, small_files, "skip: wine fails a write past the limit whole; next row"},
      {"staging close fails, Windows", {list("c a.bin\nu big.bin\n"), {"big.bin", "<zeros>49990:"}}, {"list", "/dev/null"}, "Error writing temporary data file\n", 1, {{kStaging, ""}}, small_files, "only: no byte of a failed write reaches the file"},
      // The run never reads its own outputs, however they are reached, with any thread count.
      {"a link to the container not made yet", {list("u link\n"), {"link", "<link>out.sol"}}, {"-j4", "list", "out.sol"}, same, 1, empty_outputs, {}, kWineFollowsLinks},
      {"the staging file listed", {list("c a.bin\nu " + kStaging + "\n")}, {"-j4", "list", "out.sol"}, "Error -- " + kStaging + " is the temporary data file\n", 1, {{"out.sol", ""}, {kStaging, staged_a}}},
      // A FIFO is refused, never waited on.
      {"a listed FIFO", {list("u fifo\n"), {"fifo", "<fifo>"}}, {"-j4", "list", "out.sol"}, "Error reading file fifo\n", 1, empty_outputs},
      {"a missing file before a FIFO", {list("u missing\nu fifo\n"), {"fifo", "<fifo>"}}, {"-j4", "list", "out.sol"}, "Error -- can't open file missing\n", 1, empty_outputs},
      {"container write fails", {list("c a.bin\n")}, {"list", "/dev/full"}, "Error writing output file '/dev/full'\n", 1, {{kStaging, staged_a}}},
      {"container write of 1 MiB fails", {list("u mib.bin\n"), {"mib.bin", mib}}, kArgs, "Error writing output file 'out.sol'\n", 1, {{"out.sol", ""}, {kStaging, std::string((1 << 20) + 1, '\0')}}, {.file_size_limit = (1 << 20) + 4}},
      {"container write fails at its size limit", {list("u big.bin\n"), {"big.bin", "<zeros>49995:"}}, kArgs, "Error writing output file 'out.sol'\n", 1, {{"out.sol", ""}, {kStaging, std::string(49995, '\0')}}, small_files},
      // With standard output closed the messages go nowhere; they must not go into a file.
      {"standard output closed", {list("x data\nu a.bin\nc missing\n")}, kArgs, "", 1, {{"out.sol", ""}, {kStaging, "some bytes"}}, closed},
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
  const std::string lists[] = {list, list + "c f0\nu missing\n" + list, list + "c sub\n" + list,
                               "u f1\nc f2\nu big.bin\n" + list};
  for (const std::string& l : lists) {
    std::string first;
    for (const std::string threads : {"-j1", "-j4"}) {
      ScratchDir dir;
      for (int i = 0; i < 40; ++i) {
        const size_t size = i == 0 ? size_t{16} << 20 : static_cast<size_t>(i * i * i) % 300000;
        write_file(dir / std::string("f").append(std::to_string(i)),
                   i % 2 ? text_like(size, static_cast<uint32_t>(i)) : random_bytes(size, 9));
      }
      std::filesystem::create_directory(dir / "sub");
      make(dir.path(), "big.bin", "<zeros>2147483628:");  // never fits as entry 3
      write_file(dir / "list", l);
      const ToolRun run = corvane(dir, {threads, "list", "out.sol"});
      std::string seen = run.output + std::to_string(run.status);
      for (const auto& [name, state] : describe(dir.path())) seen += name + state;
      if (first.empty()) first = seen;
      EXPECT_TRUE(seen == first) << threads << " differs from -j1 for the list\n" << l;
    }
  }
}

// Two runs in one folder at once share the staging file; neither may see the other's data.
// Two runs in one folder at once share the staging file, and here one container: neither may
// see the other's data, and the container is always one run's whole container.
TEST(CorvaneCliTest, RunsInOneFolderAtOnceNeverMix) {
  ScratchDir dir;
  const std::vector<Entry> first = {{true, text_like(3000000, 1)}};
  const std::vector<Entry> second = {{false, random_bytes(30000000, 2)},
                                     {true, text_like(1000, 3)}};
  write_file(dir / "one", first[0].bytes);
  write_file(dir / "two", second[0].bytes);
  write_file(dir / "three", second[1].bytes);
  write_file(dir / "list1", "c one\n");
  write_file(dir / "list2", "u two\nc three\n");
  // The later run builds the shorter container: a run that emptied it while the other was
  // still writing would leave the other's tail behind its own data.
  // Also from another folder, with a staging file of its own: the container itself is locked.
  std::filesystem::create_directory(dir / "other");
  write_file(dir / "other/one", first[0].bytes);
  write_file(dir / "other/list1", "c one\n");
  for (const std::string later : {"one.sol", "two.sol", "../two.sol"}) {
    for (int round = 0; round < 4; ++round) {
      ToolRun one, two;
      std::thread other([&] { two = corvane(dir, {"list2", "two.sol"}); });
      std::this_thread::sleep_for(std::chrono::milliseconds(10 * round));
      one = run_tool(tool_path("CORVANE_TOOL", CORVANE_PATH), {"list1", later},
                     {.cwd = later.starts_with("..") ? dir / "other" : dir.path()});
      other.join();
      ASSERT_EQ(one.status + two.status, 0);
      const std::string built = read_file(dir / "two.sol"), staged = read_file(dir / kStaging);
      ASSERT_TRUE(read_file(dir / "other" / kStaging) == data_area(first) ||
                  !later.starts_with(".."));
      if (later == "one.sol") {
        ASSERT_EQ(read_file(dir / "one.sol"), expected_container(first));
        ASSERT_EQ(built, expected_container(second));
      }
      ASSERT_TRUE(built == expected_container(first) || built == expected_container(second));
      ASSERT_TRUE(staged == data_area(first) || staged == data_area(second));
    }
  }
}

// SIGINT in mid-run: the run ends by the signal, and no file stays half written: the container
// and the staging file are empty, each entry is whole or absent, and a file that -f was
// replacing is whole, old or new.
TEST(CorvaneCliTest, AnInterruptedRunLeavesNoHalfWrittenFile) {
  if (tools_under_wine()) GTEST_SKIP() << "wine does not pass SIGINT on as Ctrl-C";
  ScratchDir dir;
  for (const char* name : {"z0", "z1", "z2", "z3"}) make(dir.path(), name, "<zeros>1073741824:");
  write_file(dir / "list", "c z0\nc z1\nc z2\nc z3\n");
  const ToolRun build = corvane(dir, {"-j1", "list", "out.sol"}, {.interrupt_after_ms = 500});
  EXPECT_EQ(build.status, 128 + SIGINT);
  EXPECT_EQ(read_file(dir / "out.sol") + read_file(dir / kStaging), "");
  // An interruption the run was started to ignore (nohup, a script's background job) stays
  // ignored.
  write_file(dir / "list", "c z0\n");
  EXPECT_EQ(
      corvane(dir, {"list", "out.sol"}, {.interrupt_after_ms = 300, .interrupts_ignored = true})
          .status,
      0);
  const std::string zeros = encode(std::string(size_t{256} << 20, '\0'));
  std::vector<FstRecord> records;
  std::string data;
  std::map<std::string, std::string> old;
  for (int i = 0; i < 8; ++i) {
    const std::string name = line("e%d", i);
    records.push_back({static_cast<int32_t>(4 + 262 * 8 + data.size()),
                       static_cast<int32_t>(zeros.size()), 256 << 20, name});
    data += zeros;
    old["old/" + name] = "old";
  }
  write_file(dir / "a.fst", fst_table(8, records) + data);
  std::filesystem::create_directory(dir / "old");
  for (const auto& [name, bytes] : old) make(dir.path(), name, bytes);
  const std::string program = tool_path("PELLUX_TOOL", PELLUX_PATH);
  for (const std::string folder : {"new", "old"}) {
    const ToolOptions options{.cwd = dir.path(), .interrupt_after_ms = 300};
    EXPECT_EQ(run_tool(program, {"-xf", "a.fst", folder}, options).status, 128 + SIGINT);
    for (const auto& [name, state] : describe(dir / folder)) {
      EXPECT_TRUE(state == "<268435456 bytes>" || (folder == "old" && state == "old")) << name;
    }
  }
}

// Workers read ahead only within the run's budget: entries that each take most of the memory
// the run may have are built one after the other, as one thread builds them.
TEST(CorvaneCliTest, ThreadsReadAheadWithinTheBudget) {
  if (kSanitized || tools_under_wine()) GTEST_SKIP() << "no address-space limit here";
  ScratchDir dir;
  for (const char* name : {"z0", "z1", "z2"}) make(dir.path(), name, "<zeros>209715200:");
  write_file(dir / "list", "c z0\nc z1\nc z2\n");
  EXPECT_EQ(corvane(dir, {"-j4", "list", "four.sol"}, {.address_space_limit = 1u << 30}).status, 0);
  EXPECT_EQ(corvane(dir, {"-j1", "list", "one.sol"}).status, 0);
  EXPECT_EQ(read_file(dir / "four.sol"), read_file(dir / "one.sol"));
}

// An entry of 1 GiB is built, tested and extracted in a 64 MiB address space: memory does not
// grow with an entry's size.
TEST(CorvaneCliTest, AnEntryLargerThanTheMemoryGoesThroughInPieces) {
  if (kSanitized || tools_under_wine()) GTEST_SKIP() << "no address-space limit here";
  ScratchDir dir;
  make(dir.path(), "z", "<zeros>1073741824:");
  write_file(dir / "list", "c z\n");
  const ToolOptions small{.cwd = dir.path(), .address_space_limit = 64u << 20};
  EXPECT_EQ(corvane(dir, {"-j1", "list", "z.sol"}, small).status, 0);
  EXPECT_EQ(corvane(dir, {"-t", "z.sol"}, small).output,
            kBanner + "1 entry tested, 0 damaged, 0 problems\n");
  const std::string stream = read_file(dir / "z.sol").substr(16);
  write_file(dir / "z.fst",
             fst_table(1, {{266, static_cast<int32_t>(stream.size()), 1 << 30, "z"}}) + stream);
  const std::string program = tool_path("PELLUX_TOOL", PELLUX_PATH);
  const ToolRun one = run_tool(program, {"z.fst", "z", "/dev/null"}, small);
  EXPECT_EQ(one.output,
            kPelluxBanner + line("Found z  [CSize:%zu, USize:1073741824]\n\n", stream.size()));
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(run_tool(program, {"-t", "z.fst"}, small).output,
            kPelluxBanner + "1 entry tested, 0 damaged\n");
}

// Progress is drawn on standard error while it is a terminal, and only then (or when asked),
// never on standard output, and taken off the screen at the end.
TEST(CorvaneCliTest, ShowsProgressOnATerminalOnly) {
  if (kSanitized || tools_under_wine()) GTEST_SKIP() << "too slow there; wine has no terminal";
  ScratchDir dir;
  for (const char* name : {"z0", "z1"}) make(dir.path(), name, "<zeros>268435456:");
  write_file(dir / "list", "c z0\nc z1\n");
  const struct {
    std::vector<std::string> args;
    bool terminal, shown;
  } cases[] = {{{"-j1", "list", "o.sol"}, true, true},
               {{"-j1", "--no-progress", "list", "o.sol"}, true, false},
               {{"-j1", "list", "o.sol"}, false, false},
               {{"-j1", "--progress", "list", "o.sol"}, false, true}};
  for (const auto& c : cases) {
    const ToolRun run = corvane(dir, c.args, {.errors_to_terminal = c.terminal});
    EXPECT_EQ(run.output, kBanner);
    EXPECT_EQ(run.errors.find("of 2 entries") != std::string::npos, c.shown) << run.errors;
    // Cleared at the end: the last thing on the line is blanks after a return.
    EXPECT_TRUE(!c.shown || run.errors.ends_with(" \r")) << run.errors;
  }
}

// Swapping the folder for a link while -x writes into it moves nothing outside: every file goes
// into the folder the run opened.
TEST(CorvaneCliTest, ExtractionStaysInTheFolderItOpened) {
  if (tools_under_wine()) GTEST_SKIP() << "wine sees a Linux link as the folder it names";
  ScratchDir dir;
  std::vector<fst::NewEntry> entries;
  for (int i = 0; i < 3000; ++i) {
    entries.push_back({line("f%d", i), "x", false});
  }
  write_file(dir / "a.fst", fst::archive_bytes(entries));
  std::filesystem::create_directory(dir / "outside");
  const std::string programs[] = {tool_path("PELLUX_TOOL", PELLUX_PATH),
                                  tool_path("CORVANE_TOOL", CORVANE_PATH)};
  for (const std::string& program : programs) {
    std::filesystem::create_directory(dir / "in");
    std::atomic<bool> done = false;
    std::thread swapper([&] {
      while (!done && std::filesystem::is_empty(dir / "in")) std::this_thread::yield();
      for (std::error_code ignored; !done;) {
        std::filesystem::rename(dir / "in", dir / "moved", ignored);
        std::filesystem::create_directory_symlink("outside", dir / "in", ignored);
        std::filesystem::remove(dir / "in", ignored);
        std::filesystem::rename(dir / "moved", dir / "in", ignored);
      }
    });
    const ToolRun run = run_tool(program, {"-x", "a.fst", "in"}, {.cwd = dir.path()});
    done = true;
    swapper.join();
    EXPECT_TRUE(std::filesystem::is_empty(dir / "outside")) << program;
    EXPECT_NE(run.status, 128 + SIGKILL);
    std::filesystem::remove_all(dir / "in");
  }
}

TEST(CorvaneCliTest, ListsTestsAndUnpacks) {
  // clang-format off
  const std::string text = text_like(3000, 1), stream = encode(text);
  const uint32_t size = static_cast<uint32_t>(stream.size()), c = 0x40000000;
  const std::string sound = container({20, 20 | c, 24 + size, 30 + size}, le32_bytes(3000) + stream + "stored");
  const std::string wrong_length = container({20, 20 | c, 24 + size, 30 + size}, le32_bytes(3001) + stream + "stored");
  const std::string long_stream = container({20, 20 | c, 24 + size, 30 + size}, le32_bytes(2999) + stream + "stored");
  const std::string broken = container({12, 12 | c}, le32_bytes(3) + pack_codes({{256, 9}, {'a', 9}, {'b', 9}, {'c', 9}, {0, 12}}));
  const std::string problems = container({28, 28 | c, 30, 10, 0x80000000 | 29, 28}, "0123456789", 1);
  const std::string bad_offset = container({13}, "12345"), far_offset = container({0x100000C, 12}, "abcd"), word_only = container({12, 12 | c}, le32_bytes(5));
  const std::string header = "Index      Offset  Kind              Length    Original\n";
  const std::string sound_lines = line("%5d %11u  %-10s %13u %11u\n", 0, 20u, "compressed", size + 4, 3000u) +
      line("%5d %11u  %-10s %13u\n", 1, 24 + size, "stored", 6u) + line("%5d %11u  %-10s %13u\n", 2, 30 + size, "stored", 0u);
  // The first line of a listing: size, count, data area offset and checksum word.
  const auto summary = [](const std::string& bytes, size_t count, uint32_t data_offset) {
    const auto* word = reinterpret_cast<const uint8_t*>(bytes.data());
    return line("c.sol: %zu bytes, %zu entries, data area at offset %u, checksum word 0x%08X\n", bytes.size(), count,
                data_offset, static_cast<uint32_t>(word[0] | word[1] << 8 | word[2] << 16 | word[3] << 24));
  };
  uint32_t sum = 0;
  for (const char byte : problems.substr(4)) sum += static_cast<uint8_t>(byte);
  const std::string problem_messages = line("Checksum word 0x%08X does not match the bytes after it (their sum: 0x%08X)\n", sum + 1, sum) +
      "Entry 2: offset 10 lies outside the data area\nEntry 3: bit 31 of its offset word is set\n"
      "Entry 4: offset 28 comes before the entry listed before it\nEntry 0: compressed, but too short for its length word\n";
  const std::string problem_lines = problem_messages + summary(problems, 5, 28) + header + line("%5d %11u  %-10s %13u %11u\n", 0, 28u, "compressed", 2u, 0u) +
      line("%5d %11u  %-10s %13u\n", 1, 30u, "stored", 0u) + line("%5d %11u  %-10s %13u\n", 2, 10u, "stored", 19u) +
      line("%5d %11u  %-10s %13u\n", 3, 29u, "stored", 0u) + line("%5d %11u  %-10s %13u\n", 4, 28u, "stored", 10u) + "5 entries, 5 problems\n";
  const std::string usage = "Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n";
  const std::string eleven = container({52, 52, 52, 52, 52, 52, 52, 52, 52, 52, 52, 52}, "");
  std::string list;
  std::map<std::string, std::string> unpacked_eleven;
  for (int i = 0; i <= 10; ++i) {
    const std::string name = (i < 10 ? "0" : "") + std::to_string(i) + ".bin";
    list += "u " + name + "\n";
    unpacked_eleven["out/" + name] = "";
  }
  unpacked_eleven["out/list.txt"] = list;
  run_cli_cases(tool_path("CORVANE_TOOL", CORVANE_PATH), kBanner, {{"out", "<folder>"}}, {
      {"list", {{"c.sol", sound}}, {"-l", "c.sol"}, summary(sound, 3, 20) + header + sound_lines + "3 entries, 0 problems\n", 0},
      {"list problems", {{"c.sol", problems}}, {"-l", "c.sol"}, problem_lines, 1},
      {"list a data area offset that is no offset", {{"c.sol", bad_offset}}, {"-l", "c.sol"}, "Data area offset 13 is not 8 + 4 n inside the file\n" + summary(bad_offset, 0, 13) + header + "0 entries, 1 problem\n", 1},
      {"list a data area offset past the end", {{"c.sol", far_offset}}, {"-l", "c.sol"}, "Data area offset 16777228 is not 8 + 4 n inside the file\n" + summary(far_offset, 0, 16777228) + header + "0 entries, 1 problem\n", 1},
      {"list a short file", {{"c.sol", "abcdefg"}}, {"-l", "c.sol"}, "The file is shorter than a container's two header words\n" "c.sol: 7 bytes, 0 entries, data area at offset 0, checksum word 0x00000000\n" + header + "0 entries, 1 problem\n", 1},
      {"list a compressed entry of only its length word", {{"c.sol", word_only}}, {"-l", "c.sol"}, summary(word_only, 1, 12) + header + line("%5d %11u  %-10s %13u %11u\n", 0, 12u, "compressed", 4u, 5u) + "1 entry, 0 problems\n", 0},
      {"list no file", {}, {"-l", "c.sol"}, "Can't open container 'c.sol'\n", 2},
      {"test", {{"c.sol", sound}}, {"-t", "c.sol"}, "3 entries tested, 0 damaged, 0 problems\n", 0},
      {"test problems", {{"c.sol", problems}}, {"-t", "c.sol"}, problem_messages + "5 entries tested, 0 damaged, 5 problems\n", 1},
      {"test a wrong length word", {{"c.sol", wrong_length}}, {"-t", "c.sol"}, "Entry 0: decodes to 3000 bytes, not 3001\n3 entries tested, 1 damaged, 0 problems\n", 1},
      {"test a stream that decodes to more", {{"c.sol", long_stream}}, {"-t", "c.sol"}, "Entry 0: decodes to more than 2999 bytes\n3 entries tested, 1 damaged, 0 problems\n", 1},
      {"test a stream without END", {{"c.sol", broken}}, {"-t", "c.sol"}, "Entry 0: its stream stops before its END\n1 entry tested, 1 damaged, 0 problems\n", 1},
      {"unpack", {{"c.sol", sound}}, {"-x", "c.sol", "out"}, "Unpacked 3 of 3 entries into out\n", 0, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}},
      {"unpack eleven", {{"c.sol", eleven}}, {"-x", "c.sol", "out"}, "Unpacked 11 of 11 entries into out\n", 0, unpacked_eleven},
      {"unpack a damaged container", {{"c.sol", bad_offset}}, {"-x", "c.sol", "out"}, "Data area offset 13 is not 8 + 4 n inside the file\nContainer 'c.sol' is damaged: nothing unpacked\n", 2},
      {"unpack a wrong length word", {{"c.sol", wrong_length}}, {"-x", "c.sol", "out"}, "Entry 0: its stream does not decode to its 3001 bytes\nUnpacked 2 of 3 entries into out\n", 1, {{"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}},
      {"unpack past the file-size limit", {{"c.sol", sound}}, {"-x", "c.sol", "out"}, "Error writing out/0.bin\nUnpacked 2 of 3 entries into out\n", 1, {{"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}, {.file_size_limit = 1000}},
      {"unpack over the container, -f", {{"out/list.txt", sound}}, {"-xf", "out/list.txt", "out"}, "Can't replace out/list.txt: it is the container being read\nUnpacked 3 of 3 entries into out\n", 1, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}}},
      {"list into a full disk", {{"c.sol", sound}}, {"-l", "c.sol"}, "", 2, {}, {.output_to = "/dev/full"}},
      {"test into a full disk", {{"c.sol", sound}}, {"-t", "c.sol"}, "", 2, {}, {.output_to = "/dev/full"}},
      {"list without a container", {}, {"-l"}, usage, 64},
      {"test without a container", {}, {"-t"}, usage, 64},
      {"unpack without a folder", {{"c.sol", sound}}, {"-x", "c.sol"}, usage, 64},
      {"unpack where a file is", {{"c.sol", sound}, {"out/list.txt", "old"}}, {"-x", "c.sol", "out"}, "Can't create out/list.txt: it exists, or is not a plain file (-f replaces a file)\nUnpacked 3 of 3 entries into out\n", 1, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "old"}}},
      {"unpack where a file is, -f", {{"c.sol", sound}, {"out/list.txt", "old"}}, {"-xf", "c.sol", "out"}, "Unpacked 3 of 3 entries into out\n", 0, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}},
      {"version", {}, {"--version"}, "corvane " PROJECT_VERSION "\n", 0},
      {"unknown option", {}, {"-z", "list", "c.sol"}, usage, 0},
      {"a thread count that is no number", {}, {"-j", "2x", "list", "c.sol"}, usage, 0},
      {"a thread count of 0", {}, {"-j0", "list", "c.sol"}, usage, 0},
      {"a thread count of 1025", {}, {"-j1025", "list", "c.sol"}, usage, 0},
      {"a thread count of 1024", {{"list", ""}}, {"-j", "1024", "list", "c.sol"}, "Warning - Unknown command '"s + '\0' + "'. Ignoring\n", 0, {{"c.sol", container({8}, "")}, {kStaging, ""}}},
      {"no thread count", {}, {"-j"}, usage, 0},
      {"no arguments", {}, {}, usage, 0},
      {"one argument", {}, {"list"}, usage, 0},
      {"three arguments", {}, {"list", "out.sol", "extra"}, usage, 0},
  });
  // clang-format on
}

}  // namespace
