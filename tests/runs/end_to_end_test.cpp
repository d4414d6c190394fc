// Runs the built program on temporary trees and checks exit codes, output
// paths and report contents.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "platform/codepage.h"
#include "test_util.h"

namespace tv {
namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = dir_ / "home";
    std::filesystem::create_directories(home_);
    settings_ = dir_ / "settings/Setup.ini";
    test::WriteFile(dir_ / "src/a.cpp", "int a;  // one\n/* two */\n\n");
    test::WriteFile(dir_ / "src/sub/b.pas", "{ note }\nx := 1;\n");
    test::WriteFile(dir_ / "src/readme.doc", "text\n");
  }

  // Runs the program in `cwd` with HOME and the settings file pointed into
  // the temporary folder.
  Outcome Run(const std::vector<std::string>& args, const std::string& cwd = "") {
    std::string cmd = "cd " + Quote(cwd.empty() ? dir_.Path() : cwd) + " && HOME=" + Quote(home_) +
                      " TALLYVANE_SETTINGS=" + Quote(settings_) + " timeout 60 " +
                      Quote(TV_PROGRAM_PATH);
    for (const std::string& a : args) cmd.append(" ").append(Quote(a));
    cmd.append(" >").append(Quote(dir_ / "stdout"));
    cmd.append(" 2>").append(Quote(dir_ / "stderr")).append(" </dev/null");
    int raw = std::system(cmd.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = test::ReadFile(dir_ / "stdout");
    o.err = test::ReadFile(dir_ / "stderr");
    return o;
  }

  bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  test::TempDir dir_;
  std::string home_, settings_;
};

TEST_F(EndToEndTest, FileRunWritesTxtRelativeToTheCurrentFolder) {
  Outcome o = Run({"-f", "src/a.cpp", "-o", "r.txt"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "") << "nothing on a standard output that is not a terminal";
  const std::string txt = AnsiToUtf8(test::ReadFile(dir_ / "r.txt"), CodePage::Gbk);
  EXPECT_NE(txt.find("文件名：       a.cpp\r\n"), std::string::npos) << txt;
  EXPECT_NE(txt.find("代码注释率：   66.67%\r\n"), std::string::npos) << txt;
  EXPECT_TRUE(Exists(settings_)) << "the settings file is created with its defaults";
}

TEST_F(EndToEndTest, DirectoryRunPutsABareNameIntoTheFolderAsExcel) {
  Outcome o = Run({"-d", dir_ / "src", "-o", "report"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(Exists(dir_ / "src/report.xls"));
}

TEST_F(EndToEndTest, SelectionRunPutsABareNameIntoTheHomeFolder) {
  test::WriteFile(
      dir_ / "sel.ini",
      "[Selected Files]\r\nTotalFileNum=2\r\nFile1=src/a.cpp\r\nFile2=src/readme.doc\r\n");
  Outcome o = Run({"-s", "sel.ini", "-o", "out.htm"});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string html = AnsiToUtf8(test::ReadFile(home_ + "/out.htm"), CodePage::Gbk);
  EXPECT_NE(html.find(">src/a.cpp</td>"), std::string::npos) << html;
  EXPECT_EQ(html.find("readme.doc"), std::string::npos);
}

TEST_F(EndToEndTest, ExtensionsAreAppendedCaseSensitively) {
  EXPECT_EQ(Run({"-f", "src/a.cpp", "-o", "R.HTM"}).status, 0);
  EXPECT_TRUE(Exists(dir_ / "R.HTM.htm"));
  EXPECT_EQ(Run({"-F", "src/a.cpp", "-O", "r.html"}).status, 0);
  EXPECT_TRUE(Exists(dir_ / "r.html.xls"));
  EXPECT_EQ(Run({"-f", "src/a.cpp", "-o", "r.CSV"}).status, 0);
  EXPECT_TRUE(Exists(dir_ / "r.CSV.csv"));
}

TEST_F(EndToEndTest, DirectoryOptionReplacesFile) {
  EXPECT_EQ(Run({"-f", "src/a.cpp", "-d", dir_ / "src", "-o", "r.csv"}).status, 0);
  const std::string csv = test::ReadFile(dir_ / "src/r.csv");
  EXPECT_NE(csv.find(dir_ / "src/sub/b.pas"), std::string::npos) << csv;
}

TEST_F(EndToEndTest, OptionWithoutValueEndsWith255) {
  EXPECT_EQ(Run({"-o", "r.txt", "-f"}).status, 255);
  EXPECT_EQ(Run({"-f", "-o", "r.txt"}).status, 255);
  EXPECT_FALSE(Exists(dir_ / "r.txt"));
}

TEST_F(EndToEndTest, StartsThatAreNotCommandLineModeShowUsage) {
  Outcome o = Run({"-o", "r.txt"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("Usage: tallyvane"), std::string::npos);
  o = Run({"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("Usage: tallyvane"), std::string::npos);
  o = Run({"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "Tallyvane v3.7\n");
}

TEST_F(EndToEndTest, NothingCountableEndsWithZeroAndWritesNothing) {
  Outcome o = Run({"-f", "src/readme.doc", "-o", "r.txt"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "没有适合的统计类型文件！\n");
  EXPECT_FALSE(Exists(dir_ / "r.txt"));
  o = Run({"-d", dir_ / "no-such-folder", "-o", "r.txt"});
  EXPECT_EQ(o.status, 0);
  EXPECT_FALSE(Exists(dir_ / "r.txt"));
}

TEST_F(EndToEndTest, UnwritableReportFailsWithStatusOneAndKeepsNothingHalfWritten) {
  Outcome o = Run({"-f", "src/a.cpp", "-o", dir_ / "missing/r.htm"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("missing/r.htm"), std::string::npos) << o.err;
  // An existing report survives a failed write untouched.
  std::filesystem::create_directories(dir_ / "ro");
  test::WriteFile(dir_ / "ro/r.csv", "old");
  ::chmod((dir_ / "ro").c_str(), 0555);
  if (!test::RunningAsRoot()) {
    EXPECT_EQ(Run({"-f", "src/a.cpp", "-o", dir_ / "ro/r.csv"}).status, 1);
    EXPECT_EQ(test::ReadFile(dir_ / "ro/r.csv"), "old");
  }
}

TEST_F(EndToEndTest, OddEntriesNeitherHangNorCrash) {
  ASSERT_EQ(::mkfifo((dir_ / "src/pipe.c").c_str(), 0644), 0);
  std::filesystem::create_directory_symlink(dir_ / "src", dir_ / "src/sub/loop");
  std::filesystem::create_symlink(dir_ / "gone.c", dir_ / "src/dangling.c");
  Outcome o = Run({"-d", dir_ / "src", "-o", "r.csv"});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string csv = test::ReadFile(dir_ / "src/r.csv");
  EXPECT_NE(csv.find(dir_ / "src/a.cpp,3,"), std::string::npos) << csv;
  // The link back up is not followed into a loop: b.pas appears once.
  EXPECT_EQ(csv.find("b.pas"), csv.rfind("b.pas")) << csv;
}

TEST_F(EndToEndTest, ReportsFollowTheUtf8CodePage) {
  std::string cmd_settings = settings_;
  std::string cmd = "cd " + Quote(dir_.Path()) + " && HOME=" + Quote(home_) +
                    " TALLYVANE_SETTINGS=" + Quote(cmd_settings) + " TALLYVANE_CODEPAGE=utf-8 " +
                    Quote(TV_PROGRAM_PATH) + " -f src/a.cpp -o u.htm";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string html = test::ReadFile(dir_ / "u.htm");
  EXPECT_NE(html.find("charset=utf-8"), std::string::npos);
  EXPECT_NE(html.find("统计结果汇总"), std::string::npos);
}

}  // namespace
}  // namespace tv

namespace tv {
namespace {

TEST_F(EndToEndTest, NamesThatAreNotValidTextStillGetARow) {
  const std::string odd = dir_ / "src/bad\xff\xfename.c";
  test::WriteFile(odd, "x;\n");
  Outcome o = Run({"-d", dir_ / "src", "-o", "r.csv"});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string csv = test::ReadFile(dir_ / "src/r.csv");
  // Each byte that is not text becomes "?" in a GBK report.
  EXPECT_NE(csv.find("src/bad??name.c,1,1,0,0,0.00%"), std::string::npos) << csv;
  EXPECT_EQ(Run({"-d", dir_ / "src", "-o", "r.xls"}).status, 0);
}

}  // namespace
}  // namespace tv
