// Base names, lookup and the table reader on well-formed tables.
#include <gtest/gtest.h>

#include <cstdio>

#include "fst_writer.h"
#include "pellux/lookup.h"
#include "pellux/toc.h"

namespace {

using pellux::base_name;

TEST(TocTest, BaseNameDropsDriveAndDirectories) {
  const std::pair<std::string, std::string> cases[] = {
      {"data\\Sounds\\BOOM.WAV", "BOOM.WAV"},
      {"sfx/boom.wav", "boom.wav"},
      {"C:boom.wav", "boom.wav"},
      {"C:\\a/b\\c.d", "c.d"},
      {"docs.old\\readme", "readme"},  // a dot in a directory is no extension
      {"a.b.c", "a.b.c"},
      {"x", "x"},
      {":x", ":x"},  // the drive prefix needs a second character of ':'
      {"dir/", ""},
      {"", ""},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(base_name(path), expected) << path;
}

TEST(TocTest, BaseNameCutsNameAndExtensionTo255BytesEach) {
  const std::string name(300, 'n'), extension = "." + std::string(300, 'e');
  EXPECT_EQ(base_name("dir/" + name + extension), name.substr(0, 255) + extension.substr(0, 255));
  EXPECT_EQ(base_name(name), name.substr(0, 255));
}

pellux::Toc toc_of(const std::vector<std::string>& names) {
  pellux::Toc toc(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    std::fill(std::begin(toc[i].name), std::end(toc[i].name), '\0');
    names[i].copy(toc[i].name, pellux::kNameFieldSize);
  }
  return toc;
}

TEST(TocTest, FindsTheFirstMatchIgnoringDirectoriesAndAsciiCase) {
  const pellux::Toc toc = toc_of({"one\\a.txt", "two/A.TXT", "C:b.bin", "@x", "\xC9t\xC9.txt",
                                  std::string(250, 'L'), "half\0hidden"});
  const std::pair<std::string, int32_t> cases[] = {
      {"a.txt", 0},
      {"X:\\A.Txt", 0},
      {"other/dir/B.BIN", 2},
      {"b.bin", 2},
      {"`x", -1},             // '@' and '`' differ by the case bit but are no letters
      {"\xE9t\xE9.txt", -1},  // letters outside ASCII are not folded
      {"\xC9T\xC9.TXT", 4},
      {std::string(250, 'l'), 5},
      {"half", 6},
      {"hidden", -1},
      {"", -1},
  };
  for (const auto& [request, index] : cases)
    EXPECT_EQ(pellux::find_record(toc, request), index) << request;
}

TEST(TocTest, ReadsEveryFieldOfEveryRecord) {
  const std::string table = tools::fst_table(
      2, {{-7, 5, 0x7FFFFFFF, "first\\name"}, {266, 0, -16, std::string(250, 'z')}});
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(table.data(), 1, table.size(), file);
  std::rewind(file);
  pellux::Toc toc;
  ASSERT_EQ(pellux::read_toc(file, -1, toc), pellux::TocError::kNone);
  std::fclose(file);
  ASSERT_EQ(toc.size(), 2u);
  EXPECT_EQ(toc[0].offset, -7);
  EXPECT_EQ(toc[0].stored_size, 5);
  EXPECT_EQ(toc[0].uncompressed_size, 0x7FFFFFFF);
  EXPECT_EQ(pellux::record_name(toc[0]), "first\\name");
  EXPECT_EQ(toc[1].uncompressed_size, -16);
  EXPECT_EQ(pellux::record_name(toc[1]), std::string(250, 'z'));
}

}  // namespace
