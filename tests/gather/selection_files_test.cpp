#include "runs/selection_files.h"

#include <random>

#include "gather_fixture.h"

namespace tv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

class SelectionTest : public GatherTest {
 protected:
  std::vector<std::string> Gather(std::string_view text) {
    WriteFile(tree_ / "sel.ini", text);
    RunList list;
    GatherSelectionFile(tree_ / "sel.ini", list, ctx_);
    return list.paths();
  }
};

TEST(ParseCountTest, FollowsCDecimalConversion) {
  const std::pair<const char*, long long> cases[] = {
      {"12", 12}, {" \t+7z", 7}, {"x7", 0}, {"", 0}, {"-5", 0}, {"2147483648", 2147483647}};
  for (const auto& [text, count] : cases) EXPECT_EQ(ParseCount(text), count) << text;
}

TEST_F(SelectionTest, BinarySelectionFilesNeverHang) {
  std::mt19937 random(11);
  std::string binary(1 << 16, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  EXPECT_NO_FATAL_FAILURE(Gather(binary));
  EXPECT_NO_FATAL_FAILURE(Gather("[Selected Files]\nTotalFileNum=9\n" + binary));
}

TEST_F(SelectionTest, HundredThousandEntriesAllCome) {
  std::string text = "[Selected Files]\r\nTotalFileNum=100000\r\n";
  for (int k = 1; k <= 100000; ++k) {
    text += "File" + std::to_string(k) + "=/none/f" + std::to_string(k) + ".c\r\n";
  }
  std::vector<std::string> paths = Gather(text);
  ASSERT_EQ(paths.size(), 100000u);
  EXPECT_EQ(paths.front(), "/none/f1.c");
  EXPECT_EQ(paths[99], "/none/f100.c");
  EXPECT_EQ(paths.back(), "/none/f100000.c");
}

TEST_F(SelectionTest, ValuesAreCutAtThePathLimitNeverInsideACharacter) {
  auto path_of = [](size_t bytes) { return "/" + std::string(bytes - 3, 'd') + ".c"; };
  const std::string ascii = "/" + std::string(4093, 'a');
  const std::pair<std::string, std::string> written_read[] = {
      {path_of(2047), path_of(2047)},
      {path_of(2048), path_of(2048)},
      {path_of(4095), path_of(4095)},
      {path_of(5000), path_of(5000).substr(0, 4095)},  // names no countable file
      {ascii + "\xD4\xB4" + "b", ascii},               // the GBK character does not fit
  };
  for (const auto& [written, read] : written_read) {
    SCOPED_TRACE(written.size());
    const std::vector<std::string> gathered =
        Gather("[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + written + "\r\n");
    EXPECT_EQ(gathered, read.ends_with(".c") ? std::vector{read} : std::vector<std::string>{});
    EXPECT_THAT(ReadNumberedList(tree_ / "sel.ini", "Selected Files", "TotalFileNum", "File",
                                 CodePage::Gbk),
                Optional(ElementsAre(read)));
  }
}

using FolderListTest = GatherTest;

TEST_F(FolderListTest, AFileThatCannotBeKeptIsNeverReplaced) {
  const std::string before = "[OTHER]\r\nShortCut=1\r\n";
  WriteFile(ctx_.settings_path, before);
  std::string error;
  EXPECT_FALSE(WriteFolderList(ctx_.settings_path, {"/a", "/b\nc"}, CodePage::Gbk, &error));
  EXPECT_EQ(error, "a folder name holds a line break");
  EXPECT_EQ(ReadFile(ctx_.settings_path), before);
  ASSERT_EQ(::mkfifo((tree_ / "pipe.ini").c_str(), 0600), 0);
  EXPECT_FALSE(WriteFolderList(tree_ / "pipe.ini", {"/a"}, CodePage::Gbk));
  EXPECT_FALSE(WriteFolderList(tree_ / "pipe.ini", {"/a"}, CodePage::Gbk, &error));
  EXPECT_EQ(error, "cannot read the existing file");
}

}  // namespace
}  // namespace tv::test
