#include "runs/selection_files.h"

#include <sys/stat.h>

#include <random>

#include "gather_fixture.h"
#include "platform/ini.h"

namespace tv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SelectionTest : public GatherTest {
 protected:
  std::vector<std::string> Gather(std::string_view selection) {
    WriteFile(tree_ / "sel.ini", selection);
    RunList list;
    GatherSelectionFile(tree_ / "sel.ini", list, ctx_);
    return Relative(list);
  }
  // "File<k>=<tree>/<name>" lines.
  std::string Key(std::string_view key, std::string_view relative) const {
    return std::string(key) + "=" + (tree_ / relative) + "\r\n";
  }
};

TEST_F(SelectionTest, CountableFilesFirstThenTheFolderWalks) {
  Files({"a.cpp", "notes.txt", "src/x.c", "src/sub/y.h", "lib/z.pas"});
  EXPECT_THAT(Gather("[Selected Folder]\r\nTotalFolderNum=2\r\n" + Key("Folder1", "src/") +
                     Key("Folder2", "lib") + "[Selected Files]\r\nTotalFileNum=2\r\n" +
                     Key("File1", "a.cpp") + Key("File2", "notes.txt")),
              ElementsAre("a.cpp", "src/sub/y.h", "src/x.c", "lib/z.pas"));
}

TEST_F(SelectionTest, FolderWithAndWithoutFinalSlashWalksAlike) {
  Files({"src/x.c"});
  EXPECT_THAT(Gather("[Selected Folder]\r\nTotalFolderNum=2\r\n" + Key("Folder1", "src/") +
                     Key("Folder2", "src")),
              ElementsAre("src/x.c", "src/x.c"));
}

TEST_F(SelectionTest, CountsConvertLikeCAndGapsAddNothing) {
  Files({"a.c", "b.c", "c.c"});
  const std::string entries = Key("File1", "a.c") + Key("File3", "c.c");
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=3\r\n" + entries),
              ElementsAre("a.c", "c.c"));
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=abc\r\n" + entries), IsEmpty());
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum= 1x\r\n" + entries), ElementsAre("a.c"));
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=-3\r\n" + entries), IsEmpty());
  EXPECT_THAT(Gather("[Selected Files]\r\n" + entries), IsEmpty());  // no count
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=2000000000\r\n" + entries),
              ElementsAre("a.c", "c.c"));
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=99999999999999999999999\r\n" + entries),
              ElementsAre("a.c", "c.c"));
  EXPECT_THAT(
      Gather("[Selected Files]\r\nTotalFileNum=3\r\nFile1=\r\nFile2= \t\r\n" + Key("File3", "b.c")),
      ElementsAre("b.c"));
}

TEST_F(SelectionTest, ParseCountFollowsCDecimalConversion) {
  EXPECT_EQ(ParseCount("12"), 12);
  EXPECT_EQ(ParseCount(" \t+7z"), 7);
  EXPECT_EQ(ParseCount("x7"), 0);
  EXPECT_EQ(ParseCount(""), 0);
  EXPECT_EQ(ParseCount("-5"), 0);
  EXPECT_EQ(ParseCount("2147483648"), 2147483647);
}

TEST_F(SelectionTest, EntriesComeInNumberOrderUpToTheCount) {
  Files({"a.c", "b.c", "c.c", "d.c", "e.c"});
  EXPECT_THAT(Gather("[selected files]\r\n" + Key("File2", "b.c") + Key("file1", "a.c") +
                     Key("FILE1", "e.c") +   // the first key of a name wins
                     Key("File03", "c.c") +  // not the key File3
                     Key("File4", "d.c") +   // beyond the count
                     "TotalFileNum=3\r\n" + Key("File3", "c.c")),
              ElementsAre("a.c", "b.c", "c.c"));
}

TEST_F(SelectionTest, ValuesLoseBlanksAndTabsAtBothEnds) {
  Files({"a.c", "dir/b.c"});
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=1\r\nFile1=\t " + (tree_ / "a.c") +
                     " \t\r\n[Selected Folder]\r\nTotalFolderNum=1\r\nFolder1= " +
                     (tree_ / "dir/") + "\t\r\n"),
              ElementsAre("a.c", "dir/b.c"));
}

TEST_F(SelectionTest, ReadingFollowsTheIniRulesOfTheProfileFunctions) {
  // Quotes, blanks around "=", comments, a key before any section and a
  // second section of the same name: each entry reads as a single lookup of
  // its key would.
  const std::string text =
      "File1=/outside\r\n"
      "  [ Selected Folder ]  \r\n"
      "; Folder1=/comment\r\n"
      "TotalFolderNum = 5\r\n"
      "Folder1 = \"/quoted path\" \r\n"
      "Folder2='/single'\r\n"
      "Folder3=\"/unbalanced\r\n"
      "folder5 =  /last/  \r\n"
      "[Selected Folder]\r\n"
      "Folder4=/second section\r\n";
  WriteFile(tree_ / "sel.ini", text);
  auto values = ReadNumberedList(tree_ / "sel.ini", "Selected Folder", "TotalFolderNum", "Folder",
                                 CodePage::Gbk);
  ASSERT_TRUE(values.has_value());
  EXPECT_THAT(*values, ElementsAre("/quoted path", "/single", "\"/unbalanced", "/last/"));
  IniDocument doc(text, CodePage::Gbk);
  EXPECT_EQ(*doc.Get("Selected Folder", "Folder1"), (*values)[0]);
  EXPECT_EQ(*doc.Get("Selected Folder", "Folder3"), (*values)[2]);
  EXPECT_FALSE(doc.Get("Selected Folder", "Folder4").has_value());
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

TEST_F(SelectionTest, LongPathValuesAreKeptUpToThePathLimit) {
  auto path_of = [](size_t bytes) {
    std::string p = "/";
    while (p.size() + 2 < bytes) p += "d/";
    p.resize(bytes - 2, 'd');
    return p + ".c";
  };
  for (size_t bytes : {size_t{2047}, size_t{2048}, size_t{4095}}) {
    const std::string p = path_of(bytes);
    ASSERT_EQ(p.size(), bytes);
    EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + p + "\r\n"),
                ElementsAre(p));
  }
  // Beyond the path limit the value is cut, and the cut names no countable file.
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + path_of(5000) + "\r\n"),
              IsEmpty());
  auto cut =
      ReadNumberedList(tree_ / "sel.ini", "Selected Files", "TotalFileNum", "File", CodePage::Gbk);
  ASSERT_TRUE(cut.has_value());
  ASSERT_EQ(cut->size(), 1u);
  EXPECT_EQ((*cut)[0], path_of(5000).substr(0, 4095));
}

TEST_F(SelectionTest, CutNeverSplitsADoubleByteCharacter) {
  // 4094 ASCII bytes and then a GBK character: the character does not fit.
  const std::string value = "/" + std::string(4093, 'a') + "\xD4\xB4" + "b";
  WriteFile(tree_ / "sel.ini", "[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + value + "\r\n");
  auto values =
      ReadNumberedList(tree_ / "sel.ini", "Selected Files", "TotalFileNum", "File", CodePage::Gbk);
  ASSERT_TRUE(values.has_value());
  EXPECT_THAT(*values, ElementsAre("/" + std::string(4093, 'a')));
}

TEST_F(SelectionTest, PathsAreReadInTheAnsiCodePageOrAsUtf8AfterAByteOrderMark) {
  Files({"\xE6\xBA\x90/a.c", "\xE6\xBA\x90.c"});
  const std::string gbk_dir = (tree_ / "") + "\xD4\xB4";
  const std::string utf8_file = tree_ / "\xE6\xBA\x90.c";
  EXPECT_THAT(Gather("[Selected Folder]\r\nTotalFolderNum=1\r\nFolder1=" + gbk_dir + "\r\n"),
              ElementsAre("\xE6\xBA\x90/a.c"));
  EXPECT_THAT(
      Gather("\xEF\xBB\xBF[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + utf8_file + "\r\n"),
      ElementsAre("\xE6\xBA\x90.c"));
}

TEST_F(SelectionTest, BadSelectionFilesGatherNothingAndNeverHang) {
  RunList list;
  GatherSelectionFile(tree_ / "missing.ini", list, ctx_);
  GatherSelectionFile(tree_.Path(), list, ctx_);  // a folder
  ASSERT_EQ(::mkfifo((tree_ / "pipe.ini").c_str(), 0600), 0);
  GatherSelectionFile(tree_ / "pipe.ini", list, ctx_);
  EXPECT_THAT(list.paths(), IsEmpty());
  EXPECT_THAT(Gather(""), IsEmpty());
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=2\r\nFile1=/x/a.c\r\nFile2"),
              ElementsAre("/x/a.c"));
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=2\r\nFile1=/x/a.c\r\nFile2=/x/b.c"),
              ElementsAre("/x/a.c", "/x/b.c"));
  EXPECT_THAT(Gather("[Selected Fil"), IsEmpty());

  std::mt19937 random(11);
  std::string binary(1 << 16, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  EXPECT_NO_FATAL_FAILURE(Gather(binary));
  EXPECT_NO_FATAL_FAILURE(Gather("[Selected Files]\nTotalFileNum=9\n" + binary));
}

TEST_F(SelectionTest, StopRequestEndsTheWalksButNotTheListedFiles) {
  Files({"a.c", "dir/b.c"});
  stop_ = 1;
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=1\r\n" + Key("File1", "a.c") +
                     "[Selected Folder]\r\nTotalFolderNum=1\r\n" + Key("Folder1", "dir")),
              ElementsAre("a.c"));
}

TEST_F(SelectionTest, SameNameRuleSpansFilesAndFolders) {
  Files({"a/main.c", "b/main.c", "b/util.c"});
  Settings("[CURRENT PATH]\r\nCountSameFileName=0\r\n");
  EXPECT_THAT(Gather("[Selected Files]\r\nTotalFileNum=1\r\n" + Key("File1", "b/main.c") +
                     "[Selected Folder]\r\nTotalFolderNum=1\r\n" + Key("Folder1", "a")),
              ElementsAre("b/main.c"));
}

class FolderListTest : public GatherTest {};

TEST_F(FolderListTest, WritingReplacesTheSectionAtTheEndOfTheFile) {
  const std::string before =
      "[OTHER]\r\nShortCut=0\r\n[Selected Folder]\r\nTotalFolderNum=3\r\nFolder1=/old\r\n"
      "Folder3=/older\r\n[CURRENT PATH]\r\nPath1=\r\n";
  WriteFile(ctx_.settings_path, before);
  ASSERT_TRUE(WriteFolderList(ctx_.settings_path, {"/a", "/b c/"}, CodePage::Gbk));
  const std::string written = ReadFile(ctx_.settings_path);
  EXPECT_EQ(written,
            "[OTHER]\r\nShortCut=0\r\n[CURRENT PATH]\r\nPath1=\r\n[Selected Folder]\r\n"
            "TotalFolderNum=2\r\nFolder1=/a\r\nFolder2=/b c/\r\n");

  // The same bytes as deleting the section and writing the keys one by one.
  const std::string other = tree_ / "other.ini";
  WriteFile(other, before);
  ASSERT_TRUE(DeleteProfileSection(other, "Selected Folder", CodePage::Gbk));
  ASSERT_TRUE(WriteProfileString(other, "Selected Folder", "TotalFolderNum", "2", CodePage::Gbk));
  ASSERT_TRUE(WriteProfileString(other, "Selected Folder", "Folder1", "/a", CodePage::Gbk));
  ASSERT_TRUE(WriteProfileString(other, "Selected Folder", "Folder2", "/b c/", CodePage::Gbk));
  EXPECT_EQ(ReadFile(other), written);

  auto folders = ReadFolderList(ctx_.settings_path, CodePage::Gbk);
  ASSERT_TRUE(folders.has_value());
  EXPECT_THAT(*folders, ElementsAre("/a", "/b c/"));
}

TEST_F(FolderListTest, NamesAreStoredInTheFilesCodePage) {
  ASSERT_TRUE(WriteFolderList(ctx_.settings_path, {"/\xE6\xBA\x90"}, CodePage::Gbk));
  EXPECT_EQ(ReadFile(ctx_.settings_path),
            "[Selected Folder]\r\nTotalFolderNum=1\r\nFolder1=/\xD4\xB4\r\n");
  WriteFile(ctx_.settings_path, "\xEF\xBB\xBF[OTHER]\r\n");
  ASSERT_TRUE(WriteFolderList(ctx_.settings_path, {"/\xE6\xBA\x90"}, CodePage::Gbk));
  EXPECT_EQ(
      ReadFile(ctx_.settings_path),
      "\xEF\xBB\xBF[OTHER]\r\n[Selected Folder]\r\nTotalFolderNum=1\r\nFolder1=/\xE6\xBA\x90\r\n");
  auto folders = ReadFolderList(ctx_.settings_path, CodePage::Gbk);
  ASSERT_TRUE(folders.has_value());
  EXPECT_THAT(*folders, ElementsAre("/\xE6\xBA\x90"));
}

TEST_F(FolderListTest, AFileThatCannotBeKeptIsNeverReplaced) {
  const std::string before = "[OTHER]\r\nShortCut=1\r\n";
  WriteFile(ctx_.settings_path, before);
  std::string error;
  EXPECT_FALSE(WriteFolderList(ctx_.settings_path, {"/a", "/b\nc"}, CodePage::Gbk, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(ctx_.settings_path), before);

  ASSERT_EQ(::mkfifo((tree_ / "pipe.ini").c_str(), 0600), 0);
  EXPECT_FALSE(WriteFolderList(tree_ / "pipe.ini", {"/a"}, CodePage::Gbk));
}

TEST_F(FolderListTest, MissingSettingsFileIsCreatedAndReadsAsUnreadableBefore) {
  const std::string path = tree_ / "new/dir/Setup.ini";
  EXPECT_FALSE(ReadFolderList(path, CodePage::Gbk).has_value());
  ASSERT_TRUE(WriteFolderList(path, {}, CodePage::Gbk));
  EXPECT_EQ(ReadFile(path), "[Selected Folder]\r\nTotalFolderNum=0\r\n");
  auto folders = ReadFolderList(path, CodePage::Gbk);
  ASSERT_TRUE(folders.has_value());
  EXPECT_THAT(*folders, IsEmpty());
}

TEST_F(FolderListTest, GatheringWalksTheListedFoldersInOrder) {
  Files({"one/a.c", "two/b.c", "two/sub/c.c"});
  Settings("[OTHER]\r\nIncludeDirectory=0\r\n");
  ASSERT_TRUE(WriteFolderList(
      ctx_.settings_path, {tree_ / "two/", tree_ / "missing", "", tree_ / "one"}, CodePage::Gbk));
  RunList list;
  GatherFolderList(list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("two/b.c", "two/sub/c.c", "one/a.c"));
}

}  // namespace
}  // namespace tv::test
