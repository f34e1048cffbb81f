// The format parts' decisions that need no process: base names, whether an entry is staged,
// and a container's checksum word.
#include <gtest/gtest.h>

#include "common/escape.h"
#include "corvane/entry.h"
#include "fst/entry.h"
#include "fst/lookup.h"
#include "fst/names.h"
#include "support.h"

namespace {

TEST(FormatsTest, BaseNameDropsDriveAndDirectoriesAndCutsEachPart) {
  const std::string name(300, 'n'), extension = "." + std::string(300, 'e');
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\a/b\\c.d", "c.d"},
      {"C:boom.wav", "boom.wav"},
      {"docs.old\\readme", "readme"},  // a dot in a directory is no extension
      {"a.b.c", "a.b.c"},
      {":x", ":x"},  // the drive prefix needs a second character of ':'
      {"dir/", ""},
      {"dir/" + name + extension, name.substr(0, 255) + extension.substr(0, 255)},
      {name, name.substr(0, 255)},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(fst::base_name(path), expected) << path;
}

// Names match byte for byte but for the case of the ASCII letters A to Z; a stored name ends at
// its first NUL. An entry's data lies inside the archive, or its length is unknown (a pipe).
TEST(FormatsTest, NamesAndRecordsAreJudgedByTheirBytes) {
  EXPECT_TRUE(fst::equal_folded("\xC3\x89t.TXT", "\xC3\x89T.txt"));
  EXPECT_FALSE(fst::equal_folded("@\xC3\x89", "`\xC3\x89"));
  EXPECT_FALSE(fst::equal_folded("\xC3\x89", "\xC3\xA9"));
  EXPECT_EQ(fst::record_name({0, 0, 0, "half\0hidden"}), "half");
  EXPECT_TRUE(fst::entry_in_range({0, 15, 5, ""}, 15) &&
              fst::entry_in_range({INT32_MAX, 9, 0, ""}, -1));
  for (const fst::TocRecord& outside : {fst::TocRecord{10, 6, 5, ""},
                                        {16, 0, 0, ""},
                                        {-5, 0, 0, ""},
                                        {0, -1, 3, ""},
                                        {0, 3, -1, ""}}) {
    EXPECT_FALSE(fst::entry_in_range(outside, 15)) << outside.offset;
  }
}

// A manifest token keeps valid UTF-8 as it is and writes every other byte, a blank and '%' as %XX:
// overlong forms, surrogates, code points past U+10FFFF and stray bytes are not valid.
TEST(FormatsTest, TokensKeepValidUtf8AndEscapeTheRest) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xC3\xA9 %\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "\xC3\xA9%20%25\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"\xC1\xBF\xE0\x80\xED\xA0\xF4\x90\xF5\x80\xC3", "%C1%BF%E0%80%ED%A0%F4%90%F5%80%C3"},
      {"", "%-"},
  };
  for (const auto& [bytes, token] : cases) EXPECT_EQ(common::encode_token(bytes), token);
}

// A stored name becomes a path inside the folder: drive and empty or "." parts dropped, a part
// that cannot be a file name escaped, every part cut to fit a file name, never inside an escape.
TEST(FormatsTest, StoredNamesBecomeSafePaths) {
  std::string cut;
  for (int i = 0; i < 83; ++i) cut += "%01";
  const std::pair<std::string, std::string> cases[] = {
      {"..\\..\\evil.txt", ".%2E/.%2E/evil.txt"},
      {"C:\\drive.txt", "drive.txt"},
      {"a/./b//c.txt", "a/b/c.txt"},
      {"ctl\x01 %\x7F.txt", "ctl%01 %%7F.txt"},
      {"..", ".%2E"},
      {std::string(249, 'N'), std::string(249, 'N')},
      {std::string(100, '\x01'), cut},
      // Cut to leave room for "~N", and never to end in a dot.
      {"\x01\x01" + std::string(243, 'N') + ".xyz", "%01%01" + std::string(243, 'N')},
  };
  for (const auto& [stored, expected] : cases) {
    const fst::SafePath path = fst::safe_path(stored);
    std::string joined;
    for (const std::string& folder : path.folders) joined += folder + "/";
    EXPECT_EQ(joined + path.file, expected) << stored;
  }
}

// A prepared entry is judged in the order a build meets it: a file that cannot be opened,
// then a start too late or a stored file too large by its reported size, then a failed read,
// then what was really read or encoded.
TEST(FormatsTest, EntriesAreJudgedInTheOrderABuildMeetsThem) {
  using enum corvane::ListedError;
  using enum corvane::EntryStep;
  using enum corvane::Verdict;
  const int64_t gib = int64_t{1} << 30;
  // The data area starts at 8 + 4 (index + 1) as long as this entry is the last.
  const struct {
    corvane::ListedError error = kNone;
    corvane::EntryStep step = kEncoded;
    bool compressed = true;
    int64_t reported = 10, length = 100, staged = 0, index = 0;
    corvane::Verdict verdict;
  } cases[] = {
      {.error = kCannotOpen, .step = kOpened, .staged = gib, .verdict = kListedError},
      {.error = kNotReadable,
       .step = kRead,
       .compressed = false,
       .reported = 2 * gib - 12,
       .verdict = kContainerTooLarge},
      {.error = kNotReadable, .step = kRead, .compressed = false, .verdict = kListedError},
      {.error = kNoMemory, .reported = 2 * gib - 1, .verdict = kListedError},
      {.step = kRead, .compressed = false, .length = 2 * gib - 12, .verdict = kContainerTooLarge},
      {.step = kRead, .compressed = false, .length = 2 * gib - 13, .verdict = kStage},
      {.staged = gib - 13, .verdict = kStage},
      {.staged = gib - 12, .verdict = kContainerTooLarge},
      {.staged = gib - 16, .index = 1, .verdict = kContainerTooLarge},
  };
  for (const auto& c : cases) {
    corvane::PreparedEntry entry;
    entry.error = c.error;
    entry.step = c.step;
    entry.compressed = c.compressed;
    entry.reported_length = c.reported;
    entry.length = static_cast<size_t>(c.length);
    EXPECT_EQ(corvane::judge_entry(entry, c.staged, c.index + 1), c.verdict) << &c - cases;
  }
}

}  // namespace
