// The built pellux, run in a scratch folder: standard output byte for byte, exit status and
// the output file it leaves.
#include <gtest/gtest.h>

#include <thread>

#include "fst/writer.h"
#include "stream_model.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;

const std::string kBanner = "-- pellux -- read and extract a file from an FST or DPK file --\n\n";
const std::string kNotFound = "Couldn't find an entry by that name";
const std::string kShortEntry = "Error reading file from FST\n";
const std::string kShortTable = "Error reading FST table of contents\n";
const std::string kSizeWarning =
    "Warning -- Decompressed size does not match the FST's stored value\n";
const std::string kNoStdinPath = "skip: wine's server opens /dev/stdin, so it names the server's";

std::string found(const std::string& name, int64_t stored, int64_t uncompressed) {
  return "Found " + name + "  [CSize:" + std::to_string(stored) +
         ", USize:" + std::to_string(uncompressed) + "]\n\n";
}

// One row per outcome that can be provoked from outside: the archive, the request, what is
// printed after the banner, the status, and what the output file holds afterwards ("(missing)"
// when there is none); nothing else in the folder may change.
CliCase row(const std::string& what, const std::string& archive, const std::string& request,
            const std::string& message, int status, const std::string& out = "",
            const std::string& out_path = "out", ToolOptions options = {},
            const std::string& archive_path = "a.fst", uint64_t sparse = 0,
            const std::string& windows = "") {
  CliCase c{what, {}, {archive_path, request, out_path}, message, status, {}, options, windows};
  if (archive != "-")
    c.files["a.fst"] = sparse == 0 ? archive : "<zeros>" + std::to_string(sparse) + ":" + archive;
  if (archive_path == "folder") c.files["folder"] = "<folder>";
  if (archive_path == "/dev/stdin") c.options.input = archive;
  if (out_path == "out" && out != "(missing)") c.after["out"] = out;
  return c;
}

std::string one_record(int32_t offset, int32_t stored, int32_t uncompressed,
                       const std::string& tail, const std::string& name = "dir\\x.bin") {
  return fst_table(1, {{offset, stored, uncompressed, name}}) + tail;
}

TEST(PelluxCliTest, ExtractsAndReportsEveryOutcome) {
  const int32_t data = 4 + 262;  // where the data of a one-record archive starts
  const std::string ok = one_record(data, 3, 3, "abc");
  const auto found_x = [](int64_t stored, int64_t uncompressed) {
    return found("dir\\x.bin", stored, uncompressed);
  };
  const std::string no_table_memory = "Error -- Can't allocate memory for table of contents\n";
  const std::string text = "a stream that decodes to fewer bytes than its record claims";
  const std::string stream = encode(text), long_stream = encode(std::string(5000, 'm'));
  const auto size = [](const std::string& s) { return static_cast<int32_t>(s.size()); };
  const ToolOptions less_memory{.address_space_limit = 256 << 20},
      small_files{.file_size_limit = 50000}, closed{.closed_stdio = true};
  const int32_t big = 512 << 20;
  const std::string tiny = encode("tiny");
  // Not under the sanitizers, whose runtime needs more address space, nor under wine, which
  // needs about 2 GiB to start; there the rows still check the message.
  const ToolOptions small_memory{.address_space_limit =
                                     kSanitized || tools_under_wine() ? 0 : 128u << 20};
  // Entries of every kind, from a file and through a pipe, found by base name.
  // clang-format off
  const std::vector<fst::NewEntry> kinds = {{"data\\Sounds\\BOOM.WAV", random_bytes(40000, 1), true}, {"docs.old/readme", "stored text\r\n", false},
      {"C:empty.bin", "", false}, {"nothing.z", "", true}, {"maps/run.bin", std::string(3000000, '\x07'), true},
      {"bin/tool", random_bytes(3000, 2) + std::string(5000, '\0') + random_bytes(3000, 3), true}};
  const std::string all = fst::archive_bytes(kinds);
  const std::string lookups = fst::archive_bytes({{"one\\a.txt", "1", false}, {"two/A.TXT", "2", false}, {"@x", "3", false},
      {"\xC3\x89t\xC3\x89.txt", "4", false}, {std::string("half\0hidden", 11), "5", false}});
  // clang-format on
  const auto found_kind = [&kinds](size_t i) {
    const auto stored = kinds[i].compress ? encode(kinds[i].data) : kinds[i].data;
    return found(kinds[i].name, static_cast<int64_t>(stored.size()),
                 static_cast<int64_t>(kinds[i].data.size()));
  };
  // clang-format off
  run_cli_cases(tool_path("PELLUX_TOOL", PELLUX_PATH), kBanner, {}, {
      row("compressed", all, "boom.wav", found_kind(0), 0, kinds[0].data),
      row("compressed, piped", all, "x:\\other\\dir/Boom.Wav", found_kind(0), 0, kinds[0].data, "out", {}, "/dev/stdin", 0, kNoStdinPath),
      row("stored", all, "README", found_kind(1), 0, kinds[1].data),
      row("stored, piped", all, "readme", found_kind(1), 0, kinds[1].data, "out", {}, "/dev/stdin", 0, kNoStdinPath),
      row("stored, empty", all, "empty.bin", found_kind(2), 0, ""),
      row("compressed, empty", all, "NOTHING.Z", found_kind(3), 0, ""),
      row("a long run", all, "run.bin", found_kind(4), 0, kinds[4].data),
      row("a long run, piped", all, "run.bin", found_kind(4), 0, kinds[4].data, "out", {}, "/dev/stdin", 0, kNoStdinPath),
      row("mixed", all, "c:/TOOL", found_kind(5), 0, kinds[5].data),
      row("mixed, piped", all, "tool", found_kind(5), 0, kinds[5].data, "out", {}, "/dev/stdin", 0, kNoStdinPath),
      row("the first of two matches", lookups, "X:\\A.Txt", found("one\\a.txt", 1, 1), 0, "1"),
      row("'@' is no letter", lookups, "`x", kNotFound, 1),
      row("letters past ASCII do not fold", lookups, "\xC3\xA9t\xC3\xA9.txt", kNotFound, 1),
      row("letters past ASCII match as stored", lookups, "\xC3\x89T\xC3\x89.TXT", found("\xC3\x89t\xC3\x89.txt", 1, 1), 0, "4"),
      row("a name ends at its NUL", lookups, "hidden", kNotFound, 1),
      row("archive missing", "-", "x.bin", "Can't open input FST file 'a.fst'\n", 1, "(missing)"),
      row("archive is a folder", "-", "x.bin", kShortTable, 1, "", "out", {}, "folder", 0, "skip: on Windows fopen refuses a folder; next row"),
      row("archive is a folder, Windows", "-", "x.bin", "Can't open input FST file 'folder'\n", 1, "(missing)", "out", {}, "folder", 0, "only: fopen refuses a folder"),
      row("output is the archive", ok, "x.bin", "Output file './a.fst' is the same file as the input\n", 1, "(missing)", "./a.fst"),
      row("output folder missing", ok, "x.bin", "Can't open output file 'no/out'\n", 1, "(missing)", "no/out"),
      row("no such entry", ok, "y.bin", kNotFound, 1),
      row("empty archive", "", "x.bin", kNotFound, 1),
      row("archive of two bytes", "\x01", "x.bin", kShortTable, 1),
      row("count above the records", fst_table(3, {{data, 0, 0, "x.bin"}}), "x.bin", kShortTable, 1),
      row("count far above the archive", fst_table(16000000, {}), "x.bin", kShortTable, 1, "", "out", small_memory),
      row("count far above a piped archive", fst_table(16000000, {}), "x.bin", kShortTable, 1, "", "out", small_memory, "/dev/stdin", 0, kNoStdinPath),
      row("negative count", fst_table(0xFFFFFFFF, {}), "x.bin", no_table_memory, 1),
      row("count beyond 4 GiB of table", fst_table(20000000, {}), "x.bin", no_table_memory, 1),
      row("negative stored size", one_record(data, -1, 3, "abc"), "x.bin", found_x(-1, 3) + "Error -- Can't allocate memory for the FST file dir\\x.bin.\n", 1),
      row("entry past the end", one_record(data + 3, 1, 1, "abc"), "x.bin", found_x(1, 1) + kShortEntry, 1),
      row("entry longer than the archive", one_record(data, 0x7FFFFFFF, 0x7FFFFFFF, "abc"), "x.bin", found_x(0x7FFFFFFF, 0x7FFFFFFF) + kShortEntry, 1, "", "out", small_memory),
      row("negative offset", one_record(-5, 3, 3, "abc"), "x.bin", found_x(3, 3) + kShortEntry, 1),
      row("negative offset, empty entry", one_record(-5, 0, 0, "abc"), "x.bin", found_x(0, 0) + kShortEntry, 1),
      row("entry behind a piped table", one_record(2, 3, 3, "abc"), "x.bin", found_x(3, 3) + kShortEntry, 1, "", "out", {}, "/dev/stdin", 0, kNoStdinPath),
      row("uncompressed size below -16", one_record(data, 3, -17, "abc"), "x.bin", found_x(3, -17) + "Error -- Can't allocate memory to decompress FST file\n", 1),
      row("stream shorter than recorded", one_record(data, size(stream), 100, stream), "x.bin", found_x(size(stream), 100) + kSizeWarning, 0, text),
      // Cut at 16 bytes beyond what its record claims.
      row("stream longer than recorded", one_record(data, size(long_stream), 10, long_stream), "x.bin", found_x(size(long_stream), 10) + kSizeWarning, 0, std::string(26, 'm')),
      row("name of 250 bytes", one_record(data, 3, 3, "abc", std::string(250, 'N')), std::string(250, 'n'),
       found(std::string(250, 'N'), 3, 3), 0, "abc"),
      row("name with control bytes", one_record(data, 3, 3, "abc", "\x1b]0;title\x07x.bin\x7f"), "\x1b]0;title\x07x.bin\x7f", found("\\x1b]0;title\\x07x.bin\\x7f", 3, 3), 0, "abc"),
      row("output write fails", one_record(data, 100000, 100000, std::string(100000, 'w')), "x.bin", found_x(100000, 100000) + "Error writing to output file\n", 1, "", "/dev/full"),
      row("output reaches the file size limit", one_record(data, 100000, 100000, std::string(100000, 'w')), "x.bin", found_x(100000, 100000) + "Error writing to output file\n", 1, "", "out", small_files),
      // Closing the output fails silently; the status says so.
      row("output close fails", ok, "x.bin", found_x(3, 3), 255, "", "/dev/full"),
      // A 32-bit length would read as 100 bytes, too short for the table.
      row("archive over 4 GiB", ok, "x.bin", found_x(3, 3), 0, "abc", "out", {}, "a.fst", (uint64_t{1} << 32) + 100),
      row("empty entry past the end", one_record(data + 1000, 0, 0, ""), "x.bin", found_x(0, 0), 0),
      // With standard output closed the messages go nowhere; they must not go into the output.
      row("standard output closed", ok, "x.bin", "", 0, "abc", "out", closed),
      // Entries larger than the memory the run may have go through in pieces.
      row("an entry larger than the memory", fst_table(1, {{data, big, big, "big.bin"}}), "big.bin", found("big.bin", big, big), 0, "(missing)", "/dev/null", less_memory, "a.fst", uint64_t{data} + big, kWineNeedsAddressSpace),
      row("a stream that claims more than the memory", fst_table(1, {{data, size(tiny), 0x7FFFFFFF, "z"}}) + tiny, "z", found("z", size(tiny), 0x7FFFFFFF) + kSizeWarning, 0, "tiny", "out", less_memory, "a.fst", 0, kWineNeedsAddressSpace),
      // A million records, really there (all zeros), that outgrow the memory.
      row("no memory for the table", le32_bytes(1000000), "z", no_table_memory, 1, "", "out", less_memory, "a.fst", 4 + uint64_t{262} * 1000000, kWineNeedsAddressSpace),
  });
  // clang-format on
}

TEST(PelluxCliTest, ListsTestsAndExtractsMany) {
  // clang-format off
  const std::string text = text_like(3000, 1), logo = random_bytes(500, 2), stream = encode(text);
  const auto size = [](const std::string& s) { return static_cast<int32_t>(s.size()); };
  const std::string sound = fst::archive_bytes({{"Data\\README.TXT", text, true}, {"logo.bin", logo, false}, {"x/empty.dat", "", false}});
  const int32_t at = 4 + 262 * 3;
  const std::string header = "Index      Stored  Uncompressed  Kind            Offset  Name\n";
  // Damaged records: data past the end, a negative size; a name that would command a terminal.
  const std::string hostile = fst_table(3, {{100000, 5, 5, "far.bin"}, {at, -1, 3, "neg.bin"}, {at, 3, 3, "\x1b[2Jevil\xC3\xA9.txt"}}) + "abc";
  // Streams that decode short, long, or to the right size without their END.
  const std::string no_end = pack_codes({{256, 9}, {'a', 9}, {'b', 9}, {'c', 9}, {0, 12}});
  const std::string broken = fst_table(3, {{at, size(stream), 3001, "short.txt"}, {at + size(stream), size(stream), 2980, "long.txt"},
                                           {at + 2 * size(stream), size(no_end), 3, "noend.txt"}}) + stream + stream + no_end;
  // Records that share data: the test reports it, and extraction stops at a bound no archive
  // without them can reach.
  const std::string zeros = encode(std::string(20000000, '\0'));
  std::vector<FstRecord> sharing;
  for (const char* name : {"z0", "z1", "z2", "z3", "z4"}) sharing.push_back({4 + 262 * 5, size(zeros), 20000000, name});
  const std::string shared = fst_table(5, sharing) + zeros;
  const auto refused = [&shared](int i) {
    return line("Refused entry %d: z%d would take the archive's overlapping entries past %zu bytes\n", i, i, 2560 * shared.size());
  };
  const std::string names = fst_table(5, {{at + 524, 3, 3, "one/a.txt"}, {at + 524, 3, 3, "TWO\\A.TXT"}, {at + 524, 3, 3, "dir/.."},
                                          {at + 524, 3, 3, "C:"}, {at + 524, 3, 3, "bad\x01name"}}) + "abc";
  const std::string reserved = fst_table(2, {{at - 262, 3, 3, "con.txt"}, {at - 259, 3, 3, "x/a:b"}}) + "abcabc";
  const std::string folded = fst::archive_bytes({{"\xC3\xA9.txt", "1", false}, {"\xC3\x89.txt", "2", false}, {"\xFF.bin", "3", false}, {"\xFE.bin", "4", false}});
  const std::map<std::string, std::string> all = {{"out/README.TXT", text}, {"out/logo.bin", logo}, {"out/empty.dat", ""}};
  const std::string usage = "Usage: pellux <FST file> <file to extract> <file to create>\n\n"
      "    The name of the file to extract should *not* contain path info.\n    pellux will ignore any directory path given it.\n";
  const std::string logo_refused = "Extracted README.TXT\nCan't create logo.bin: it exists, or is not a plain file (-f replaces "
      "a file)\nExtracted empty.dat\n2 entries extracted, 1 not\n";
  const std::string extracted_all = "Extracted README.TXT\nExtracted logo.bin\nExtracted empty.dat\n";
  run_cli_cases(tool_path("PELLUX_TOOL", PELLUX_PATH), kBanner, {{"out", "<folder>"}}, {
      {"list", {{"a.fst", sound}}, {"-l", "a.fst"}, header + line("%5d %11d %13d  %-10s %11d  %s\n", 0, size(stream), 3000, "compressed", at, "Data\\README.TXT") + line("%5d %11d %13d  %-10s %11d  %s\n", 1, 500, 500, "stored", at + size(stream), "logo.bin") + line("%5d %11d %13d  %-10s %11d  %s\n", 2, 0, 0, "stored", at + size(stream) + 500, "x/empty.dat") + "3 entries, 0 damaged\n", 0},
      {"list damaged", {{"a.fst", hostile}}, {"-l", "a.fst"}, header + line("%5d %11d %13d  %-10s %11d  %s\n", 0, 5, 5, "damaged", 100000, "far.bin") + line("%5d %11d %13d  %-10s %11d  %s\n", 1, -1, 3, "damaged", at, "neg.bin") + line("%5d %11d %13d  %-10s %11d  %s\n", 2, 3, 3, "stored", at, "\\x1b[2Jevil\\xc3\\xa9.txt") + "3 entries, 2 damaged\n", 1},
      {"list a short table", {{"a.fst", fst_table(3, {})}}, {"-l", "a.fst"}, "'a.fst' is no FST archive: its count, 3, needs a table of 790 bytes, and the file has 4\n", 2},
      {"test", {{"a.fst", sound}}, {"-t", "a.fst"}, "3 entries tested, 0 damaged\n", 0},
      {"test damaged", {{"a.fst", hostile}}, {"-t", "a.fst"}, "Entry 0 (far.bin): its data does not lie inside the archive\n" "Entry 1 (neg.bin): its data does not lie inside the archive\n3 entries tested, 2 damaged\n", 1},
      {"test broken streams", {{"a.fst", broken}}, {"-t", "a.fst"}, "Entry 0 (short.txt): decodes to 3000 bytes, not 3001\nEntry 1 (long.txt): decodes to more than 2980 bytes\n" "Entry 2 (noend.txt): its stream stops before its END\n3 entries tested, 3 damaged\n", 1},
      {"test records that share data", {{"a.fst", shared}}, {"-t", "a.fst"}, "Entry 1 (z1): its data overlaps entry 0's\nEntry 2 (z2): its data overlaps entry 0's\nEntry 3 (z3): its data overlaps entry 0's\nEntry 4 (z4): its data overlaps entry 0's\n5 entries tested, 4 damaged\n", 1},
      {"list records that share data", {{"a.fst", fst_table(2, {{at - 262 * 2, 4, 4, "a"}, {at - 262 * 2 + 2, 2, 2, "b"}}) + "abcd"}}, {"-l", "a.fst"}, header + line("%5d %11d %13d  %-10s %11d  %s\n", 0, 4, 4, "stored", at - 524, "a") + line("%5d %11d %13d  %-10s %11d  %s\n", 1, 2, 2, "damaged", at - 522, "b") + "2 entries, 1 damaged\n", 1},
      {"extract by a pattern that matches nothing", {{"a.fst", sound}}, {"-x", "a.fst", "out", "*.txt", "nothing"}, "Extracted README.TXT\nNo entry matches 'nothing'\n1 entry extracted, 1 not\n", 1, {{"out/README.TXT", text}}},
      {"extract records that share data", {{"a.fst", shared}}, {"-x", "a.fst", "out"}, "Extracted z0\nWarning -- z1: its data overlaps entry 0's\nExtracted z1\n" + refused(2) + refused(3) + refused(4) + "2 entries extracted, 3 not\n", 1, {{"out/z0", "<20000000 bytes>"}, {"out/z1", "<20000000 bytes>"}}},
      {"extract all", {{"a.fst", broken}}, {"-x", "a.fst", "out"}, "Warning -- short.txt: decompressed size does not match the FST's stored value\nExtracted short.txt\n" "Warning -- long.txt: decompressed size does not match the FST's stored value\nExtracted long.txt\nWarning -- noend.txt: its stream stops before its END\nExtracted noend.txt\n3 entries extracted, 0 not\n", 1, {{"out/short.txt", text}, {"out/long.txt", text.substr(0, 2996)}, {"out/noend.txt", "abc"}}},
      {"extract all, piped", {}, {"-x", "/dev/stdin", "out"}, extracted_all + "3 entries extracted, 0 not\n", 0, all, {.input = sound}, kNoStdinPath},
      {"extract into a new folder", {{"a.fst", sound}}, {"-x", "a.fst", "out/new"}, extracted_all + "3 entries extracted, 0 not\n", 0, {{"out/new", "<folder>"}, {"out/new/README.TXT", text}, {"out/new/logo.bin", logo}, {"out/new/empty.dat", ""}}},
      {"extract by pattern", {{"a.fst", sound}}, {"-x", "a.fst", "out", "*.txt", "dir\\?OGO.*"}, "Extracted README.TXT\nExtracted logo.bin\n2 entries extracted, 0 not\n", 0, {{"out/README.TXT", text}, {"out/logo.bin", logo}}},
      {"names that cannot be files", {{"a.fst", names}}, {"-x", "a.fst", "out"}, "Extracted a.txt\nSkipped entry 1: A.TXT was already taken by an earlier entry\n" "Refused entry 2: '..' cannot be a file name in the folder\nRefused entry 3: '' cannot be a file name in the folder\n" "Refused entry 4: 'bad\\x01name' cannot be a file name in the folder\n1 entry extracted, 4 not\n", 1, {{"out/a.txt", "abc"}}},
      {"names Windows reserves", {{"a.fst", reserved}}, {"-x", "a.fst", "out"}, "Extracted con.txt\nExtracted a:b\n2 entries extracted, 0 not\n", 0, {{"out/con.txt", "abc"}, {"out/a:b", "abc"}}, {}, "skip: Windows reserves these names; next row"},
      {"names Windows reserves, on Windows", {{"a.fst", reserved}}, {"-x", "a.fst", "out"}, "Refused entry 0: 'con.txt' cannot be a file name in the folder\n" "Refused entry 1: 'a:b' cannot be a file name in the folder\n0 entries extracted, 2 not\n", 1, {}, {}, "only: Windows reserves these names"},
      // Names the file system folds together: the later entry never replaces the earlier.
      {"names one file system folds, -f", {{"a.fst", folded}}, {"-xf", "a.fst", "out"}, "Extracted \xC3\xA9.txt\nExtracted \xC3\x89.txt\nExtracted \xFF.bin\nExtracted \xFE.bin\n4 entries extracted, 0 not\n", 0, {{"out/\xC3\xA9.txt", "1"}, {"out/\xC3\x89.txt", "2"}, {"out/\xFF.bin", "3"}, {"out/\xFE.bin", "4"}}, {}, "skip: Windows folds these names; next row"},
      {"names Windows folds, -f", {{"a.fst", folded}}, {"-xf", "a.fst", "out"}, "Extracted \xC3\xA9.txt\nSkipped entry 1: \xC3\x89.txt was already taken by an earlier entry\nExtracted \xFF.bin\nSkipped entry 3: \xFE.bin was already taken by an earlier entry\n2 entries extracted, 2 not\n", 1, {{"out/\xC3\xA9.txt", "1"}, {"out/\xEF\xBF\xBD.bin", "3"}}, {}, "only: \xC3\xA9 and \xC3\x89, \xFF and \xFE name one file there"},
      {"a file is there", {{"a.fst", sound}, {"out/logo.bin", "old"}}, {"-x", "a.fst", "out"}, logo_refused, 1, {{"out/README.TXT", text}, {"out/logo.bin", "old"}, {"out/empty.dat", ""}}},
      {"a file is there, -f", {{"a.fst", sound}, {"out/logo.bin", "old"}}, {"-xf", "a.fst", "out"}, extracted_all + "3 entries extracted, 0 not\n", 0, all},
      {"a planted link", {{"a.fst", sound}, {"outside", "keep"}, {"out/logo.bin", "<link>../outside"}}, {"-x", "-f", "a.fst", "out"}, logo_refused, 1, {{"out/README.TXT", text}, {"out/logo.bin", "<link>../outside"}, {"out/empty.dat", ""}}, {}, kWineFollowsLinks},
      {"a second name of the archive, -f", {{"a.fst", sound}, {"out/logo.bin", "<hard>a.fst"}}, {"-xf", "a.fst", "out"}, "Extracted README.TXT\nCan't replace logo.bin: it is the archive being read\nExtracted empty.dat\n2 entries extracted, 1 not\n", 1, {{"out/README.TXT", text}, {"out/logo.bin", sound}, {"out/empty.dat", ""}}},
      {"into folders not made yet", {{"a.fst", sound}}, {"-x", "a.fst", "no/out"}, extracted_all + "3 entries extracted, 0 not\n", 0, {{"no", "<folder>"}, {"no/out", "<folder>"}, {"no/out/README.TXT", text}, {"no/out/logo.bin", logo}, {"no/out/empty.dat", ""}}},
      {"an entry named as the archive, -f", {{"logo.bin", fst::archive_bytes({{"logo.bin", "new", false}})}}, {"-xf", "logo.bin", "."}, "Can't replace logo.bin: it is the archive being read\n0 entries extracted, 1 not\n", 1},
      {"list into a full disk", {{"a.fst", sound}}, {"-l", "a.fst"}, "", 2, {}, {.output_to = "/dev/full"}},
      {"test into a full disk", {{"a.fst", sound}}, {"-t", "a.fst"}, "", 2, {}, {.output_to = "/dev/full"}},
      {"list without an archive", {}, {"-l"}, usage, 64},
      {"test without an archive", {}, {"-t"}, usage, 64},
      {"extract without a folder", {{"a.fst", sound}}, {"-x", "a.fst"}, usage, 64},
      {"a write past the file-size limit", {{"a.fst", sound}}, {"-x", "a.fst", "out"}, "Error writing README.TXT\nExtracted logo.bin\nExtracted empty.dat\n2 entries extracted, 1 not\n", 1, {{"out/logo.bin", logo}, {"out/empty.dat", ""}}, {.file_size_limit = 1000}},
      {"a file where the folder goes", {{"a.fst", sound}, {"file", "x"}}, {"-x", "a.fst", "file"}, "Can't create folder 'file': something that is not a folder is in the way\n", 2},
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

// pellux -u and -c: every message and status, hostile names and planted links; nothing is
// ever left under the archive's name after a failed -c.
TEST(PelluxCliTest, UnpacksAndCreates) {
  // clang-format off
  const std::string text = text_like(3000, 1), logo = random_bytes(500, 2);
  const std::string plain = fst::archive_bytes({{"Data\\README.TXT", text, true}, {"logo.bin", logo, false}, {"x/empty.dat", "", false}});
  const std::string header = "# pellux manifest: c (compress) or u (store), the file to read, the name to store;\n# any space, '%' or byte that is not UTF-8 is written as %XX\n";
  const std::string plain_manifest = header + "c files/Data/README.TXT Data\\README.TXT\nu files/logo.bin logo.bin\nu files/x/empty.dat x/empty.dat\n";
  const std::map<std::string, std::string> plain_files = {{"out", "<folder>"}, {"out/files", "<folder>"}, {"out/files/Data", "<folder>"}, {"out/files/Data/README.TXT", text}, {"out/files/logo.bin", logo},
      {"out/files/x", "<folder>"}, {"out/files/x/empty.dat", ""}, {"out/manifest.txt", plain_manifest}};
  const std::string unpacked = "Unpacked files/Data/README.TXT\nUnpacked files/logo.bin\nUnpacked files/x/empty.dat\n";
  const std::string hostile = fst::archive_bytes({{"..\\..\\evil.txt", "0", false}, {"C:\\drive.txt", "1", false}, {"a/./b//c.txt", "2", false},
      {"ctl\x01 %.txt", "3", false}, {"dup.txt", "4", false}, {"dup.txt", "5", false}, {"..", "6", false}, {std::string(249, 'N'), "7", false}});
  const std::string n249 = std::string(249, 'N');
  const std::string usage = "Usage: pellux <FST file> <file to extract> <file to create>\n\n    The name of the file to extract should *not* contain path info.\n    pellux will ignore any directory path given it.\n";
  const std::string exists = "Can't create new.fst: it exists, or is not a plain file (-f replaces a file)\n";
  const std::string too_large = "Error -- archive too large (offsets and sizes must stay below 2 GiB)\n";
  const auto manifest = [](const std::string& lines) { return std::pair<const std::string, std::string>{"list", lines}; };
  const auto bad_line = [](int number, const char* why) { return line("Manifest 'list', line %d: %s\n", number, why); };
  run_cli_cases(tool_path("PELLUX_TOOL", PELLUX_PATH), kBanner, {{"a.fst", plain}, {"d/readme.txt", text}, {"d/logo.bin", logo}, {"d/empty.dat", ""}}, {
      {"unpack", {}, {"-u", "a.fst", "out"}, unpacked + "3 entries unpacked into out, 0 not\n", 0, plain_files},
      {"unpack hostile names", {{"h.fst", hostile}}, {"-u", "h.fst", "out"},
       "Entry 0 (..\\..\\evil.txt) is written as files/.%2E/.%2E/evil.txt\nUnpacked files/.%2E/.%2E/evil.txt\nEntry 1 (C:\\drive.txt) is written as files/drive.txt\nUnpacked files/drive.txt\n"
       "Entry 2 (a/./b//c.txt) is written as files/a/b/c.txt\nUnpacked files/a/b/c.txt\nEntry 3 (ctl\\x01 %.txt) is written as files/ctl%01 %.txt\nUnpacked files/ctl%01 %.txt\n"
       "Unpacked files/dup.txt\nEntry 5 (dup.txt) is written as files/dup~2.txt\nUnpacked files/dup~2.txt\nEntry 6 (..) is written as files/.%2E~2\nUnpacked files/.%2E~2\nUnpacked files/" + n249 + "\n8 entries unpacked into out, 0 not\n", 0,
       {{"out", "<folder>"}, {"out/files", "<folder>"}, {"out/files/.%2E", "<folder>"}, {"out/files/.%2E/.%2E", "<folder>"}, {"out/files/.%2E/.%2E/evil.txt", "0"}, {"out/files/drive.txt", "1"},
        {"out/files/a", "<folder>"}, {"out/files/a/b", "<folder>"}, {"out/files/a/b/c.txt", "2"}, {"out/files/ctl%01 %.txt", "3"}, {"out/files/dup.txt", "4"}, {"out/files/dup~2.txt", "5"},
        {"out/files/.%2E~2", "6"}, {"out/files/" + n249, "7"},
        {"out/manifest.txt", header + "u files/.%252E/.%252E/evil.txt ..\\..\\evil.txt\nu files/drive.txt C:\\drive.txt\nu files/a/b/c.txt a/./b//c.txt\nu files/ctl%2501%20%25.txt ctl%01%20%25.txt\n"
         "u files/dup.txt dup.txt\nu files/dup~2.txt dup.txt\nu files/.%252E~2 ..\nu files/" + n249 + " " + n249 + "\n"}}, {}, "skip: the names Windows reserves differ"},
      {"unpack through a planted link", {{"out/files/a", "<link>../../outside"}, {"outside", "<folder>"}, {"h.fst", fst::archive_bytes({{"a/x.txt", "x", false}})}}, {"-u", "h.fst", "out"},
       "Can't create folder 'out/files/a'\n0 entries unpacked into out, 1 not\n", 1, {{"out/manifest.txt", header}}, {}, kWineFollowsLinks},
      {"unpack where a file is", {{"out/files/logo.bin", "old"}}, {"-u", "a.fst", "out"}, "Unpacked files/Data/README.TXT\nCan't create files/logo.bin: it exists, or is not a plain file (-f replaces a file)\nUnpacked files/x/empty.dat\n2 entries unpacked into out, 1 not\n", 1,
       {{"out/files/Data", "<folder>"}, {"out/files/Data/README.TXT", text}, {"out/files/x", "<folder>"}, {"out/files/x/empty.dat", ""}, {"out/manifest.txt", header + "c files/Data/README.TXT Data\\README.TXT\nu files/x/empty.dat x/empty.dat\n"}}},
      {"unpack where a file is, -f", {{"out/files/logo.bin", "old"}}, {"-uf", "a.fst", "out"}, unpacked + "3 entries unpacked into out, 0 not\n", 0, plain_files},
      {"unpack a damaged archive", {{"h.fst", fst_table(2, {})}}, {"-u", "h.fst", "out"}, "'h.fst' is no FST archive: its count, 2, needs a table of 528 bytes, and the file has 4\n", 2},
      {"unpack without a folder", {}, {"-u", "a.fst"}, usage, 64},
      {"create", {manifest("c d/readme.txt Data\\README.TXT\n# a remark\n\nu d/logo.bin logo.bin\r\nu  d/empty.dat\tx/empty.dat\n")}, {"-c", "new.fst", "list"}, line("Created new.fst: 3 entries, %zu bytes\n", plain.size()), 0, {{"new.fst", plain}}},
      {"create on threads", {manifest("c d/readme.txt Data\\README.TXT\nu d/logo.bin logo.bin\nu d/empty.dat x/empty.dat\n")}, {"-c", "-j3", "new.fst", "list"}, line("Created new.fst: 3 entries, %zu bytes\n", plain.size()), 0, {{"new.fst", plain}}},
      {"create where a file is", {{"new.fst", "old"}, manifest("u d/logo.bin logo.bin\n")}, {"-c", "new.fst", "list"}, exists, 1},
      {"create from its own output", {{"new.fst", "old"}, manifest("u new.fst new.fst\n")}, {"-cf", "new.fst", "list"}, "Error -- new.fst is the archive being created\n", 1},
      {"create over the manifest", {manifest("u d/logo.bin logo.bin\n")}, {"-cf", "list", "list"}, "Output file 'list' is the same file as the input\n", 1},
      {"create from no manifest", {}, {"-c", "new.fst", "list"}, "Can't open manifest 'list'\n", 1},
      {"a line neither c nor u", {manifest("u d/logo.bin a\nC d/logo.bin b\n")}, {"-c", "new.fst", "list"}, bad_line(2, "neither c nor u"), 1},
      {"a line without a name", {manifest("u d/logo.bin\n")}, {"-c", "new.fst", "list"}, bad_line(1, "not a file and a name"), 1},
      {"a bad escape", {manifest("u d/logo.bin a%4\n")}, {"-c", "new.fst", "list"}, bad_line(1, "a % without two hex digits"), 1},
      {"an empty name", {manifest("u d/logo.bin %-\n")}, {"-c", "new.fst", "list"}, bad_line(1, "an empty name"), 1},
      {"a name of 250 bytes", {manifest("u d/logo.bin " + std::string(250, 'N') + "\n")}, {"-c", "new.fst", "list"}, bad_line(1, "a name of 250 bytes or more"), 1},
      {"a missing file", {manifest("u d/logo.bin a\nc d/missing b\n")}, {"-c", "new.fst", "list"}, "Error -- can't open file d/missing\n", 1},
      {"a FIFO", {manifest("u fifo a\n"), {"fifo", "<fifo>"}}, {"-c", "new.fst", "list"}, "Error reading file fifo\n", 1},
      {"an archive past 2 GiB", {manifest("u big b\n"), {"big", "<zeros>2147483548:"}}, {"-c", "new.fst", "list"}, too_large, 1},
      {"a write past the file-size limit", {manifest("u d/logo.bin a\n")}, {"-c", "new.fst", "list"}, "Error writing new.fst\n", 1, {}, {.file_size_limit = 500}},
      {"create without a manifest", {}, {"-c", "new.fst"}, usage, 64},
  });
  // clang-format on
}

// pellux -u, then pellux -c on its manifest, gives back every archive pellux -c can write, byte
// for byte; any other sound archive comes back with the same records in the same order, the
// same names, the same choice of stored or compressed, and the same bytes for every entry.
TEST(PelluxCliTest, UnpackThenCreateGivesTheArchiveBack) {
  const std::string program = tool_path("PELLUX_TOOL", PELLUX_PATH);
  const std::string text = text_like(9000, 4), stream = encode(text);
  // Out of table order, with a gap, and a stream of literals only, which this encoder never
  // writes for "aaaa".
  const std::string literals =
      pack_codes({{256, 9}, {'a', 9}, {'a', 9}, {'a', 9}, {'a', 9}, {257, 9}});
  const int32_t at = 4 + 262 * 3;
  const std::string foreign =
      fst_table(3, {{at + 40 + static_cast<int32_t>(literals.size()),
                     static_cast<int32_t>(stream.size()), 9000, "b/text"},
                    {at + 20, static_cast<int32_t>(literals.size()), 4, "a"},
                    {at, 5, 5, "c"}}) +
      "stord" + std::string(15, '\0') + literals + std::string(20, '\0') + stream;
  const std::string archives[] = {
      read_file(EXAMPLE_ARCHIVE),
      fst::archive_bytes({{"one\\a.txt", "1", false},
                          {"two/A.TXT", "2", true},
                          {"run", std::string(100000, 'r'), true},
                          {"z", "", true},
                          {"mixed", random_bytes(3000, 2) + std::string(5000, '\0'), true},
                          {"same", "aaaa", true},
                          {"\xFF\xFE dir\\%x", text, false}}),
      foreign};
  for (const std::string& archive : archives) {
    ScratchDir dir;
    write_file(dir / "a.fst", archive);
    const ToolOptions here{.cwd = dir.path()};
    const ToolRun first = run_tool(program, {"-u", "a.fst", "one"}, here);
    EXPECT_EQ(first.status, 0) << first.output;
    EXPECT_EQ(run_tool(program, {"-c", "b.fst", "one/manifest.txt"}, here).status, 0);
    const bool canonical = first.output.find("pellux -c will not give") == std::string::npos;
    EXPECT_EQ(canonical, &archive != &archives[2]) << first.output;
    if (canonical) {
      EXPECT_EQ(read_file(dir / "b.fst"), archive);
    }
    EXPECT_EQ(run_tool(program, {"-u", "b.fst", "two"}, here).status, 0);
    EXPECT_EQ(describe(dir / "one"), describe(dir / "two"));
  }
}

// What scripts read: a JSON listing whose names come back exact through a JSON parser, entries
// on standard output alone (messages on standard error), and the statuses of each mode.
TEST(PelluxCliTest, ScriptsReadListingsAndEntries) {
  ScratchDir dir;
  const std::string names[] = {"plain.txt",         "dir\\sp ace\"q\"", "\x01\x1b[2J",
                               "\xC3\xA9t\xC3\xA9", "\xFF\xFE\xC3",     "tab\there/\x7F"};
  std::vector<fst::NewEntry> entries;
  for (const std::string& name : names) entries.push_back({name, "data of " + name, true});
  write_file(dir / "a.fst", fst::archive_bytes(entries));
  const std::string program = tool_path("PELLUX_TOOL", PELLUX_PATH);
  const ToolOptions here{.cwd = dir.path()};
  const ToolRun listed = run_tool(program, {"-l", "--json", "a.fst"}, here);
  EXPECT_EQ(listed.errors, kBanner);
  EXPECT_EQ(listed.status, 0);
  // Python keeps the lone surrogates that stand for bytes that are no UTF-8.
  const ToolRun parsed =
      run_tool("/usr/bin/python3",
               {"-c",
                "import json,sys\n"
                "for l in sys.stdin:\n"
                " o=json.loads(l)\n"
                " print(o['name'].encode('utf-8','surrogateescape').hex() if 'name' in o else o)"},
               {.input = listed.output});
  std::string expected;
  for (const std::string& name : names) {
    for (const char ch : name) expected += line("%02x", static_cast<uint8_t>(ch));
    expected += "\n";
  }
  expected += "{'version': 1, 'type': 'total', 'entries': 6, 'damaged': 0, 'verdict': 'sound'}\n";
  EXPECT_EQ(parsed.output, expected);
  // One entry, and every chosen entry, to standard output: the data alone.
  const ToolRun one = run_tool(program, {"a.fst", "sp ace\"q\"", "-"}, here);
  EXPECT_EQ(one.output, "data of dir\\sp ace\"q\"");
  EXPECT_EQ(one.errors, kBanner + "Found dir\\sp ace\"q\"  [CSize:" +
                            std::to_string(encode("data of dir\\sp ace\"q\"").size()) +
                            ", USize:21]\n\n");
  const ToolRun all = run_tool(program, {"-x", "-O", "-q", "a.fst", "*.txt", "*t*"}, here);
  EXPECT_EQ(all.output, "data of plain.txtdata of \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(std::make_pair(all.errors, all.status), std::make_pair(std::string(), 0));
  EXPECT_EQ(run_tool(program, {"-1", "-l", "a.fst"}, here).output,
            "plain.txt\ndir\\sp "
            "ace\"q\"\n\\x01\\x1b[2J\n\xC3\xA9t\xC3\xA9\n\xFF\xFE\xC3\ntab\\x09here/\\x7f\n");
  // -t --json: each entry's verdict, and the total's.
  write_file(dir / "b.fst",
             fst_table(2, {{4 + 524, 3, 3, "ok"}, {4 + 524, 3, 9, "short"}}) + "abc");
  const ToolRun tested = run_tool(program, {"-t", "--json", "b.fst"}, here);
  EXPECT_EQ(tested.output,
            "{\"version\":1,\"type\":\"entry\",\"index\":0,\"name\":\"ok\",\"offset\":528,"
            "\"stored_size\":3,\"size\":3,\"compressed\":false,\"damaged\":false,\"verdict\":"
            "\"sound\",\"decoded\":3}\n{\"version\":1,\"type\":\"entry\",\"index\":1,\"name\":"
            "\"short\",\"offset\":528,\"stored_size\":3,\"size\":9,\"compressed\":true,\"damaged\":"
            "true,\"verdict\":\"overlaps\",\"decoded\":0}\n{\"version\":1,\"type\":\"total\","
            "\"entries\":2,\"damaged\":1,\"verdict\":\"damaged\"}\n");
  EXPECT_EQ(tested.status, 1);
}

// A FIFO given as the archive is read as a pipe: its writer may come after the run started.
TEST(PelluxCliTest, ReadsAnArchiveFromAFifoWhoseWriterComesLater) {
  if (tools_under_wine()) GTEST_SKIP() << "a Linux FIFO is no pipe to wine";
  ScratchDir dir;
  make(dir.path(), "arc", "<fifo>");
  std::thread writer([&dir] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    write_file(dir / "arc", fst::archive_bytes({{"a.txt", "late", true}}));
  });
  const ToolRun run =
      run_tool(tool_path("PELLUX_TOOL", PELLUX_PATH), {"arc", "a.txt", "got"}, {.cwd = dir.path()});
  writer.join();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(read_file(dir / "got"), "late");
}

}  // namespace
