// The built corvane, run in a scratch folder: what it prints, its exit status and the files it
// leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <regex>
#include <sstream>
#include <thread>

#include "fst/writer.h"
#include "messages.h"
#include "stream_model.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace messages;
using namespace std::string_literals;

const std::string kStaging = "$_tempsol_$.dat";

struct Entry {
  bool compressed;
  std::string bytes;
};

// The data area as the staging file must hold it: stored entries as they are, compressed ones
// as their length word and their code stream.
std::string data_area(const std::vector<Entry>& entries) {
  std::string data;
  for (const auto& [compressed, bytes] : entries) {
    data += compressed ? le32_bytes(static_cast<uint32_t>(bytes.size())) + encode(bytes) : bytes;
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
  for (const char byte : body) checksum_error += static_cast<uint8_t>(byte);
  return le32_bytes(checksum_error) + body;
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

// The list is scanned like "%c %s\n": the command is the very next character, entries may be
// glued or share a line, and a scan cut short keeps what it did not reach. Every container
// unpacks into files and a list that rebuild it byte for byte.
TEST(CorvaneCliTest, BuildsTheContainerTheListDescribes) {
  const std::string a = "first file", b = random_bytes(70000, 1);
  const struct {
    std::string list;
    std::vector<Entry> entries = {};
    std::string says = "";
    std::string golden = "";   // the container as the manual shows it, byte for byte
    std::string windows = "";  // see row_holds
  } cases[] = {
      {.list = "", .says = kUnknownCommand('\0'), .golden = "\x08\0\0\0\x08\0\0\0"s},
      {.list = "u abc.txt\n",
       .entries = {{false, "abc"}},
       .golden = "\x3E\x01\0\0\x0C\0\0\0\x0C\0\0\0abc"s},
      {.list = "c abc.txt\n",
       .entries = {{true, "abc"}},
       .golden = "\xE2\x01\0\0\x0C\0\0\0\x0C\0\0\x40\x03\0\0\0\x00\xC3\x88\x19\x13\x10"s},
      {.list = "ca.bin u b.bin\r\n\t\n  u \t b.bin",
       .entries = {{true, a}, {false, b}, {false, b}}},
      {.list = "c a.bin\nu", .entries = {{true, a}, {false, a}}},
      // A leading line break is itself the command; the path token is then "c".
      {.list = "\nc a.bin\nx data.bin\nC a.bin\nu b.bin\n",
       .entries = {{false, b}},
       .says = kUnknownCommand('\n') + kUnknownCommand('a') + kUnknownCommand('x') +
               kUnknownCommand('C')},
      {.list = "c b.bin\nu empty\nc empty\nu a.bin\nc b.bin\n",
       .entries = {{true, b}, {false, ""}, {true, ""}, {false, a}, {true, b}}},
      // A file whose length reads as 0 is still read to its end.
      {.list = "u /proc/version\n", .entries = {{false, read_file("/proc/version")}}},
      {.list = "c a.bin\r\n\x1Au b.bin\r\n",
       .entries = {{true, a}},
       .windows = "only: the list is read in text mode"},
  };
  for (const auto& c : cases) {
    if (!row_holds(c.windows)) continue;
    ScratchDir dir;
    for (const auto& [name, bytes] :
         Folder{"a.bin", a, "b.bin", b, "empty", "", "abc.txt", "abc", "list", c.list}.paths) {
      write_file(dir / name, bytes);
    }
    const ToolRun run = corvane(dir.path(), "list out.sol");
    const std::string built = read_file(dir / "out.sol");
    EXPECT_EQ(run.output + built, kCorvaneBanner + c.says + expected_container(c.entries));
    EXPECT_TRUE(run.status == 0 && (c.golden.empty() || built == c.golden)) << c.list;
    // The staging file stays behind holding exactly the data area.
    EXPECT_EQ(read_file(dir / kStaging), data_area(c.entries)) << c.list;
    corvane(dir.path(), "-x out.sol unpacked");
    corvane(dir / "unpacked", "list.txt ../rebuilt.sol");
    EXPECT_EQ(read_file(dir / "rebuilt.sol"), built) << c.list;
  }
}

// One row per way a build can fail; every folder holds a.bin and outside.txt besides what the
// row makes.
TEST(CorvaneCliTest, ReportsEveryFailureWithStatus1) {
  const std::string same = kSameAsInput("out.sol"), mib = "<zeros>1048577:", to = "list out.sol";
  const std::string staged_a = data_area({{true, "some bytes"}}), mib_staged((1 << 20) + 1, '\0');
  const Folder emptied = {"out.sol", "", kStaging, ""}, only_out = {"out.sol", ""};
  const Folder c_a = {"list", "c a.bin\n"};
  const ToolOptions small_files{.file_size_limit = 50000};
  // On Windows, fopen refuses a folder.
  const Say& folder_unread = tools_under_wine() ? kNoListedFile : kListedFileUnread;
  run_cli_cases(
      corvane_tool(), kCorvaneBanner, {"a.bin", "some bytes", "outside.txt", "not to be touched"},
      {
          fails("list missing", {}, "nolist out.sol", kNoList("nolist")),
          fails("list is a folder", {"sub", "<folder>"}, "sub out.sol",
                (tools_under_wine() ? kNoList : kListUnread)("sub")),
          fails("list is the staging file", {"list", "", kStaging, "<link>list"}, to,
                kListIsStaging("list")),
          fails("container is the list through a link",
                {"list", "c a.bin\n", "out.sol", "<link>list"}, to, same),
          fails("container listed", {"list", "u out.sol\n", "out.sol", "x"}, to, same),
          fails("container is the staging file", {"list", "u a.bin\n"}, "list " + kStaging,
                kOutputIsStaging(kStaging))
              .leaving({kStaging, ""}),
          fails("container folder missing", c_a, "list no/out.sol", kNoOutput("no/out.sol")),
          fails("staging file is a planted link",
                {"list", "c a.bin\n", kStaging, "<link>outside.txt"}, to, kNoStaging)
              .leaving(only_out)
              .on_windows(kWineFollowsLinks),
          fails("staging file is another file's second name",
                {"list", "c a.bin\n", kStaging, "<hard>outside.txt", "out.sol", "old"}, to,
                kNoStaging)
              .leaving(only_out),
          fails("listed file missing after 1 MiB went into the container",
                {"list", "u mib.bin\nc missing.bin\n", "mib.bin", mib}, to,
                kNoListedFile("missing.bin"))
              .leaving({"out.sol", "", kStaging, mib_staged}),
          fails("a listed path over 64 KiB", {"list", "u " + std::string(65537, 'x')}, to,
                kListUnread("list")),
          fails("listed file is a folder", {"list", "u sub\n", "sub", "<folder>"}, to,
                folder_unread("sub"))
              .leaving(emptied),
          fails("listed file of 2 GiB", {"list", "c b\n", "b", "<zeros>2147483648:"}, to,
                kFileTooLarge("b"))
              .leaving(emptied),
          // A 32-bit size would read as 100 bytes. Names in UTF-8 on the command line and in
          // the list.
          fails("listed file of 4 GiB + 100 bytes",
                {"list", "c été.bin\n", "été.bin", "<zeros>4294967396:"}, "list ünï.sol",
                kFileTooLarge("été.bin"))
              .leaving({"ünï.sol", "", kStaging, ""}),
          // One thread: a worker may read a file ahead before the staged bytes show that it
          // cannot fit.
          fails("container would reach 2 GiB after 1 MiB went into it",
                {"list", "u mib.bin\nu big.bin\n", "mib.bin", mib, "big.bin", "<zeros>2146435060:"},
                "-j1 list out.sol", kContainerTooLarge)
              .leaving({"out.sol", "", kStaging, mib_staged}),
          fails("staging write fails", {"list", "u big.bin\n", "big.bin", "<zeros>100000:"},
                "list /dev/null", kStagingWrite("big.bin"))
              .leaving({kStaging, ""})
              .under(small_files),
          fails("staging write of a file over 1 MiB fails", {"list", "u mib.bin\n", "mib.bin", mib},
                "-j1 list /dev/null", kStagingWrite("mib.bin"))
              .leaving({kStaging, ""})
              .under(small_files),
          // Wine fails a write past the limit whole: no byte of it reaches the file.
          fails("staging close fails", {"list", "c a.bin\nu big.bin\n", "big.bin", "<zeros>49990:"},
                "list /dev/null", kStagingClose)
              .leaving({kStaging, tools_under_wine() ? "" : staged_a})
              .under(small_files),
          // The run never reads its own outputs, however they are reached, with any thread
          // count; a FIFO is refused, never waited on.
          fails("a link to the container not made yet",
                {"list", "u link\n", "link", "<link>out.sol"}, "-j4 list out.sol", same)
              .leaving(emptied)
              .on_windows(kWineFollowsLinks),
          fails("the staging file listed", {"list", "c a.bin\nu " + kStaging + "\n"},
                "-j4 list out.sol", kListedStaging(kStaging))
              .leaving({"out.sol", "", kStaging, staged_a}),
          fails("a listed FIFO", {"list", "u fifo\n", "fifo", "<fifo>"}, "-j4 list out.sol",
                kListedFileUnread("fifo"))
              .leaving(emptied),
          fails("a missing file before a FIFO", {"list", "u missing\nu fifo\n", "fifo", "<fifo>"},
                "-j4 list out.sol", kNoListedFile("missing"))
              .leaving(emptied),
          fails("container write fails", c_a, "list /dev/full", kOutputWrite("/dev/full"))
              .leaving({kStaging, staged_a}),
          // An entry prepared ahead counts as staged only once the container has it, as one
          // staged a piece at a time does.
          fails("container write of 1 MiB fails",
                {"list", "u b\nu mib.bin\n", "b", "x", "mib.bin", mib}, "-j2 list out.sol",
                kOutputWrite("out.sol"))
              .leaving({"out.sol", "", kStaging, "x"})
              .under({.file_size_limit = (1 << 20) + 4}),
          // ... and one staged a piece at a time once its last bytes are out, not the next one.
          fails("container write of the last byte of 1 MiB + 1 fails",
                {"list", "u mib.bin\n", "mib.bin", mib}, "-j1 list out.sol",
                kOutputWrite("out.sol"))
              .leaving(emptied)
              .under({.file_size_limit = (1 << 20) + 12}),
          // With standard output closed the messages go nowhere; they must not go into a file.
          fails("standard output closed", {"list", "x data\nu a.bin\nc missing\n"}, to, "")
              .leaving({"out.sol", "", kStaging, "some bytes"})
              .under({.closed_stdio = true}),
      });
}

// Whatever the thread count, a build, and the test and unpacking of what it built, print,
// return and leave exactly what one thread does: also when the build fails in mid-list with
// work done ahead for the entries after.
TEST(CorvaneCliTest, AnyThreadCountDoesWhatOneThreadDoes) {
  std::string list;
  for (int i = 0; i < 40; ++i)
    list += line(i % 7 == 3 ? "%c f%d x junk " : "%c f%d\n", "uc"[i % 3 > 0], i);
  for (const std::string& l : {list, list + "c f0\nu missing\n" + list, list + "c sub\n" + list,
                               "u f1\nc f2\nu big.bin\n" + list}) {
    std::string first;
    for (const std::string threads : {"-j1 ", "-j4 "}) {
      ScratchDir dir;
      for (int i = 0; i < 40; ++i) {
        const size_t size = i == 0 ? size_t{16} << 20 : static_cast<size_t>(i * i * i) % 300000;
        write_file(dir / line("f%d", i),
                   i % 2 ? text_like(size, static_cast<uint32_t>(i)) : random_bytes(size, 9));
      }
      make(dir.path(), "sub", "<folder>");
      make(dir.path(), "big.bin", "<zeros>2147483628:");  // never fits as entry 3
      write_file(dir / "list", l);
      std::string seen;
      for (const std::string args : {"list out.sol", "-t out.sol", "-x out.sol x"}) {
        const ToolRun run = corvane(dir.path(), threads + args);
        seen += run.output + std::to_string(run.status);
      }
      for (const auto& [name, state] : describe(dir.path())) seen += name + state;
      if (first.empty()) first = seen;
      EXPECT_TRUE(seen == first) << threads << l;
    }
  }
}

// Two runs in one folder at once share the staging file, and here one container: neither may
// see the other's data, and the container is always one run's whole container; also from
// another folder, with a staging file of its own: the container itself is locked. The later run
// builds the shorter container: a run that emptied it while the other was still writing would
// leave the other's tail behind its own data.
TEST(CorvaneCliTest, RunsInOneFolderAtOnceNeverMix) {
  ScratchDir dir;
  const std::vector<Entry> first = {{true, text_like(3000000, 1)}},
                           second = {{false, random_bytes(30000000, 2)}};
  for (const auto& [name, bytes] :
       Folder{"one", first[0].bytes, "two", second[0].bytes, "list1", "c one\n", "list2", "u two\n",
              "other/one", first[0].bytes, "other/list1", "c one\n"}
           .paths) {
    make(dir.path(), name, bytes);
  }
  int waited = 0;  // runs that found the container locked by the other, and said so
  for (const std::string later : {"one.sol", "two.sol", "../two.sol"}) {
    for (int round = 0; round < 3; ++round) {
      ToolRun two;
      std::thread other([&] { two = corvane(dir.path(), "list2 two.sol"); });
      std::this_thread::sleep_for(std::chrono::milliseconds(10 * round));
      const ToolRun one =
          corvane(later.starts_with("..") ? dir / "other" : dir.path(), "list1 " + later);
      other.join();
      const std::string built = read_file(dir / "two.sol"), staged = read_file(dir / kStaging);
      ASSERT_EQ(one.status + two.status, 0) << one.output;
      ASSERT_TRUE(built == expected_container(second) ||
                  (later != "one.sol" && built == expected_container(first)));
      ASSERT_TRUE(staged == data_area(first) || staged == data_area(second));
      // A run that waited for the container may wait for the staging file a moment too.
      std::istringstream lines(one.errors + two.errors);
      for (std::string line; std::getline(lines, line);) {
        line += "\n";
        const bool container = line == kWaitingFor(later) || line == kWaitingFor("two.sol");
        waited += container;
        EXPECT_TRUE(container || line == kWaitingInFolder(kStaging)) << line;
      }
    }
  }
  EXPECT_GT(waited, 0);
}

// SIGINT in mid-run: the run ends by the signal, and no file stays half written: the container
// and the staging file are empty, each entry is whole or absent, and a file that -f was
// replacing is whole, old or new. An interruption the run was started to ignore (nohup, a
// script's background job) stays ignored.
TEST(CorvaneCliTest, AnInterruptedRunLeavesNoHalfWrittenFile) {
  if (tools_under_wine()) GTEST_SKIP() << "wine does not pass SIGINT on as Ctrl-C";
  ScratchDir dir;
  for (const char* name : {"z0", "z1", "z2", "z3"}) make(dir.path(), name, "<zeros>1073741824:");
  write_file(dir / "list", "c z0\nc z1\nc z2\nc z3\n");
  EXPECT_EQ(corvane(dir.path(), "-j1 list out.sol", {.interrupt_after_ms = 500}).status,
            128 + SIGINT);
  EXPECT_EQ(read_file(dir / "out.sol") + read_file(dir / kStaging), "");
  write_file(dir / "list", "c z0\n");
  EXPECT_EQ(
      corvane(dir.path(), "list out.sol", {.interrupt_after_ms = 300, .interrupts_ignored = true})
          .status,
      0);
  // pellux -x -f reading an archive from a FIFO that stalls in mid-entry: entry 0 is finished
  // and stays, entry 1 is half written and goes, and no file replaced with -f is lost.
  const std::string stream = encode(text_like(100000, 3));
  const auto size = static_cast<int32_t>(stream.size());
  const std::string archive =
      fst_table(3, {{790, 4, 4, "e0"}, {794, size, 100000, "e1"}, {794 + size, 1, 1, "e2"}}) +
      "abcd" + stream.substr(0, stream.size() / 2);
  for (const char* name : {"old/e0", "old/e1", "old/e2"}) make(dir.path(), name, "old");
  make(dir.path(), "fifo", "<fifo>");
  for (const std::string folder : {"new", "old"}) {
    // Held open, and given less than the pipe holds: the run reads it all, then waits.
    const int fifo = open((dir / "fifo").c_str(), O_RDWR);
    ASSERT_EQ(write(fifo, archive.data(), archive.size()), static_cast<ssize_t>(archive.size()));
    EXPECT_EQ(pellux(dir.path(), "-xf fifo " + folder, {.interrupt_after_ms = 1500}).status,
              128 + SIGINT);
    close(fifo);
    const Paths left = {{"e0", "abcd"}, {"e1", "old"}, {"e2", "old"}};
    EXPECT_EQ(describe(dir / folder), (folder == "new" ? Paths{{"e0", "abcd"}} : left));
  }
}

// Memory does not grow with an entry's size: an entry of 1 GiB is built, tested and extracted
// in a 64 MiB address space.
TEST(CorvaneCliTest, MemoryDoesNotGrowWithAnEntry) {
  if (kSanitized || tools_under_wine()) GTEST_SKIP() << "no address-space limit here";
  ScratchDir dir;
  make(dir.path(), "z", "<zeros>1073741824:");
  write_file(dir / "list", "c z\n");
  const ToolOptions small{.address_space_limit = 64u << 20};
  corvane(dir.path(), "-j1 list z.sol", small);
  const std::string stream = read_file(dir / "z.sol").substr(16);
  write_file(dir / "z.fst",
             fst_table(1, {{266, static_cast<int32_t>(stream.size()), 1 << 30, "z"}}) + stream);
  EXPECT_EQ(corvane(dir.path(), "-t z.sol", small).output +
                pellux(dir.path(), "z.fst z /dev/null", small).output +
                pellux(dir.path(), "-t z.fst", small).output,
            kCorvaneBanner + kContainerTested("1 entry", 0, "0 problems") + kPelluxBanner +
                kFound("z", stream.size(), 1 << 30) + kPelluxBanner + kArchiveTested("1 entry", 0));
}

// Progress is drawn on standard error while it is a terminal, and only then (or when asked),
// never on standard output, and taken off the screen at the end: blanks after a return.
TEST(CorvaneCliTest, ShowsProgressOnATerminalOnly) {
  if (kSanitized || tools_under_wine()) GTEST_SKIP() << "too slow there; wine has no terminal";
  ScratchDir dir;
  write_file(dir / "t", text_like(1000000, 1));
  make(dir.path(), "z", "<zeros>268435456:");
  std::string list;
  for (int i = 0; i < 200; ++i) list += "c t\n";
  write_file(dir / "list", list + "c z\n");
  // Entries and bytes done of the totals, the rate and the time left: a small entry counts its
  // file's bytes, the large one its bytes as they are read.
  const std::regex drawn(
      "(\\d+) of 201 entries, ([0-9.]+) MiB of 446.7 MiB, [0-9.]+ MiB/s, \\d+:\\d\\d left");
  const std::pair<std::string, bool> cases[] = {
      {"", true}, {"--no-progress ", true}, {"", false}, {"--progress ", false}};
  for (const auto& [options, terminal] : cases) {
    const ToolRun run =
        corvane(dir.path(), "-j1 " + options + "list o.sol", {.errors_to_terminal = terminal});
    const bool shown = options == "--progress " || (terminal && options.empty());
    EXPECT_EQ(run.output, kCorvaneBanner());
    bool streaming = false;
    for (std::sregex_iterator at(run.errors.begin(), run.errors.end(), drawn), end; at != end;
         ++at) {
      const int done = std::stoi((*at)[1]);
      streaming |= done == 200;
      if (done < 200) {
        EXPECT_EQ((*at)[2], line("%.1f", done * 1e6 / (1 << 20)));
      }
    }
    EXPECT_EQ(streaming, shown) << run.errors;
    EXPECT_TRUE(!shown || run.errors.ends_with(" \r"));
  }
}

// Swapping the folder for a link while -x writes into it moves nothing outside: every file goes
// into the folder the run opened.
TEST(CorvaneCliTest, ExtractionStaysInTheFolderItOpened) {
  if (tools_under_wine()) GTEST_SKIP() << "wine sees a Linux link as the folder it names";
  ScratchDir dir;
  std::vector<fst::NewEntry> entries;
  std::vector<uint32_t> words = {8 + 4 * 3000};
  for (uint32_t i = 0; i < 3000; ++i) {
    entries.push_back({line("f%u", i), "x", false});
    words.push_back(words[0] + i);
  }
  write_file(dir / "a.fst", fst::archive_bytes(entries));
  write_file(dir / "c.sol", container(words, std::string(3000, 'x')));
  make(dir.path(), "outside", "<folder>");
  for (const std::string archive : {"c.sol", "a.fst"}) {
    make(dir.path(), "in", "<folder>");
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
    const ToolRun extracted =
        (archive == "c.sol" ? corvane : pellux)(dir.path(), "-x " + archive + " in", {});
    done = true;
    swapper.join();
    EXPECT_TRUE(std::filesystem::is_empty(dir / "outside")) << archive;
    EXPECT_EQ(extracted.status, 0) << extracted.output;
    std::filesystem::remove_all(dir / "in");
  }
}

// -l, -t and -x; c.sol is a sound container of a compressed text, a stored entry and an empty
// one unless the row says otherwise.
TEST(CorvaneCliTest, ListsTestsAndUnpacks) {
  const std::string text = text_like(3000, 1), stream = encode(text);
  const uint32_t size = static_cast<uint32_t>(stream.size()), c = 0x40000000;
  const std::vector<uint32_t> words = {20, 20 | c, 24 + size, 30 + size};
  const std::string sound = container(words, le32_bytes(3000) + stream + "stored");
  const Folder wrong_length = {"c.sol", container(words, le32_bytes(3001) + stream + "stored")};
  // A checksum that does not match hides no damage in an entry.
  const std::string broken =
      container({12, 12 | c},
                le32_bytes(3) + pack_codes({{256, 9}, {'a', 9}, {'b', 9}, {'c', 9}, {0, 12}}), 1);
  const std::string problems =
      container({28, 28 | c, 30, 10, 0x80000000 | 29, 28}, "0123456789", 1);
  // A stored entry whose offset word has bit 31 set, and the same as JSON Lines.
  const std::string bit31 = container({12, 0x80000000 | 12}, "ab"), problem = kBit31(0);
  const std::string json =
      "{\"version\":1,\"type\":\"entry\",\"index\":0,\"offset\":12,\"compressed\":false,"
      "\"stored_size\":2,\"size\":2}\n{\"version\":1,\"type\":\"problem\",\"entry\":0,"
      "\"problem\":\"" +
      problem.substr(0, problem.size() - 1) +
      line(
          "\"}\n{\"version\":1,\"type\":\"total\",\"size\":14,\"entries\":1,\"data_offset\":12,"
          "\"checksum_word\":%u,\"problems\":1,\"verdict\":\"damaged\"}\n",
          read_le32(bit31));
  // Beyond 2^24: every byte of the header counts.
  const std::string bad_offset = container({0x0100000D}, "12345");
  // The first lines of a listing: size, count, data area offset and checksum word, then the
  // column heads.
  const auto head = [](const std::string& bytes, size_t count, uint32_t data_offset) {
    return kContainerHead(bytes.size(), count, data_offset, read_le32(bytes));
  };
  const uint32_t sum = read_le32(problems) - 1, broken_sum = read_le32(broken) - 1;
  const std::string problem_messages = kChecksum(sum + 1, sum) + kOutsideData(2, 10u) + kBit31(3) +
                                       kOutOfOrder(4, 28u) + kNoLengthWord(0);
  const Folder unpacked = {"out/0.bin", text, "out/1.bin",    "stored",
                           "out/2.bin", "",   "out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"};
  Folder unpacked_eleven;
  for (int i = 0; i <= 10; ++i) {
    unpacked_eleven.paths["out/list.txt"] += line("u %02d.bin\n", i);
    unpacked_eleven.paths[line("out/%02d.bin", i)] = "";
  }
  run_cli_cases(
      corvane_tool(), kCorvaneBanner, {"out", "<folder>", "c.sol", sound},
      {
          ok("list", {}, "-l c.sol",
             head(sound, 3, 20) + kCompressedRow(0, 20u, size + 4, 3000u) +
                 kStoredRow(1, 24 + size, 6u) + kStoredRow(2, 30 + size, 0u) +
                 kContainerTotal("3 entries", "0 problems")),
          fails("list problems", {"c.sol", problems}, "-l c.sol",
                problem_messages + head(problems, 5, 28) + kCompressedRow(0, 28u, 2u, 0u) +
                    kStoredRow(1, 30u, 0u) + kStoredRow(2, 10u, 19u) + kStoredRow(3, 29u, 0u) +
                    kStoredRow(4, 28u, 10u) + kContainerTotal("5 entries", "5 problems")),
          fails("list a data area offset that is no offset", {"c.sol", bad_offset}, "-l c.sol",
                kBadDataOffset(0x0100000Du) + head(bad_offset, 0, 0x0100000D) +
                    kContainerTotal("0 entries", "1 problem")),
          fails("list a short file", {"c.sol", "abcdefg"}, "-l c.sol",
                kShortContainer + kContainerHead(7, 0, 0, 0) +
                    kContainerTotal("0 entries", "1 problem")),
          gives_up("list no file", {}, "-l d.sol", kNoContainer("d.sol")),
          gives_up("list a folder", {}, "-l out",
                   (tools_under_wine() ? kNoContainer : kUnreadContainer)("out")),
          fails("list as JSON", {"c.sol", bit31}, "-l --json c.sol", "")
              .under({.output_to = "j"})
              .leaving({"j", json}),
          // The verdict of a stream that decodes to fewer bytes than its length word says.
          fails("test as JSON", {"c.sol", container({12, 12 | c}, le32_bytes(4) + encode("abc"))},
                "-t --json c.sol", "")
              .under({.output_to = "j"})
              .leaving(
                  {"j",
                   "{\"version\":1,\"type\":\"entry\",\"index\":0,\"offset\":12,\"compressed\":"
                   "true,\"stored_size\":10,\"size\":4,\"verdict\":\"fewer\"}\n{\"version\":1,"
                   "\"type\":\"total\",\"size\":22,\"entries\":1,\"data_offset\":12,"
                   "\"checksum_word\":483,\"problems\":0,\"damaged\":1,\"verdict\":\"damaged\"}"
                   "\n"}),
          ok("test", {}, "-t c.sol", kContainerTested("3 entries", 0, "0 problems")),
          fails("test problems", {"c.sol", problems}, "-t c.sol",
                problem_messages + kContainerTested("5 entries", 0, "5 problems")),
          fails("test a wrong length word", wrong_length, "-t c.sol",
                kDecodesTo(0, 3000, 3001) + kContainerTested("3 entries", 1, "0 problems")),
          fails("test a stream that decodes to more",
                {"c.sol", container(words, le32_bytes(2999) + stream + "stored")}, "-t c.sol",
                kDecodesToMore(0, 2999) + kContainerTested("3 entries", 1, "0 problems")),
          fails("test a stream without END", {"c.sol", broken}, "-t c.sol",
                kChecksum(broken_sum + 1, broken_sum) + kNoEnd(0) +
                    kContainerTested("1 entry", 1, "1 problem")),
          ok("unpack", {}, "-x c.sol out", kUnpackedOf(3, 3, "out")).leaving(unpacked),
          ok("unpack eleven", {"c.sol", container(std::vector<uint32_t>(12, 52), "")},
             "-x c.sol out", kUnpackedOf(11, 11, "out"))
              .leaving(unpacked_eleven),
          gives_up("unpack a damaged container", {"c.sol", bad_offset}, "-x c.sol out",
                   kBadDataOffset(0x0100000Du) + kDamagedContainer("c.sol")),
          fails("unpack a wrong length word", wrong_length, "-x c.sol out",
                kNotUnpacked(0, 3001) + kUnpackedOf(2, 3, "out"))
              .leaving(unpacked.but("out/0.bin", "<gone>")),
          fails("unpack past the file-size limit", {}, "-x c.sol out",
                kWriteFailed("out/0.bin") + kUnpackedOf(2, 3, "out"))
              .leaving(unpacked.but("out/0.bin", "<gone>"))
              .under({.file_size_limit = 1000}),
          fails("unpack over the container, -f", {"out/list.txt", sound}, "-xf out/list.txt out",
                kContainerReplaced("out/list.txt") + kUnpackedOf(3, 3, "out"))
              .leaving(unpacked.but("out/list.txt", sound)),
          fails("unpack where a file is", {"out/list.txt", "old"}, "-x c.sol out",
                kExists("out/list.txt") + kUnpackedOf(3, 3, "out"))
              .leaving(unpacked.but("out/list.txt", "old")),
          gives_up("list into a closed output", {}, "-l c.sol", "").under({.closed_stdio = true}),
          misused("list without a container", {}, "-l", kCorvaneUsage),
          ok("version", {}, "--version", "corvane " PROJECT_VERSION "\n"),
          // A build's command line that is wrong prints the usage and ends 0, as it always did.
          ok("a thread count of 0", {}, "-j0 list c.sol", kCorvaneUsage),
          ok("a thread count of 1024", {"list", ""}, "-j 1024 list c.sol", kUnknownCommand('\0'))
              .leaving({"c.sol", container({8}, ""), kStaging, ""}),
          ok("three arguments", {}, "list out.sol extra", kCorvaneUsage),
      });
}

}  // namespace
