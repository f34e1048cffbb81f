// The format parts' decisions that need no process: base names, whether an entry is staged,
// and a container's checksum word.
#include <gtest/gtest.h>

#include "container/writer.h"
#include "corvane/entry.h"
#include "fst/lookup.h"
#include "support.h"

namespace {

TEST(FormatsTest, BaseNameDropsDriveAndDirectoriesAndCutsEachPart) {
  const std::string name(300, 'n'), extension = "." + std::string(300, 'e');
  const std::pair<std::string, std::string> cases[] = {
      {"data\\Sounds\\BOOM.WAV", "BOOM.WAV"},
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

// A prepared entry is judged in the order a build meets it: a file that cannot be opened,
// then a start too late or a stored file too large by its reported size, then a failed read,
// then what was really read or encoded.
TEST(FormatsTest, EntriesAreJudgedInTheOrderABuildMeetsThem) {
  using corvane::EntryStep, corvane::ListedError, corvane::Verdict;
  const int64_t gib = int64_t{1} << 30;
  // The data area starts at 8 + 4 (index + 1) as long as this entry is the last.
  const struct {
    ListedError error;
    EntryStep step;
    bool compressed;
    int64_t reported, length, staged, index;
    Verdict verdict;
  } cases[] = {
      {ListedError::kCannotOpen, EntryStep::kOpened, false, 0, 0, gib, 0, Verdict::kListedError},
      {ListedError::kNotReadable, EntryStep::kRead, false, 2 * gib - 12, 0, 0, 0,
       Verdict::kContainerTooLarge},
      {ListedError::kNotReadable, EntryStep::kRead, false, 10, 0, 0, 0, Verdict::kListedError},
      {ListedError::kNoMemory, EntryStep::kEncoded, true, 2 * gib - 1, 0, 0, 0,
       Verdict::kListedError},
      {ListedError::kNone, EntryStep::kRead, false, 10, 2 * gib - 12, 0, 0,
       Verdict::kContainerTooLarge},
      {ListedError::kNone, EntryStep::kRead, false, 10, 2 * gib - 13, 0, 0, Verdict::kStage},
      {ListedError::kNone, EntryStep::kRead, false, 2 * gib - 13, 0, 0, 0, Verdict::kStage},
      {ListedError::kNone, EntryStep::kEncoded, true, 2 * gib - 1, 100, 0, 0, Verdict::kStage},
      {ListedError::kNone, EntryStep::kEncoded, true, 10, 100, gib - 13, 0, Verdict::kStage},
      {ListedError::kNone, EntryStep::kEncoded, true, 10, 100, gib - 12, 0,
       Verdict::kContainerTooLarge},
      {ListedError::kNone, EntryStep::kEncoded, true, 10, 100, gib - 17, 1, Verdict::kStage},
      {ListedError::kNone, EntryStep::kEncoded, true, 10, 100, gib - 16, 1,
       Verdict::kContainerTooLarge},
  };
  for (const auto& c : cases) {
    corvane::PreparedEntry entry;
    entry.error = c.error;
    entry.step = c.step;
    entry.compressed = c.compressed;
    entry.reported_length = c.reported;
    entry.length = static_cast<size_t>(c.length);
    EXPECT_EQ(corvane::judge_entry(entry, c.staged, c.index + 1), c.verdict)
        << c.reported << " " << c.length << " " << c.staged;
  }
}

// The checksum word is the sum of the bytes after it, modulo 2^32: D = 16, the offset words
// 16 | 0x40000000 and 0x01020314 add 16 + 16 + 64 + 0x14 + 3 + 2 + 1.
TEST(FormatsTest, HeaderCarriesTheChecksumModulo2To32) {
  const std::vector<uint8_t> bytes =
      container::container_header({{0, true}, {0x01020304, false}}, 0xFFFFFFF0);
  const std::string header(bytes.begin(), bytes.end());
  using testing_support::le32_bytes;
  EXPECT_EQ(header, le32_bytes(0xFFFFFFF0u + 122) + le32_bytes(16) + le32_bytes(0x40000010) +
                        le32_bytes(0x01020314));
}

}  // namespace
