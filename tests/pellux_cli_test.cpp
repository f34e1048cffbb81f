// The built pellux, run in a scratch folder: standard output byte for byte, exit status and
// the output file it leaves.
#include <gtest/gtest.h>

#include "fst_writer.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace tools;

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
  const std::string stream = encode_stream(text),
                    long_stream = encode_stream(std::string(5000, 'm'));
  const auto size = [](const std::string& s) { return static_cast<int32_t>(s.size()); };
  ToolOptions small_memory, less_memory, small_files, closed;
  less_memory.address_space_limit = uint64_t{256} << 20;
  const int32_t big = 512 << 20;
  const std::string tiny = encode_stream("tiny");
  // Not under the sanitizers, whose runtime needs more address space, nor under wine, which
  // needs about 2 GiB to start; there the rows still check the message.
  if (!kSanitized && !tools_under_wine()) small_memory.address_space_limit = uint64_t{128} << 20;
  small_files.file_size_limit = 50000;
  closed.closed_stdio = true;
  // Entries of every kind, from a file and through a pipe, found by base name.
  const std::vector<FstEntry> kinds = {
      {"data\\Sounds\\BOOM.WAV", random_bytes(40000, 1), true},
      {"docs.old/readme", "stored text\r\n", false},
      {"C:empty.bin", "", false},
      {"nothing.z", "", true},
      {"maps/run.bin", std::string(1000000, '\x07'), true},
      {"bin/tool", random_bytes(3000, 2) + std::string(5000, '\0') + random_bytes(3000, 3), true}};
  const std::string all = make_fst(kinds);
  const std::string lookups = make_fst({{"one\\a.txt", "1", false},
                                        {"two/A.TXT", "2", false},
                                        {"@x", "3", false},
                                        {"\xC9t\xC9.txt", "4", false},
                                        {std::string("half\0hidden", 11), "5", false}});
  const auto found_kind = [&kinds](size_t i) {
    const auto stored = kinds[i].compressed ? encode_stream(kinds[i].data) : kinds[i].data;
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
      row("letters past ASCII do not fold", lookups, "\xE9t\xE9.txt", kNotFound, 1),
      row("letters past ASCII match as stored", lookups, "\xC9T\xC9.TXT", found("\xC9t\xC9.txt", 1, 1), 0, "4"),
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
      row("output reaches the file size limit", one_record(data, 100000, 100000, std::string(100000, 'w')), "x.bin", found_x(100000, 100000) + "Error writing to output file\n", 1, std::string(50000, 'w'), "out", small_files),
      // Closing the output fails silently; the status says so.
      row("output close fails", ok, "x.bin", found_x(3, 3), 255, "", "/dev/full"),
      // A 32-bit length would read as 100 bytes, too short for the table.
      row("archive over 4 GiB", ok, "x.bin", found_x(3, 3), 0, "abc", "out", {}, "a.fst", (uint64_t{1} << 32) + 100),
      row("empty entry past the end", one_record(data + 1000, 0, 0, ""), "x.bin", found_x(0, 0), 0),
      // With standard output closed the messages go nowhere; they must not go into the output.
      row("standard output closed", ok, "x.bin", "", 0, "abc", "out", closed),
      row("no memory for an entry", fst_table(1, {{data, big, big, "big.bin"}}), "big.bin", found("big.bin", big, big) + "Error -- Can't allocate memory for the FST file big.bin.\n", 1, "", "out", less_memory, "a.fst", uint64_t{data} + big, kWineNeedsAddressSpace),
      row("no memory to decode", fst_table(1, {{data, size(tiny), 0x7FFFFFFF, "z"}}) + tiny, "z", found("z", size(tiny), 0x7FFFFFFF) + "Error -- Can't allocate memory to decompress FST file\n", 1, "", "out", less_memory, "a.fst", 0, kWineNeedsAddressSpace),
      // A million records, really there (all zeros), that outgrow the memory.
      row("no memory for the table", le32_bytes(1000000), "z", no_table_memory, 1, "", "out", less_memory, "a.fst", 4 + uint64_t{262} * 1000000, kWineNeedsAddressSpace),
  });
  // clang-format on
}

}  // namespace
