// The built pellux, run in a scratch folder: what it prints, its exit status and the files it
// leaves.
#include <gtest/gtest.h>

#include <thread>

#include "fst/writer.h"
#include "messages.h"
#include "stream_model.h"
#include "support.h"

namespace {

using namespace testing_support;
using namespace messages;
using namespace std::string_literals;

const std::string kText = text_like(3000, 1), kLogo = random_bytes(500, 2);

// The archive most rows read: a compressed text, a stored logo and an empty file, in folders.
std::string sample() {
  return fst::archive_bytes(
      {{"Data\\README.TXT", kText, true}, {"logo.bin", kLogo, false}, {"x/empty.dat", "", false}});
}

std::string one_record(int32_t offset, int32_t stored, int32_t uncompressed,
                       const std::string& tail, const std::string& name = "dir\\x.bin") {
  return fst_table(1, {{offset, stored, uncompressed, name}}) + tail;
}

// The folder a row starts from: the archive a.fst, grown with zeros to `size` when given.
Folder in(const std::string& archive, uint64_t size = 0) {
  return {"a.fst", size == 0 ? archive : "<zeros>" + std::to_string(size) + ":" + archive};
}

Folder out(const std::string& bytes) {
  return {"out", bytes};
}

// One row per outcome of a single extraction that can be provoked from outside; a.fst holds
// one record, dir\x.bin, of "abc" unless the row says otherwise.
TEST(PelluxCliTest, ExtractsAndReportsEveryOutcome) {
  const int32_t data = 4 + 262;  // where the data of a one-record archive starts
  const auto found_x = [](int stored, int size) { return kFound("dir\\x.bin", stored, size); };
  const std::string long_stream = encode(std::string(5000, 'm'));
  const std::string hundred_k = one_record(data, 100000, 100000, std::string(100000, 'w'));
  // 12 MiB of w, more than a window: a stream whose output cannot be written stops early, and
  // is no damage.
  const std::string ws = encode(std::string(12 << 20, 'w'));
  const int32_t big = 512 << 20;
  const ToolOptions less_memory{.address_space_limit = 256 << 20};
  // Entries found by base name.
  const std::string boom = random_bytes(40000, 1) + std::string(5000, '\0');
  const std::string kinds = fst::archive_bytes({{"data\\Sounds\\BOOM.WAV", boom, true},
                                                {"one\\a.txt", "1", false},
                                                {"two/A.TXT", "2", false}});
  const std::string x = "a.fst x.bin out";
  const Folder emptied = out("");
  run_cli_cases(
      pellux_tool(), kPelluxBanner, {"a.fst", one_record(data, 3, 3, "abc")},
      {
          ok("compressed", in(kinds), "a.fst x:\\other\\dir/Boom.Wav out",
             kFound("data\\Sounds\\BOOM.WAV", encode(boom).size(), 45000))
              .leaving(out(boom)),
          ok("the first of two matches", in(kinds), "a.fst X:\\A.Txt out",
             kFound("one\\a.txt", 1, 1))
              .leaving(out("1")),
          ok("an archive named -x, after --", {"-x", one_record(data, 3, 3, "abc")},
             "-- -x x.bin out", found_x(3, 3))
              .leaving(out("abc")),
          fails("archive missing", {}, "b.fst x.bin out", kNoArchive("b.fst")),
          fails("output is the archive", {}, "a.fst x.bin ./a.fst", kSameAsInput("./a.fst")),
          fails("output folder missing", {}, "a.fst x.bin no/out", kNoOutput("no/out")),
          fails("no such entry", {}, "a.fst y.bin out", kNotFound).leaving(emptied),
          fails("archive of one byte", in("\x01"), x, kShortTable).leaving(emptied),
          // Refused by the archive's length before any room for the table is taken.
          fails("count far above the archive", in(fst_table(16000000, {})), x, kShortTable)
              .leaving(emptied),
          fails("negative count", in(fst_table(0xFFFFFFFF, {})), x, kNoTableMemory)
              .leaving(emptied),
          fails("negative stored size", in(one_record(data, -1, 3, "abc")), x,
                found_x(-1, 3) + kNoEntryMemory("dir\\x.bin"))
              .leaving(emptied),
          fails("entry past the end", in(one_record(data + 3, 1, 1, "abc")), x,
                found_x(1, 1) + kShortEntry)
              .leaving(emptied),
          fails("entry behind a piped table", {}, "/dev/stdin x.bin out",
                found_x(3, 3) + kShortEntry)
              .leaving(emptied)
              .under({.input = one_record(2, 3, 3, "abc")})
              .on_windows("skip: wine's server opens /dev/stdin, so it names the server's"),
          fails("uncompressed size below -16", in(one_record(data, 3, -17, "abc")), x,
                found_x(3, -17) + kNoDecodeMemory)
              .leaving(emptied),
          // Cut at 16 bytes beyond what its record claims.
          ok("stream longer than recorded",
             in(one_record(data, static_cast<int32_t>(long_stream.size()), 10, long_stream)), x,
             found_x(static_cast<int>(long_stream.size()), 10) + kSizeWarning)
              .leaving(out(std::string(26, 'm'))),
          ok("name with control bytes", in(one_record(data, 3, 3, "abc", "\x1b]0;\x07x.bin\x7f")),
             "a.fst \x1b]0;\x07x.bin\x7f out", kFound("\\x1b]0;\\x07x.bin\\x7f", 3, 3))
              .leaving(out("abc")),
          // The messages go to standard error then, not among the entry's bytes.
          ok("output is standard output", {}, x, "")
              .under({.output_to = "out"})
              .leaving(out("abc"))
              .on_windows("skip: wine cannot tell which file an output it inherits is"),
          gives_up("output - with standard output closed", {}, "a.fst x.bin -", "")
              .under({.closed_stdio = true})
              .on_windows("skip: wine hands on a closed output as one that cannot be opened (1)"),
          fails("output write fails", in(hundred_k), "a.fst x.bin /dev/full",
                found_x(100000, 100000) + kOutputWriteFailed),
          fails("output reaches the file size limit", in(hundred_k), x,
                found_x(100000, 100000) + kOutputWriteFailed)
              .leaving(emptied)
              .under({.file_size_limit = 50000}),
          fails("extract a stream cut short by the file size limit",
                in(one_record(data, static_cast<int32_t>(ws.size()), 12 << 20, ws)), "-x a.fst .",
                kWriteFailed("x.bin") + kExtractedTotal("0 entries", 1))
              .under({.file_size_limit = 50000}),
          // Closing the output fails silently; the status says so.
          ok("output close fails", {}, "a.fst x.bin /dev/full", found_x(3, 3))
              .with(&CliCase::status, 255),
          // A 32-bit length would read as 100 bytes, too short for the table.
          ok("archive over 4 GiB", in(one_record(data, 3, 3, "abc"), (uint64_t{1} << 32) + 100), x,
             found_x(3, 3))
              .leaving(out("abc")),
          // Entries larger than the memory the run may have go through in pieces.
          ok("an entry larger than the memory",
             in(fst_table(1, {{data, big, big, "big.bin"}}), data + uint64_t{big}),
             "a.fst big.bin /dev/null", kFound("big.bin", big, big))
              .under(less_memory)
              .on_windows(kWineNeedsAddressSpace),
          // A million records, really there (all zeros), that outgrow the memory.
          fails("no memory for the table", in(le32_bytes(1000000), 4 + uint64_t{262} * 1000000),
                "a.fst z out", kNoTableMemory)
              .leaving(emptied)
              .under(less_memory)
              .on_windows(kWineNeedsAddressSpace),
      });
}

// -l, -t and -x; a.fst is the sample archive unless the row says otherwise.
TEST(PelluxCliTest, ListsTestsAndExtractsMany) {
  const std::string stream = encode(kText), sound = sample();
  const int32_t size = static_cast<int32_t>(stream.size()), at = 4 + 262 * 3;
  // Damaged records: data past the end, a negative size; a name that would command a terminal;
  // streams that decode short (claiming more than records that share no data could give in
  // all), long, or to the right size without their END.
  const std::string no_end = pack_codes({{256, 9}, {'a', 9}, {'b', 9}, {'c', 9}, {0, 12}});
  const int32_t at6 = 4 + 262 * 6, no_end_size = static_cast<int32_t>(no_end.size());
  const std::string damaged =
      fst_table(6, {{100000, 5, 5, "far.bin"},
                    {at6, -1, 3, "neg.bin"},
                    {at6 + 2 * size + no_end_size, 3, 3, "\x1b[2Jevil\xC3\xA9.txt"},
                    {at6, size, 20000000, "short.txt"},
                    {at6 + size, size, 2980, "long.txt"},
                    {at6 + 2 * size, no_end_size, 3, "noend.txt"}}) +
      stream + stream + no_end + "abc";
  // Records that share data: the test reports it, and extraction stops at a bound no archive
  // without them can reach.
  const std::string zeros = encode(std::string(20000000, '\0'));
  std::vector<FstRecord> sharing;
  std::string overlaps, refused;
  for (int i = 0; i < 5; ++i) {
    const std::string name = line("z%d", i);
    sharing.push_back({4 + 262 * 5, static_cast<int32_t>(zeros.size()), 20000000, name});
    if (i > 0) overlaps += kOverlaps(i, name, 0);
    if (i > 1) refused += kPastOverlapBound(i, name, 2560 * (1314 + zeros.size()));
  }
  const std::string shared = fst_table(5, sharing) + zeros;
  const std::string names = fst::archive_bytes({{"one/a.txt", "abc", false},
                                                {"TWO\\A.TXT", "", false},
                                                {"dir/..", "", false},
                                                {"C:", "", false},
                                                {"bad\x01name", "", false}});
  const Folder all = {"out/README.TXT", kText, "out/logo.bin", kLogo, "out/empty.dat", ""};
  const auto extracted = [](const std::vector<std::string>& chosen) {
    std::string says;
    for (const std::string& name : chosen) says += kExtracted(name);
    return says;
  };
  const std::string logo_refused = extracted({"README.TXT"}) + kExists("logo.bin") +
                                   extracted({"empty.dat"}) + kExtractedTotal("2 entries", 1);
  run_cli_cases(
      pellux_tool(), kPelluxBanner, {"out", "<folder>", "a.fst", sound},
      {
          ok("list", {}, "-l a.fst",
             kArchiveHead + kArchiveRow(0, size, 3000, "compressed", at, "Data\\README.TXT") +
                 kArchiveRow(1, 500, 500, "stored", at + size, "logo.bin") +
                 kArchiveRow(2, 0, 0, "stored", at + size + 500, "x/empty.dat") +
                 kArchiveTotal("3 entries", 0)),
          fails("list damaged", in(damaged), "-l a.fst",
                kArchiveHead + kArchiveRow(0, 5, 5, "damaged", 100000, "far.bin") +
                    kArchiveRow(1, -1, 3, "damaged", at6, "neg.bin") +
                    kArchiveRow(2, 3, 3, "stored", at6 + 2 * size + no_end_size,
                                "\\x1b[2Jevil\\xc3\\xa9.txt") +
                    kArchiveRow(3, size, 20000000, "compressed", at6, "short.txt") +
                    kArchiveRow(4, size, 2980, "compressed", at6 + size, "long.txt") +
                    kArchiveRow(5, no_end_size, 3, "compressed", at6 + 2 * size, "noend.txt") +
                    kArchiveTotal("6 entries", 2)),
          gives_up("list a short table", in(fst_table(3, {})), "-l a.fst",
                   kNoFst("a.fst", 3, 790, 4)),
          ok("test", {}, "-t a.fst", kArchiveTested("3 entries", 0)),
          fails("test damaged", in(damaged), "-t a.fst",
                kOutsideArchive(0, "far.bin") + kOutsideArchive(1, "neg.bin") +
                    kNamedDecodesTo(3, "short.txt", 3000, 20000000) +
                    kNamedDecodesToMore(4, "long.txt", 2980) + kNamedNoEnd(5, "noend.txt") +
                    kArchiveTested("6 entries", 5)),
          fails("test records that share data", in(shared), "-t a.fst",
                overlaps + kArchiveTested("5 entries", 4)),
          fails("extract records that share data", in(shared), "-x a.fst out",
                extracted({"z0"}) + kOverlapWarning("z1", 0) + extracted({"z1"}) + refused +
                    kExtractedTotal("2 entries", 3))
              .leaving({"out/z0", "<20000000 bytes>", "out/z1", "<20000000 bytes>"}),
          fails("extract damaged", in(damaged), "-x a.fst out",
                kEntryUnreadable(0, "far.bin") + kEntryUnreadable(1, "neg.bin") +
                    kBadName(2, "\\x1b[2Jevil\xC3\xA9.txt") + kSizeWarningNamed("short.txt") +
                    extracted({"short.txt"}) + kSizeWarningNamed("long.txt") +
                    extracted({"long.txt"}) + kNoEndWarning("noend.txt") +
                    extracted({"noend.txt"}) + kExtractedTotal("3 entries", 3))
              .leaving({"out/short.txt", kText, "out/long.txt", kText.substr(0, 2996),
                        "out/noend.txt", "abc"}),
          fails("extract by patterns into folders not made yet", {},
                "-x a.fst no/new *.txt dir\\?OGO.* nothing",
                extracted({"README.TXT", "logo.bin"}) + kNoMatch("nothing") +
                    kExtractedTotal("2 entries", 1))
              .leaving({"no/new/README.TXT", kText, "no/new/logo.bin", kLogo}),
          fails("names that cannot be files", in(names), "-x a.fst out",
                extracted({"a.txt"}) + kTaken(1, "A.TXT") + kBadName(2, "..") + kBadName(3, "") +
                    kBadName(4, "bad\\x01name") + kExtractedTotal("1 entry", 4))
              .leaving({"out/a.txt", "abc"}),
          fails("names Windows reserves",
                in(fst::archive_bytes({{"con.txt", "1", false},
                                       {"x/a:b", "2", false},
                                       {"CONIN$", "3", false},
                                       {"Com\xC2\xB9.txt", "4", false}})),
                "-x a.fst out",
                kBadName(0, "con.txt") + kBadName(1, "a:b") + kBadName(2, "CONIN$") +
                    kBadName(3, "Com\xC2\xB9.txt") + kExtractedTotal("0 entries", 4))
              .on_windows("only: Windows reserves these names"),
          // Names the file system folds together: the later entry never replaces the earlier.
          fails("names Windows folds, -f",
                in(fst::archive_bytes({{"\xC3\xA9.txt", "1", false},
                                       {"\xC3\x89.txt", "2", false},
                                       {"\xFF.bin", "3", false},
                                       {"\xFE.bin", "4", false}})),
                "-xf a.fst out",
                extracted({"\xC3\xA9.txt"}) + kTaken(1, "\xC3\x89.txt") + extracted({"\xFF.bin"}) +
                    kTaken(3, "\xFE.bin") + kExtractedTotal("2 entries", 2))
              .leaving({"out/\xC3\xA9.txt", "1", "out/\xEF\xBF\xBD.bin", "3"})
              .on_windows("only: \xC3\xA9 and \xC3\x89, \xFF and \xFE name one file there"),
          fails("a file is there", {"out/logo.bin", "old"}, "-x a.fst out", logo_refused)
              .leaving(all.but("out/logo.bin", "old")),
          ok("a file is there, -f", {"out/logo.bin", "old"}, "-xf a.fst out",
             extracted({"README.TXT", "logo.bin", "empty.dat"}) + kExtractedTotal("3 entries", 0))
              .leaving(all),
          fails("a planted link", {"outside", "keep", "out/logo.bin", "<link>../outside"},
                "-x -f a.fst out", logo_refused)
              .leaving(all.but("out/logo.bin", "<link>../outside"))
              .on_windows(kWineFollowsLinks),
          fails("an entry named as the archive, -f",
                {"logo.bin", fst::archive_bytes({{"logo.bin", "new", false}})}, "-xf logo.bin .",
                kArchiveReplaced("logo.bin") + kExtractedTotal("0 entries", 1)),
          fails("a write past the file-size limit", {}, "-x a.fst out",
                kWriteFailed("README.TXT") + extracted({"logo.bin", "empty.dat"}) +
                    kExtractedTotal("2 entries", 1))
              .leaving(all.but("out/README.TXT", "<gone>"))
              .under({.file_size_limit = 1000}),
          gives_up("a file where the folder goes", {"file", "x"}, "-x a.fst file",
                   kFolderInTheWay("file")),
          // The messages go nowhere, but the files are all written.
          gives_up("extract into a pipe nobody reads", {"p", "<fifo>"}, "-x a.fst out", "")
              .under({.output_to = "p"})
              .leaving(all),
          // Appended by the shell to the archive it lists: refused, the archive as it was.
          gives_up("a listing into the archive", {}, "-l --json a.fst", "")
              .under({.output_to = "a.fst"})
              .on_windows("skip: wine cannot tell which file an output it inherits is"),
          misused("list without an archive", {}, "-l", kPelluxUsage),
          ok("version", {}, "-V", "pellux " PROJECT_VERSION "\n"),
          // A single extraction's command line that is wrong prints the usage and ends 0, as it
          // always did.
          ok("unknown option", {}, "-z a.fst x.bin out", kPelluxUsage),
      });
}

// pellux -u and -c: every message and status, hostile names and planted links; nothing is
// ever left under the archive's name after a failed -c.
TEST(PelluxCliTest, UnpacksAndCreates) {
  const std::string plain = sample();
  const std::string plain_manifest = kManifestHeader +
                                     "c files/Data/README.TXT Data\\README.TXT\n"s +
                                     "u files/logo.bin logo.bin\nu files/x/empty.dat x/empty.dat\n";
  const Folder plain_files = {
      "out/files/Data/README.TXT", kText, "out/files/logo.bin", kLogo,
      "out/files/x/empty.dat",     "",    "out/manifest.txt",   plain_manifest};
  const auto unpacked = [](const std::vector<std::string>& names) {
    std::string says;
    for (const std::string& name : names) says += kUnpacked(("files/" + name));
    return says;
  };
  const std::string hostile = fst::archive_bytes(
      {{"..\\..\\evil.txt", "0", false}, {"dup.txt", "1", false}, {"dup.txt", "2", false}});
  const auto written_as = [](int i, const char* name, const std::string& as) {
    return kWrittenAs(i, name, ("files/" + as)) + kUnpacked(("files/" + as));
  };
  const auto manifest = [](const std::string& lines) { return Folder{"list", lines}; };
  const auto bad_line = [](int number, const char* why) { return kBadLine("list", number, why); };
  const std::string create = "-c new.fst list";
  const std::string as_data = random_bytes(2000, 5) + std::string(659, '\0'),
                    as_long = encode(as_data);
  const std::string n250(250, 'n');
  const std::string shared = fst_table(2, {{528, 4, 4, "a\0b"s}, {530, 2, 2, "b"}}) + "abcd";
  run_cli_cases(
      pellux_tool(), kPelluxBanner,
      {"a.fst", plain, "d/readme.txt", kText, "d/logo.bin", kLogo, "d/empty.dat", ""},
      {
          ok("unpack", {}, "-u a.fst out",
             unpacked({"Data/README.TXT", "logo.bin", "x/empty.dat"}) +
                 kUnpackedTotal("3 entries", "out", 0))
              .leaving(plain_files),
          // How each name is made safe: FormatsTest.StoredNamesBecomeSafePaths.
          ok("unpack hostile names", in(hostile), "-u a.fst out",
             written_as(0, "..\\..\\evil.txt", ".%2E/.%2E/evil.txt") + unpacked({"dup.txt"}) +
                 written_as(2, "dup.txt", "dup~2.txt") + kUnpackedTotal("3 entries", "out", 0))
              .leaving({"out/files/.%2E/.%2E/evil.txt", "0", "out/files/dup.txt", "1",
                        "out/files/dup~2.txt", "2", "out/manifest.txt",
                        kManifestHeader + "u files/.%252E/.%252E/evil.txt ..\\..\\evil.txt\n"
                                          "u files/dup.txt dup.txt\nu files/dup~2.txt dup.txt\n"s})
              .on_windows("skip: the names Windows reserves differ"),
          fails("unpack through a planted link",
                {"out/files/a", "<link>../../outside", "outside", "<folder>", "a.fst",
                 fst::archive_bytes({{"a/x.txt", "x", false}})},
                "-u a.fst out",
                kNoFolder("out/files/a") + kNotByteForByte("entry 0 was not written") +
                    kUnpackedTotal("0 entries", "out", 1))
              .leaving({"out/manifest.txt", kManifestHeader})
              .on_windows(kWineFollowsLinks),
          fails("unpack where a file is", {"out/files/logo.bin", "old"}, "-u a.fst out",
                unpacked({"Data/README.TXT"}) + kExists("files/logo.bin") +
                    unpacked({"x/empty.dat"}) + kNotByteForByte("entry 1 was not written") +
                    kUnpackedTotal("2 entries", "out", 1))
              .leaving({"out/files/Data/README.TXT", kText, "out/files/x/empty.dat", "",
                        "out/manifest.txt",
                        kManifestHeader + "c files/Data/README.TXT Data\\README.TXT\n"s +
                            "u files/x/empty.dat x/empty.dat\n"}),
          ok("unpack an archive with bytes after its last entry", in(sample() + "JUNK"),
             "-u a.fst out",
             unpacked({"Data/README.TXT", "logo.bin", "x/empty.dat"}) +
                 kNotByteForByte("4 bytes follow its last entry's data") +
                 kUnpackedTotal("3 entries", "out", 0))
              .leaving(plain_files),
          // Its stream, with a byte after END, is sound; the one pellux -c writes would be as
          // long as the data, which is then stored.
          ok("unpack an entry pellux -c will store",
             in(one_record(266, 2660, 2659, as_long + "!", "e")), "-u a.fst out",
             unpacked({"e"}) + kNotByteForByte("entry 0's stream is not the one pellux -c writes") +
                 kNotByteForByte(
                     "entry 0 will be stored: the stream pellux -c writes is as long as its data") +
                 kUnpackedTotal("1 entry", "out", 0))
              .leaving(
                  {"out/files/e", as_data, "out/manifest.txt", kManifestHeader + "c files/e e\n"s}),
          fails("unpack records that share data", in(shared), "-u a.fst out",
                unpacked({"a"}) + kOverlapWarning("b", 0) + unpacked({"b"}) +
                    kNotByteForByte("its data does not lie in table order right after its table") +
                    kNotByteForByte("entry 0's name field holds bytes after its name") +
                    kNotByteForByte("entry 1 is damaged") + kUnpackedTotal("2 entries", "out", 0))
              .leaving({"out/files/a", "abcd", "out/files/b", "cd", "out/manifest.txt",
                        kManifestHeader + "u files/a a\nu files/b b\n"s}),
          ok("unpack a name that fills its field", in(one_record(266, 1, 1, "y", n250)),
             "-u a.fst out",
             unpacked({n250}) +
                 kNotByteForByte("entry 0's name fills all 250 bytes, which pellux -c refuses") +
                 kUnpackedTotal("1 entry", "out", 0))
              .leaving({"out/files/" + n250, "y", "out/manifest.txt",
                        kManifestHeader + "u files/" + n250 + " " + n250 + "\n"}),
          ok("create",
             manifest("c d/readme.txt Data\\README.TXT \n# a remark\n\n \t\nu d/logo.bin "
                      "logo.bin\r\nu  d/empty.dat\tx/empty.dat\n"),
             create, kCreated("new.fst", "3 entries", plain.size()))
              .leaving({"new.fst", plain}),
          fails("create where a file is", {"new.fst", "old", "list", "u d/logo.bin logo.bin\n"},
                create, kExists("new.fst")),
          fails("create from its own output", {"new.fst", "old", "list", "u new.fst new.fst\n"},
                "-cf new.fst list", kBeingCreated("new.fst")),
          fails("create from no manifest", {}, create, kNoManifest("list")),
          fails("create into a missing folder", manifest("u d/logo.bin a\n"), "-c no/a.fst list",
                kCannotCreate("no/a.fst")),
          fails("a line neither c nor u", manifest("u d/logo.bin a\nC d/logo.bin b\n"), create,
                bad_line(2, "neither c nor u")),
          fails("a line without a name", manifest("u d/logo.bin\n"), create,
                bad_line(1, "not a file and a name")),
          fails("an empty name", manifest("u d/logo.bin %-\n"), create,
                bad_line(1, "an empty name")),
          fails("a bad escape", manifest("u d/logo.bin a%4\n"), create,
                bad_line(1, "a % without two hex digits")),
          fails("a name of 250 bytes", manifest("u d/logo.bin " + std::string(250, 'N') + "\n"),
                create, bad_line(1, "a name of 250 bytes or more")),
          fails("a name with a NUL byte", manifest("u d/logo.bin a%00b\n"), create,
                bad_line(1, "a name with a NUL byte")),
          fails("a file path with a NUL byte", manifest("u d/logo.bin%00x a\n"), create,
                bad_line(1, "a file path with a NUL byte")),
          // A file's path is the manifest's folder and the path, whatever its bytes.
          ok("create from a manifest in a folder", {"d/m", "u a:b n\n", "d/a:b", "x"},
             "-c new.fst d/m", kCreated("new.fst", "1 entry", 267))
              .leaving({"new.fst", fst::archive_bytes({{"n", "x", false}})})
              .on_windows("skip: a drive there"),
          fails("a missing file", manifest("u d/logo.bin a\nc d/missing b\n"), create,
                kNoListedFile("d/missing")),
          // On Windows, fopen refuses a folder.
          fails("a folder listed", manifest("u d a\n"), create,
                (tools_under_wine() ? kNoListedFile : kListedFileUnread)("d")),
          fails("an archive past 2 GiB", {"list", "u big b\n", "big", "<zeros>2147483548:"}, create,
                kArchiveTooLarge),
          fails("a write past the file-size limit", manifest("u d/logo.bin a\n"), create,
                kWriteFailed("new.fst"))
              .under({.file_size_limit = 500}),
          fails("an entry past the file-size limit", {"list", "u z b\n", "z", "<zeros>70000:"},
                create, kWriteFailed("new.fst"))
              .under({.file_size_limit = 500}),
      });
}

// pellux -u, then pellux -c on its manifest, gives back every archive pellux -c can write, byte
// for byte; any other comes back with the same records in the same order, the same names, the
// same choice of stored or compressed, and the same bytes for every entry it could read. And on
// any thread count each mode does what it does on one: -t, -x, -u, -u -f again into the same
// folder (repeated names keep their numbers), and -c.
TEST(PelluxCliTest, UnpackThenCreateGivesTheArchiveBackOnAnyThreadCount) {
  const std::string text = text_like(9000, 4), stream = encode(text);
  // Out of table order, with a gap, and a stream of literals only, which this encoder never
  // writes for "aaaa".
  const std::string literals =
      pack_codes({{256, 9}, {'a', 9}, {'a', 9}, {'a', 9}, {'a', 9}, {257, 9}});
  const int32_t at = 4 + 262 * 3, literals_size = static_cast<int32_t>(literals.size());
  const std::string foreign =
      fst_table(3, {{at + 40 + literals_size, static_cast<int32_t>(stream.size()), 9000, "b/text"},
                    {at + 20, literals_size, 4, "a"},
                    {at, 5, 5, "c"}}) +
      "stord" + std::string(15, '\0') + literals + std::string(20, '\0') + stream;
  // Repeated names, damaged records, and entries of 1.5 MiB: stored, and compressed into a
  // stream of less and of more than the 1 MiB piece a stream is read in.
  std::vector<fst::NewEntry> many;
  for (int i = 0; i < 60; ++i) {
    const size_t size = i / 3 == 2 ? size_t{3} << 19 : static_cast<size_t>(i * i * i) % 200000;
    many.push_back({line("d%d/f%d", i % 4, i % 50),
                    i % 2 ? text_like(size, static_cast<uint32_t>(i)) : random_bytes(size, 9),
                    i % 3 != 0});
  }
  std::string damaged = fst::archive_bytes(many);
  for (const size_t record : {5u, 20u, 33u}) damaged[4 + 262 * record + 2] ^= 0x40;
  const std::string archives[] = {
      read_file(EXAMPLE_ARCHIVE),
      fst::archive_bytes({{"one\\a.txt", "1", false},
                          {"two/A.TXT", "2", true},
                          {"run", std::string(100000, 'r'), true},
                          {"z", "", true},
                          {"mixed", random_bytes(3000, 2) + std::string(5000, '\0'), true},
                          {"same", "aaaa", true},
                          {"\xFF\xFE dir\\%x", text, false}}),
      fst::archive_bytes(many), foreign, damaged};
  for (const std::string& archive : archives) {
    std::string first;
    for (const std::string threads : {"-j1 ", "-j4 "}) {
      ScratchDir dir;
      write_file(dir / "a.fst", archive);
      std::string seen;
      for (const std::string args : {"-t a.fst", "-x a.fst x", "-u a.fst u", "-uf a.fst u",
                                     "-c b.fst u/manifest.txt", "-u b.fst v"}) {
        const ToolRun run = pellux(dir.path(), threads + args);
        seen += run.output + std::to_string(run.status);
      }
      const bool canonical = seen.find("pellux -c will not give") == std::string::npos;
      EXPECT_EQ(canonical, &archive < &archives[3]) << seen;
      EXPECT_TRUE(!canonical || read_file(dir / "b.fst") == archive);
      // Not EXPECT_EQ: a diff of two folders of large files takes minutes.
      EXPECT_TRUE(describe(dir / "u/files") == describe(dir / "v/files"));
      for (const auto& [name, state] : describe(dir.path())) seen += name + state;
      if (first.empty()) first = seen;
      EXPECT_TRUE(seen == first) << threads;
    }
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
  const ToolRun listed = pellux(dir.path(), "-l --json a.fst");
  EXPECT_EQ(listed.errors + std::to_string(listed.status), kPelluxBanner + "0"s);
  // Python keeps the lone surrogates that stand for bytes that are no UTF-8.
  const ToolRun parsed = run_tool(
      "/usr/bin/python3",
      {"-c",
       "import json,sys\n"
       "for l in sys.stdin:\n"
       " o=json.loads(l)\n"
       " n=o['name'].encode('utf-8','surrogateescape') if 'name' in o else str(o).encode()\n"
       " sys.stdout.buffer.write(n+b'\\n')"},
      {.input = listed.output});
  std::string expected;
  for (const std::string& name : names) expected += name + "\n";
  EXPECT_EQ(
      parsed.output,
      expected +
          "{'version': 1, 'type': 'total', 'entries': 6, 'damaged': 0, 'verdict': 'sound'}\n");
  // One entry, and every chosen entry, to standard output: the data alone.
  const ToolRun one = run_tool(pellux_tool(), {"a.fst", "sp ace\"q\"", "-"}, {.cwd = dir.path()});
  EXPECT_EQ(one.output + one.errors,
            "data of dir\\sp ace\"q\""s + kPelluxBanner +
                kFound("dir\\sp ace\"q\"", encode("data of dir\\sp ace\"q\"").size(), 21));
  const ToolRun all = pellux(dir.path(), "-x -O -q a.fst *.txt *t\xC3\xA9*");
  EXPECT_EQ(all.output + all.errors + std::to_string(all.status),
            "data of plain.txtdata of \xC3\xA9t\xC3\xA9"
            "0");
  EXPECT_EQ(pellux(dir.path(), "-1 -l a.fst").output,
            "plain.txt\ndir\\sp ace\"q\"\n\\x01\\x1b[2J\n\xC3\xA9t\xC3\xA9\n\xFF\xFE\xC3\n"
            "tab\\x09here/\\x7f\n");
  // -t --json: each entry's verdict (sound, overlapping, decoding to more), and the total's.
  write_file(dir / "b.fst",
             fst_table(3, {{790, 3, 3, "ok"}, {790, 3, 9, "short"}, {793, 7, 1, "long"}}) + "abc" +
                 encode("abcd"));
  const ToolRun tested = pellux(dir.path(), "-t --json b.fst");
  EXPECT_EQ(tested.output + std::to_string(tested.status),
            "{\"version\":1,\"type\":\"entry\",\"index\":0,\"name\":\"ok\",\"offset\":790,"
            "\"stored_size\":3,\"size\":3,\"compressed\":false,\"damaged\":false,\"verdict\":"
            "\"sound\",\"decoded\":3}\n{\"version\":1,\"type\":\"entry\",\"index\":1,\"name\":"
            "\"short\",\"offset\":790,\"stored_size\":3,\"size\":9,\"compressed\":true,\"damaged\":"
            "true,\"verdict\":\"overlaps\",\"decoded\":0}\n{\"version\":1,\"type\":\"entry\","
            "\"index\":2,\"name\":\"long\",\"offset\":793,\"stored_size\":7,\"size\":1,"
            "\"compressed\":true,\"damaged\":true,\"verdict\":\"more\",\"decoded\":2}\n"
            "{\"version\":1,\"type\":\"total\",\"entries\":3,\"damaged\":2,\"verdict\":"
            "\"damaged\"}\n1");
}

// A FIFO given as the archive is read as a pipe: its writer may come after the run started.
TEST(PelluxCliTest, ReadsAnArchiveFromAFifoWhoseWriterComesLater) {
  if (tools_under_wine()) GTEST_SKIP() << "a Linux FIFO is no pipe to wine";
  ScratchDir dir;
  make(dir.path(), "arc", "<fifo>");
  std::thread writer([&dir] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    write_file(dir / "arc",
               fst::archive_bytes({{"a", "1", false}, {"b", "2", false}, {"c", "later", true}}));
  });
  // The first and the last entry: the one-byte entry between them is read past.
  const ToolRun run = pellux(dir.path(), "-x arc o a c");
  writer.join();
  EXPECT_EQ(read_file(dir / "o/a") + read_file(dir / "o/c") + std::to_string(run.status),
            "1later0");
}

}  // namespace
