// The modes that look inside both formats (-l, -t, -x, --help, --version), run as built:
// standard output byte for byte after the banner, exit status, and the files left in the
// output folder.
#include <gtest/gtest.h>

#include <cstdarg>

#include <cstdio>

#include "fst_writer.h"
#include "stream_model.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace tools;
using namespace std::string_literals;

const std::string kPelluxBanner =
    "-- pellux -- read and extract a file from an FST or DPK file --\n\n";
const std::string kCorvaneBanner =
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n";

// One row: the files to put in the scratch folder (as run_cli_cases takes them), the command
// line, what it prints after the banner, its status, and what the run leaves in the folder
// "out"; nothing else may change.
std::string line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string line(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

TEST(ModesCliTest, PelluxListsTestsAndExtractsMany) {
  const std::string text = text_like(3000, 1), logo = random_bytes(500, 2);
  const std::string stream = encode(text);
  const auto size = [](const std::string& s) { return static_cast<int32_t>(s.size()); };
  const std::string sound = make_fst(
      {{"Data\\README.TXT", text, true}, {"logo.bin", logo, false}, {"x/empty.dat", "", false}});
  const int32_t at = 4 + 262 * 3;
  const std::string header = "Index      Stored  Uncompressed  Kind            Offset  Name\n";
  // Damaged records: data past the end, a negative size; a name that would command a terminal.
  const std::string hostile = fst_table(3, {{100000, 5, 5, "far.bin"},
                                            {at, -1, 3, "neg.bin"},
                                            {at, 3, 3, "\x1b[2Jevil\xC3\xA9.txt"}}) +
                              "abc";
  // Streams that decode short, long, or to the right size without their END.
  const std::string no_end = pack_codes({{256, 9}, {'a', 9}, {'b', 9}, {'c', 9}, {0, 12}});
  const std::string broken = fst_table(3, {{at, size(stream), 3001, "short.txt"},
                                           {at, size(stream), 2990, "long.txt"},
                                           {at + size(stream), size(no_end), 3, "noend.txt"}}) +
                             stream + no_end;
  const std::string names = fst_table(5, {{at + 2 * 262, 3, 3, "one/a.txt"},
                                          {at + 2 * 262, 3, 3, "TWO\\A.TXT"},
                                          {at + 2 * 262, 3, 3, "dir/.."},
                                          {at + 2 * 262, 3, 3, "C:"},
                                          {at + 2 * 262, 3, 3, "bad\x01name"}}) +
                            "abc";
  const std::string reserved =
      fst_table(2, {{at - 262, 3, 3, "con.txt"}, {at - 262, 3, 3, "x/a:b"}}) + "abc";
  const std::map<std::string, std::string> all = {
      {"out/README.TXT", text}, {"out/logo.bin", logo}, {"out/empty.dat", ""}};
  const std::string usage =
      "Usage: pellux <FST file> <file to extract> <file to create>\n\n"
      "    The name of the file to extract should *not* contain path info.\n"
      "    pellux will ignore any directory path given it.\n";
  const std::string logo_refused =
      "Extracted README.TXT\nCan't create logo.bin: it exists, or is not a plain file (-f replaces "
      "a file)\nExtracted empty.dat\n2 entries extracted, 1 not\n";
  const std::string extracted_all =
      "Extracted README.TXT\nExtracted logo.bin\nExtracted empty.dat\n";
  // clang-format off
  run_cli_cases(tool_path("PELLUX_TOOL", PELLUX_PATH), kPelluxBanner, {{"out", "<folder>"}}, {
      {"list", {{"a.fst", sound}}, {"-l", "a.fst"}, header + line("%5d %11d %13d  %-10s %11d  %s\n", 0, size(stream), 3000, "compressed", at, "Data\\README.TXT") + line("%5d %11d %13d  %-10s %11d  %s\n", 1, 500, 500, "stored", at + size(stream), "logo.bin") + line("%5d %11d %13d  %-10s %11d  %s\n", 2, 0, 0, "stored", at + size(stream) + 500, "x/empty.dat") + "3 entries, 0 damaged\n", 0},
      {"list damaged", {{"a.fst", hostile}}, {"-l", "a.fst"}, header + line("%5d %11d %13d  %-10s %11d  %s\n", 0, 5, 5, "damaged", 100000, "far.bin") + line("%5d %11d %13d  %-10s %11d  %s\n", 1, -1, 3, "damaged", at, "neg.bin") + line("%5d %11d %13d  %-10s %11d  %s\n", 2, 3, 3, "stored", at, "\\x1b[2Jevil\\xc3\\xa9.txt") + "3 entries, 2 damaged\n", 1},
      {"list a short table", {{"a.fst", fst_table(3, {})}}, {"-l", "a.fst"}, "Error reading FST table of contents\n", 1},
      {"test", {{"a.fst", sound}}, {"-t", "a.fst"}, "3 entries tested, 0 damaged\n", 0},
      {"test damaged", {{"a.fst", hostile}}, {"-t", "a.fst"}, "Entry 0 (far.bin): its data does not lie inside the archive\n" "Entry 1 (neg.bin): its data does not lie inside the archive\n3 entries tested, 2 damaged\n", 1},
      {"test broken streams", {{"a.fst", broken}}, {"-t", "a.fst"}, "Entry 0 (short.txt): decodes to 3000 bytes, not 3001\nEntry 1 (long.txt): decodes to more than 2990 bytes\n" "Entry 2 (noend.txt): its stream stops before its END\n3 entries tested, 3 damaged\n", 1},
      {"extract all", {{"a.fst", sound}}, {"-x", "a.fst", "out"}, extracted_all + "3 entries extracted, 0 not\n", 0, all},
      {"extract into a new folder", {{"a.fst", sound}}, {"-x", "a.fst", "out/new"}, extracted_all + "3 entries extracted, 0 not\n", 0, {{"out/new", "<folder>"}, {"out/new/README.TXT", text}, {"out/new/logo.bin", logo}, {"out/new/empty.dat", ""}}},
      {"extract by pattern", {{"a.fst", sound}}, {"-x", "a.fst", "out", "*.txt", "dir\\?OGO.*"}, "Extracted README.TXT\nExtracted logo.bin\n2 entries extracted, 0 not\n", 0, {{"out/README.TXT", text}, {"out/logo.bin", logo}}},
      {"names that cannot be files", {{"a.fst", names}}, {"-x", "a.fst", "out"}, "Extracted a.txt\nSkipped entry 1: A.TXT was already taken by an earlier entry\n" "Refused entry 2: '..' cannot be a file name in the folder\nRefused entry 3: '' cannot be a file name in the folder\n" "Refused entry 4: 'bad\\x01name' cannot be a file name in the folder\n1 entries extracted, 4 not\n", 1, {{"out/a.txt", "abc"}}},
      {"names Windows reserves", {{"a.fst", reserved}}, {"-x", "a.fst", "out"}, "Extracted con.txt\nExtracted a:b\n2 entries extracted, 0 not\n", 0, {{"out/con.txt", "abc"}, {"out/a:b", "abc"}}, {}, "skip: Windows reserves these names; next row"},
      {"names Windows reserves, on Windows", {{"a.fst", reserved}}, {"-x", "a.fst", "out"}, "Refused entry 0: 'con.txt' cannot be a file name in the folder\n" "Refused entry 1: 'a:b' cannot be a file name in the folder\n0 entries extracted, 2 not\n", 1, {}, {}, "only: Windows reserves these names"},
      {"a file is there", {{"a.fst", sound}, {"out/logo.bin", "old"}}, {"-x", "a.fst", "out"}, logo_refused, 1, {{"out/README.TXT", text}, {"out/logo.bin", "old"}, {"out/empty.dat", ""}}},
      {"a file is there, -f", {{"a.fst", sound}, {"out/logo.bin", "old"}}, {"-xf", "a.fst", "out"}, extracted_all + "3 entries extracted, 0 not\n", 0, all},
      {"a planted link", {{"a.fst", sound}, {"outside", "keep"}, {"out/logo.bin", "<link>../outside"}}, {"-x", "-f", "a.fst", "out"}, logo_refused, 1, {{"out/README.TXT", text}, {"out/logo.bin", "<link>../outside"}, {"out/empty.dat", ""}}, {}, kWineFollowsLinks},
      {"a second name of the archive, -f", {{"a.fst", sound}, {"out/logo.bin", "<hard>a.fst"}}, {"-xf", "a.fst", "out"}, logo_refused, 1, {{"out/README.TXT", text}, {"out/logo.bin", sound}, {"out/empty.dat", ""}}},
      {"no folder", {{"a.fst", sound}}, {"-x", "a.fst", "no/out"}, "Can't create folder 'no/out'\n", 1},
      {"a write past the file-size limit", {{"a.fst", sound}}, {"-x", "a.fst", "out"}, "Error writing README.TXT\nExtracted logo.bin\nExtracted empty.dat\n2 entries extracted, 1 not\n", 1, {{"out/README.TXT", text.substr(0, 1000)}, {"out/logo.bin", logo}, {"out/empty.dat", ""}}, {.file_size_limit = 1000}},
      {"a file where the folder goes", {{"a.fst", sound}, {"file", "x"}}, {"-x", "a.fst", "file"}, "Can't create folder 'file'\n", 1},
      {"a FIFO where an entry goes, -f", {{"a.fst", sound}, {"out/logo.bin", "<fifo>"}}, {"-xf", "a.fst", "out"}, logo_refused, 1, {{"out/README.TXT", text}, {"out/logo.bin", "<fifo>"}, {"out/empty.dat", ""}}},
      {"an archive named -l", {{"-l", sound}}, {"--", "-l", "logo.bin", "out/x"}, "Found logo.bin  [CSize:500, USize:500]\n\n", 0, {{"out/x", logo}}},
      {"version", {}, {"--version"}, "pellux " PROJECT_VERSION "\n", 0},
      {"unknown option", {}, {"-z", "a.fst"}, usage, 0},
      {"no arguments", {}, {}, usage, 0},
      {"two arguments", {}, {"a.fst", "x"}, usage, 0},
      {"four arguments", {}, {"a.fst", "x", "out", "extra"}, usage, 0},
  });
  // clang-format on
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

TEST(ModesCliTest, CorvaneListsTestsAndUnpacks) {
  const std::string text = text_like(3000, 1), stream = encode(text);
  const auto size = static_cast<uint32_t>(stream.size());
  const uint32_t c = 0x40000000;
  const std::string sound =
      container({20, 20 | c, 24 + size, 30 + size}, le32_bytes(3000) + stream + "stored");
  const std::string wrong_length =
      container({20, 20 | c, 24 + size, 30 + size}, le32_bytes(3001) + stream + "stored");
  const std::string no_end = pack_codes({{256, 9}, {'a', 9}, {'b', 9}, {'c', 9}, {0, 12}});
  const std::string broken = container({12, 12 | c}, le32_bytes(3) + no_end);
  const std::string problems =
      container({28, 28 | c, 30, 10, 0x80000000 | 29, 28}, "0123456789", 1);
  const std::string header = "Index      Offset  Kind              Length    Original\n";
  const std::string first_line =
      line("%5d %11u  %-10s %13u %11u\n", 0, 20u, "compressed", size + 4, 3000u);
  const std::string sound_lines = first_line +
                                  line("%5d %11u  %-10s %13u\n", 1, 24 + size, "stored", 6u) +
                                  line("%5d %11u  %-10s %13u\n", 2, 30 + size, "stored", 0u);
  // The first line of a listing: size, count, data area offset and checksum word.
  const auto summary = [](const std::string& bytes, size_t count, uint32_t data_offset) {
    const auto* word = reinterpret_cast<const uint8_t*>(bytes.data());
    return line("c.sol: %zu bytes, %zu entries, data area at offset %u, checksum word 0x%08X\n",
                bytes.size(), count, data_offset,
                static_cast<uint32_t>(word[0] | word[1] << 8 | word[2] << 16 | word[3] << 24));
  };
  uint32_t sum = 0;
  for (const char byte : problems.substr(4)) sum += static_cast<uint8_t>(byte);
  const std::string problem_lines =
      line("Checksum word 0x%08X does not match the bytes after it (their sum: 0x%08X)\n", sum + 1,
           sum) +
      "Entry 2: offset 10 lies outside the data area\nEntry 3: bit 31 of its offset word is set\n"
      "Entry 4: offset 28 comes before the entry listed before it\n"
      "Entry 0: compressed, but too short for its length word\n" +
      summary(problems, 5, 28) + header +
      line("%5d %11u  %-10s %13u %11u\n", 0, 28u, "compressed", 2u, 0u) +
      line("%5d %11u  %-10s %13u\n", 1, 30u, "stored", 0u) +
      line("%5d %11u  %-10s %13u\n", 2, 10u, "stored", 19u) +
      line("%5d %11u  %-10s %13u\n", 3, 29u, "stored", 0u) +
      line("%5d %11u  %-10s %13u\n", 4, 28u, "stored", 10u) + "5 entries, 5 problems\n";
  const std::string bad_offset = container({13}, "12345"),
                    far_offset = container({0x100000C, 12}, "abcd");
  const std::string long_stream =
      container({20, 20 | c, 24 + size, 30 + size}, le32_bytes(2999) + stream + "stored");
  const std::string usage = "Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n";
  std::string eleven = container({52, 52, 52, 52, 52, 52, 52, 52, 52, 52, 52, 52}, "");
  std::string names, list;
  std::map<std::string, std::string> unpacked_eleven;
  for (int i = 0; i <= 10; ++i) {
    const std::string name = (i < 10 ? "0" : "") + std::to_string(i) + ".bin";
    list += "u " + name + "\n";
    unpacked_eleven["out/" + name] = "";
  }
  unpacked_eleven["out/list.txt"] = list;
  // clang-format off
  run_cli_cases(tool_path("CORVANE_TOOL", CORVANE_PATH), kCorvaneBanner, {{"out", "<folder>"}}, {
      {"list", {{"c.sol", sound}}, {"-l", "c.sol"}, summary(sound, 3, 20) + header + sound_lines + "3 entries, 0 problems\n", 0},
      {"list problems", {{"c.sol", problems}}, {"-l", "c.sol"}, problem_lines, 1},
      {"list a data area offset that is no offset", {{"c.sol", bad_offset}}, {"-l", "c.sol"}, "Data area offset 13 is not 8 + 4 n inside the file\n" + summary(bad_offset, 0, 13) + header + "0 entries, 1 problems\n", 1},
      {"list a data area offset past the end", {{"c.sol", far_offset}}, {"-l", "c.sol"}, "Data area offset 16777228 is not 8 + 4 n inside the file\n" + summary(far_offset, 0, 16777228) + header + "0 entries, 1 problems\n", 1},
      {"list a short file", {{"c.sol", "abc"}}, {"-l", "c.sol"}, "The file is shorter than a container's two header words\n" "c.sol: 3 bytes, 0 entries, data area at offset 0, checksum word 0x00000000\n" + header + "0 entries, 1 problems\n", 1},
      {"list no file", {}, {"-l", "c.sol"}, "Can't open container 'c.sol'\n", 1},
      {"test", {{"c.sol", sound}}, {"-t", "c.sol"}, "3 entries tested, 0 damaged, 0 problems\n", 0},
      {"test a wrong length word", {{"c.sol", wrong_length}}, {"-t", "c.sol"}, "Entry 0: decodes to 3000 bytes, not 3001\n3 entries tested, 1 damaged, 0 problems\n", 1},
      {"test a stream that decodes to more", {{"c.sol", long_stream}}, {"-t", "c.sol"}, "Entry 0: decodes to more than 2999 bytes\n3 entries tested, 1 damaged, 0 problems\n", 1},
      {"test a stream without END", {{"c.sol", broken}}, {"-t", "c.sol"}, "Entry 0: its stream stops before its END\n1 entries tested, 1 damaged, 0 problems\n", 1},
      {"unpack", {{"c.sol", sound}}, {"-x", "c.sol", "out"}, "Unpacked 3 of 3 entries into out\n", 0, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}},
      {"unpack eleven", {{"c.sol", eleven}}, {"-x", "c.sol", "out"}, "Unpacked 11 of 11 entries into out\n", 0, unpacked_eleven},
      {"unpack a damaged container", {{"c.sol", bad_offset}}, {"-x", "c.sol", "out"}, "Data area offset 13 is not 8 + 4 n inside the file\nContainer 'c.sol' is damaged: nothing unpacked\n", 1},
      {"unpack a wrong length word", {{"c.sol", wrong_length}}, {"-x", "c.sol", "out"}, "Entry 0: its stream does not decode to its 3001 bytes\nUnpacked 2 of 3 entries into out\n", 1, {{"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}},
      {"unpack past the file-size limit", {{"c.sol", sound}}, {"-x", "c.sol", "out"}, "Error writing out/0.bin\nUnpacked 2 of 3 entries into out\n", 1, {{"out/0.bin", text.substr(0, 1000)}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}, {.file_size_limit = 1000}},
      {"unpack where a file is", {{"c.sol", sound}, {"out/list.txt", "old"}}, {"-x", "c.sol", "out"}, "Can't create out/list.txt: it exists, or is not a plain file (-f replaces a file)\nUnpacked 3 of 3 entries into out\n", 1, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "old"}}},
      {"unpack where a file is, -f", {{"c.sol", sound}, {"out/list.txt", "old"}}, {"-xf", "c.sol", "out"}, "Unpacked 3 of 3 entries into out\n", 0, {{"out/0.bin", text}, {"out/1.bin", "stored"}, {"out/2.bin", ""}, {"out/list.txt", "c 0.bin\nu 1.bin\nu 2.bin\n"}}},
      {"version", {}, {"--version"}, "corvane " PROJECT_VERSION "\n", 0},
      {"unknown option", {}, {"-z", "list", "c.sol"}, usage, 0},
      {"a thread count that is no number", {}, {"-j", "2x", "list", "c.sol"}, usage, 0},
      {"a thread count of 0", {}, {"-j0", "list", "c.sol"}, usage, 0},
      {"no thread count", {}, {"-j"}, usage, 0},
      {"no arguments", {}, {}, usage, 0},
      {"one argument", {}, {"list"}, usage, 0},
      {"three arguments", {}, {"list", "out.sol", "extra"}, usage, 0},
  });
  // clang-format on
}

// --help names every mode and option of each program, and succeeds.
TEST(ModesCliTest, HelpShowsEveryMode) {
  const std::pair<const char*, std::vector<std::string>> programs[] = {
      {"PELLUX_TOOL",
       {"-l <FST file>", "-t <FST file>", "-x [-f] <FST file> <folder> [pattern ...]"}},
      {"CORVANE_TOOL",
       {"[-j N] <file list>", "-l <container>", "-t <container>", "-x [-f] <container> <folder>"}},
  };
  for (const auto& [variable, synopses] : programs) {
    const bool pellux = std::string(variable) == "PELLUX_TOOL";
    const ToolRun run =
        run_tool(tool_path(variable, pellux ? PELLUX_PATH : CORVANE_PATH), {"--help"});
    EXPECT_EQ(run.status, 0);
    for (const std::string& synopsis : synopses) {
      EXPECT_NE(run.output.find(synopsis), std::string::npos) << synopsis;
    }
  }
}

}  // namespace
