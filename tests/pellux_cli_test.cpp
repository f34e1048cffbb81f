// The built pellux, run in a scratch folder: standard output byte for byte, exit status and
// the output file it leaves.
#include <gtest/gtest.h>

#include <functional>

#include "cli_support.h"
#include "fst_writer.h"

namespace {

using namespace testing_support;
using namespace tools;

const std::string kBanner = "-- pellux -- read and extract a file from an FST or DPK file --\n\n";
const std::string kNotFound = "Couldn't find an entry by that name";
const std::string kShortEntry = "Error reading file from FST\n";
const std::string kShortTable = "Error reading FST table of contents\n";

ToolRun pellux(const ScratchDir& dir, const std::vector<std::string>& args,
               ToolOptions options = {}) {
  return run_in(PELLUX_PATH, dir, args, std::move(options));
}

std::string found(const std::string& name, int64_t stored, int64_t uncompressed) {
  return "Found " + name + "  [CSize:" + std::to_string(stored) +
         ", USize:" + std::to_string(uncompressed) + "]\n\n";
}

TEST(PelluxCliTest, PrintsUsageForAnyOtherArgumentCount) {
  const std::vector<std::string> arg_lists[] = {{}, {"a.fst", "x"}, {"a.fst", "x", "out", "extra"}};
  for (const auto& args : arg_lists) {
    ScratchDir dir;
    const ToolRun run = pellux(dir, args);
    EXPECT_EQ(run.output,
              kBanner +
                  "Usage: pellux <FST file> <file to extract> <file to create>\n\n"
                  "    The name of the file to extract should *not* contain path info.\n"
                  "    pellux will ignore any directory path given it.\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(folder_listing(dir.path()).empty());
  }
}

// Files encoded by the project's encoder, put into an archive and extracted byte-identical.
TEST(PelluxCliTest, ExtractsEveryKindOfEntryByBaseName) {
  const std::vector<FstEntry> entries = {
      {"data\\Sounds\\BOOM.WAV", random_bytes(40000, 1), true},
      {"docs.old/readme", "stored text\r\n", false},
      {"C:empty.bin", "", false},
      {"nothing.z", "", true},
      {"maps/run.bin", std::string(1000000, '\x07'), true},
      {"bin/tool", random_bytes(3000, 2) + std::string(5000, '\0') + random_bytes(3000, 3), true},
  };
  ScratchDir dir;
  const std::string archive = make_fst(entries);
  write_file(dir / "a.fst", archive);
  const std::pair<std::string, size_t> requests[] = {
      {"boom.wav", 0},  {"x:\\other\\dir/Boom.Wav", 0},
      {"README", 1},    {"empty.bin", 2},
      {"NOTHING.Z", 3}, {"run.bin", 4},
      {"c:/TOOL", 5},
  };
  for (const auto& [request, index] : requests) {
    const FstEntry& entry = entries[index];
    const std::string stored = entry.compressed ? encode_stream(entry.data) : entry.data;
    const ToolRun run = pellux(dir, {"a.fst", request, "out"});
    EXPECT_EQ(run.output, kBanner + found(entry.name, static_cast<int64_t>(stored.size()),
                                          static_cast<int64_t>(entry.data.size())))
        << request;
    EXPECT_EQ(run.status, 0) << request;
    EXPECT_EQ(read_file(dir / "out"), entry.data) << request;
  }
}

TEST(PelluxCliTest, WarnsWhenTheStreamDecodesToAnotherSize) {
  const std::string text = "a stream that decodes to fewer bytes than its record claims";
  const std::string stream = encode_stream(text);
  const std::string many(5000, 'm');
  const std::string long_stream = encode_stream(many);
  const auto header = static_cast<int32_t>(4 + 2 * 262);
  const std::string archive =
      fst_table(2, {{header, static_cast<int32_t>(stream.size()), 100, "short.txt"},
                    {header + static_cast<int32_t>(stream.size()),
                     static_cast<int32_t>(long_stream.size()), 10, "long.txt"}}) +
      stream + long_stream;
  const std::string warning =
      "Warning -- Decompressed size does not match the FST's stored value\n";
  ScratchDir dir;
  write_file(dir / "a.fst", archive);
  ToolRun run = pellux(dir, {"a.fst", "short.txt", "out"});
  EXPECT_EQ(run.output,
            kBanner + found("short.txt", static_cast<int64_t>(stream.size()), 100) + warning);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir / "out"), text);
  // A stream that decodes to more than its record claims is cut at 16 bytes beyond it.
  run = pellux(dir, {"a.fst", "long.txt", "out"});
  EXPECT_EQ(run.output,
            kBanner + found("long.txt", static_cast<int64_t>(long_stream.size()), 10) + warning);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir / "out"), std::string(26, 'm'));
}

TEST(PelluxCliTest, FindsNamesThatFillTheWholeField) {
  const std::string name(250, 'N');
  ScratchDir dir;
  write_file(dir / "a.fst", fst_table(1, {{4 + 262, 3, 3, name}}) + "xyz");
  const ToolRun run = pellux(dir, {"a.fst", std::string(250, 'n'), "out"});
  EXPECT_EQ(run.output, kBanner + found(name, 3, 3));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir / "out"), "xyz");
}

// One row per message that can be provoked from outside: the archive, the request, what is
// printed after the banner, the status, and what the output file holds afterwards (absent:
// "-").
struct FailureCase {
  std::string what;
  std::string archive;
  std::string request;
  std::string message;
  int status;
  std::string output = "";
  std::string output_path = "out";
  ToolOptions options = {};
};

void run_failure_cases(const std::vector<FailureCase>& cases) {
  for (const FailureCase& c : cases) {
    ScratchDir dir;
    if (c.archive != "-") write_file(dir / "a.fst", c.archive);
    const ToolRun run = pellux(dir, {"a.fst", c.request, c.output_path}, c.options);
    EXPECT_EQ(run.output, kBanner + c.message) << c.what;
    EXPECT_EQ(run.status, c.status) << c.what;
    if (c.output_path == "out") {
      if (c.output == "-") {
        EXPECT_FALSE(std::filesystem::exists(dir / "out")) << c.what;
      } else {
        EXPECT_EQ(read_file(dir / "out"), c.output) << c.what;
      }
    }
    if (c.archive != "-") {
      EXPECT_EQ(read_file(dir / "a.fst"), c.archive) << c.what;
    }
  }
}

std::string one_record(int32_t offset, int32_t stored, int32_t uncompressed,
                       const std::string& tail) {
  return fst_table(1, {{offset, stored, uncompressed, "dir\\x.bin"}}) + tail;
}

TEST(PelluxCliTest, ReportsEveryFailure) {
  const int32_t data = 4 + 262;  // where the data of a one-record archive starts
  const std::string ok = one_record(data, 3, 3, "abc");
  const auto found_x = [](int64_t stored, int64_t uncompressed) {
    return found("dir\\x.bin", stored, uncompressed);
  };
  const std::string no_table_memory = "Error -- Can't allocate memory for table of contents\n";
  ToolOptions small_memory;
  // Not under the sanitizers, whose runtime needs more address space; there the rows still
  // check the message.
  if (!kSanitized) small_memory.address_space_limit = uint64_t{128} << 20;
  // clang-format off
  run_failure_cases({
      {"archive missing", "-", "x.bin", "Can't open input FST file 'a.fst'\n", 1, "-"},
      {"output is the archive", ok, "x.bin", "Output file './a.fst' is the same file as the input\n", 1, "-", "./a.fst"},
      {"output folder missing", ok, "x.bin", "Can't open output file 'no/out'\n", 1, "-", "no/out"},
      {"no such entry", ok, "y.bin", kNotFound, 1},
      {"empty archive", "", "x.bin", kNotFound, 1},
      {"archive of two bytes", "\x01", "x.bin", kShortTable, 1},
      {"count above the records", fst_table(3, {{data, 0, 0, "x.bin"}}), "x.bin", kShortTable, 1},
      {"count far above the archive", fst_table(16000000, {}), "x.bin", kShortTable, 1, "", "out", small_memory},
      {"negative count", fst_table(0xFFFFFFFF, {}), "x.bin", no_table_memory, 1},
      {"count beyond 4 GiB of table", fst_table(20000000, {}), "x.bin", no_table_memory, 1},
      {"negative stored size", one_record(data, -1, 3, "abc"), "x.bin",
       found_x(-1, 3) + "Error -- Can't allocate memory for the FST file dir\\x.bin.\n", 1},
      {"entry past the end", one_record(data + 3, 1, 1, "abc"), "x.bin", found_x(1, 1) + kShortEntry, 1},
      {"entry longer than the archive", one_record(data, 0x7FFFFFFF, 0x7FFFFFFF, "abc"), "x.bin",
       found_x(0x7FFFFFFF, 0x7FFFFFFF) + kShortEntry, 1, "", "out", small_memory},
      {"negative offset", one_record(-5, 3, 3, "abc"), "x.bin", found_x(3, 3) + kShortEntry, 1},
      {"negative offset, empty entry", one_record(-5, 0, 0, "abc"), "x.bin", found_x(0, 0) + kShortEntry, 1},
      {"uncompressed size below -16", one_record(data, 3, -17, "abc"), "x.bin",
       found_x(3, -17) + "Error -- Can't allocate memory to decompress FST file\n", 1},
      {"output write fails", one_record(data, 100000, 100000, std::string(100000, 'w')), "x.bin",
       found_x(100000, 100000) + "Error writing to output file\n", 1, "", "/dev/full"},
      // Closing the output fails silently; the status says so.
      {"output close fails", ok, "x.bin", found_x(3, 3), 255, "", "/dev/full"},
      {"empty entry past the end", one_record(data + 1000, 0, 0, ""), "x.bin", found_x(0, 0), 0},
  });
  // clang-format on
}

TEST(PelluxCliTest, ReportsAllocationFailures) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit";
  ScratchDir dir;
  ToolOptions limited;
  limited.address_space_limit = uint64_t{256} << 20;
  // A stored entry of 512 MiB, really present in a sparse archive.
  const int32_t big = 512 << 20;
  write_file(dir / "a.fst", fst_table(1, {{4 + 262, big, big, "big.bin"}}));
  std::filesystem::resize_file(dir / "a.fst", 4 + 262 + static_cast<uint64_t>(big));
  ToolRun run = pellux(dir, {"a.fst", "big.bin", "out"}, limited);
  EXPECT_EQ(run.output, kBanner + found("big.bin", big, big) +
                            "Error -- Can't allocate memory for the FST file big.bin.\n");
  EXPECT_EQ(run.status, 1);
  // A small stream that claims to decode to 2 GiB.
  const std::string stream = encode_stream("tiny");
  write_file(
      dir / "a.fst",
      fst_table(1, {{4 + 262, static_cast<int32_t>(stream.size()), 0x7FFFFFFF, "z"}}) + stream);
  run = pellux(dir, {"a.fst", "z", "out"}, limited);
  EXPECT_EQ(run.output, kBanner + found("z", static_cast<int64_t>(stream.size()), 0x7FFFFFFF) +
                            "Error -- Can't allocate memory to decompress FST file\n");
  EXPECT_EQ(run.status, 1);
}

}  // namespace
