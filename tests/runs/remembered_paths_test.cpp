#include "runs/remembered_paths.h"

#include <gtest/gtest.h>

#include "platform/ini.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv {
namespace {

TEST(RememberedPathsTest, EachStartRemembersItsOwnKeys) {
  test::TempDir dir;
  const std::string settings = dir / "Setup.ini";
  ASSERT_TRUE(WriteDefaultSettings(settings, CodePage::Gbk));

  RunRequest files;
  files.type = SelectionType::FileList;
  files.file_type_filter = 13;
  ASSERT_TRUE(RememberRunStart(settings, files, "/home/u/src/", CodePage::Gbk));
  EXPECT_EQ(ReadRememberedPath(settings, "Path1", CodePage::Gbk), "/home/u/src/");
  EXPECT_EQ(ReadRememberedPath(settings, "SelectType", CodePage::Gbk), "13");

  RunRequest selection;
  selection.type = SelectionType::SelectionFile;
  selection.path = "/sets/a.ini";
  ASSERT_TRUE(RememberRunStart(settings, selection, "", CodePage::Gbk));
  EXPECT_EQ(ReadRememberedPath(settings, "Path3", CodePage::Gbk), "/sets/");

  RunRequest folder;
  folder.type = SelectionType::OneDirectory;
  folder.path = "/home/u/目录";
  ASSERT_TRUE(RememberRunStart(settings, folder, "", CodePage::Gbk));
  EXPECT_EQ(ReadRememberedPath(settings, "Path2", CodePage::Gbk), "/home/u/目录");
  // Written in GBK like the rest of the file.
  EXPECT_NE(test::ReadFile(settings).find(Utf8ToAnsi("Path2=/home/u/目录\r\n", CodePage::Gbk)),
            std::string::npos);
  EXPECT_EQ(ReadRememberedPath(settings, "Path1", CodePage::Gbk), "/home/u/src/");
}

TEST(RememberedPathsTest, LongPathsAreNotCutAtTheOldBufferSize) {
  test::TempDir dir;
  const std::string settings = dir / "Setup.ini";
  RunRequest folder;
  folder.type = SelectionType::OneDirectory;
  folder.path = "/" + std::string(2000, 'p');
  ASSERT_TRUE(RememberRunStart(settings, folder, "", CodePage::Gbk));
  EXPECT_EQ(ReadRememberedPath(settings, "Path2", CodePage::Gbk), folder.path);
}

TEST(RememberedPathsTest, ProgressOptionIsOnOnlyForExactlyOne) {
  test::TempDir dir;
  const std::string settings = dir / "Setup.ini";
  EXPECT_FALSE(ReadProgressOption(settings, CodePage::Gbk)) << "missing file";
  ASSERT_TRUE(WriteDefaultSettings(settings, CodePage::Gbk));
  EXPECT_TRUE(ReadProgressOption(settings, CodePage::Gbk)) << "the default is on";
  for (const char* off : {"0", "yes", " 1x", ""}) {
    ASSERT_TRUE(WriteProfileString(settings, "OTHER", "ShowProcPercent", off, CodePage::Gbk));
    EXPECT_FALSE(ReadProgressOption(settings, CodePage::Gbk)) << off;
  }
}

TEST(RememberedPathsTest, HandedOverFolderIsOneDirectory) {
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "x;\n");
  EXPECT_EQ(SelectionForHandedOverPath(dir.Path()), SelectionType::OneDirectory);
  EXPECT_EQ(SelectionForHandedOverPath(dir / "a.c"), SelectionType::AllFiles);
  EXPECT_EQ(SelectionForHandedOverPath(dir / "missing"), SelectionType::AllFiles);
}

}  // namespace
}  // namespace tv
