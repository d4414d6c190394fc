#include "reports/text_reports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "test_util.h"

namespace tv {
namespace {

constexpr std::string_view kStamp = "2007-05-09 14:03:07";

BatchResults SampleResults() {
  BatchResults r;
  r.rows.push_back({"/src/a.c", "10", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", "25.00%"});
  r.rows.push_back({"/src/x<y>&\"z\",1.c", "0", "0", "0", "0", "0.00%"});
  r.summary = {"10 (共2个文件)", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)",
               "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )"};
  return r;
}

// Compares with a golden file. On a mismatch the actual bytes are written
// beside it as NAME.actual; TV_UPDATE_GOLDEN=1 rewrites the golden file.
void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = std::string(TV_TEST_DATA_DIR) + "/reports/" + name;
  if (const char* update = std::getenv("TV_UPDATE_GOLDEN"); update && std::string(update) == "1") {
    test::WriteFile(path, actual);
    return;
  }
  const std::string expected = test::ReadFile(path);
  if (expected != actual) {
    test::WriteFile(path + ".actual", actual);
    ADD_FAILURE() << name << " differs from its golden file; actual bytes in " << path << ".actual";
  }
}

TEST(HtmlReportTest, GoldenUnderGbk) {
  ExpectGolden("report-gbk.htm", HtmlReportText(SampleResults(), kStamp, CodePage::Gbk));
}

TEST(HtmlReportTest, DeclaredCharsetFollowsTheCodePage) {
  const std::string utf8 = HtmlReportText(SampleResults(), kStamp, CodePage::Utf8);
  ExpectGolden("report-utf8.htm", utf8);
  EXPECT_NE(utf8.find("charset=utf-8\""), std::string::npos);
  EXPECT_NE(utf8.find("统计结果汇总"), std::string::npos);
  const std::string gbk = HtmlReportText(SampleResults(), kStamp, CodePage::Gbk);
  EXPECT_NE(gbk.find("charset=gb2312\""), std::string::npos);
  EXPECT_EQ(gbk.find("统计结果汇总"), std::string::npos) << "GBK page holds UTF-8 text";
}

TEST(HtmlReportTest, NamesAreEscapedAndThePageIsOneLine) {
  const std::string page = HtmlReportText(SampleResults(), kStamp, CodePage::Utf8);
  EXPECT_NE(page.find("/src/x&lt;y&gt;&amp;&quot;z&quot;,1.c"), std::string::npos);
  EXPECT_EQ(page.find('\n'), std::string::npos);
  EXPECT_EQ(page.find("<y>"), std::string::npos);
}

TEST(HtmlReportTest, ZeroRowsStillHaveHeaderAndSummary) {
  BatchResults empty;
  const std::string page = HtmlReportText(empty, kStamp, CodePage::Utf8);
  EXPECT_NE(page.find("代码注释率</font></td></tr>"), std::string::npos);
  EXPECT_NE(page.find("统计结果汇总"), std::string::npos);
}

TEST(CsvReportTest, GoldenUnderGbk) {
  ExpectGolden("report-gbk.csv", CsvReportText(SampleResults(), CodePage::Gbk));
}

TEST(CsvReportTest, QuotesOnlyFieldsThatNeedIt) {
  const std::string csv = CsvReportText(SampleResults(), CodePage::Utf8);
  EXPECT_NE(csv.find("/src/a.c,10,6 (60.00%),2 (20.00%),2 (20.00%),25.00%\r\n"), std::string::npos);
  EXPECT_NE(csv.find("\"/src/x<y>&\"\"z\"\",1.c\",0,0,0,0,0.00%\r\n"), std::string::npos);
  EXPECT_NE(csv.find("\r\n\r\n统计汇总,10 (共2个文件),6 (60.00%)"), std::string::npos);
}

TEST(CsvReportTest, ZeroRowsGiveHeaderEmptyLineAndSummary) {
  BatchResults empty;
  empty.summary = {"a", "b", "c", "d", "e"};
  EXPECT_EQ(CsvReportText(empty, CodePage::Utf8),
            "文件名,总行数,代码行,注释行,空白行,代码注释率\r\n\r\n统计汇总,a,b,c,d,e\r\n");
}

TEST(TxtReportTest, GoldenUnderGbkForBothRatioLabels) {
  ExpectGolden("report-gbk.txt", TxtReportText(SampleResults(), kStamp, false, CodePage::Gbk));
  ExpectGolden("report-gbk-short.txt", TxtReportText(SampleResults(), kStamp, true, CodePage::Gbk));
}

TEST(TxtReportTest, ValuesStartInByteColumnFifteenUnderGbk) {
  const std::string txt = TxtReportText(SampleResults(), kStamp, false, CodePage::Gbk);
  const std::string label = Utf8ToAnsi("代码注释率：   ", CodePage::Gbk);
  ASSERT_EQ(label.size(), 15u);
  EXPECT_NE(txt.find("\r\n" + label + "25.00%\r\n"), std::string::npos);
  const std::string short_label = Utf8ToAnsi("代码注释率： ", CodePage::Gbk);
  EXPECT_EQ(short_label.size(), 13u);
  const std::string txt_short = TxtReportText(SampleResults(), kStamp, true, CodePage::Gbk);
  EXPECT_NE(txt_short.find("\r\n" + short_label + "25.00%\r\n"), std::string::npos);
  // The summary always keeps the long label.
  EXPECT_NE(txt_short.find(label + "25.00%  ("), std::string::npos);
}

TEST(ReportFilesTest, ReplacingKeepsPermissionsAndAppendAddsABlock) {
  test::TempDir dir;
  const std::string path = dir / "r.txt";
  test::WriteFile(path, "old report\r\n");
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteTxtReport(path, SampleResults(), TxtMode::Overwrite, CodePage::Utf8).ok);
  const std::string once = test::ReadFile(path);
  EXPECT_EQ(once.find("old report"), std::string::npos);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_TRUE(WriteTxtReport(path, SampleResults(), TxtMode::Append, CodePage::Utf8).ok);
  const std::string twice = test::ReadFile(path);
  ASSERT_GT(twice.size(), once.size());
  EXPECT_EQ(twice.substr(0, once.size()), once);
  EXPECT_EQ(twice.substr(once.size(), 2), "\r\n") << "each block starts with an empty line";
  // Only the target is left: no temporary file beside it.
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::vector<std::string>{"r.txt"});
}

TEST(ReportFilesTest, FailureLeavesTheOldFileAndNamesIt) {
  test::TempDir dir;
  ReportResult r = WriteHtmlReport(dir / "missing/r.htm", SampleResults(), CodePage::Gbk);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("missing/r.htm"), std::string::npos);

  // A link is followed: the file it names is replaced, the link stays.
  const std::string real = dir / "real.csv";
  test::WriteFile(real, "old");
  std::filesystem::create_symlink(real, dir / "link.csv");
  ASSERT_TRUE(WriteCsvReport(dir / "link.csv", SampleResults(), CodePage::Gbk).ok);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.csv"));
  EXPECT_EQ(test::ReadFile(real), CsvReportText(SampleResults(), CodePage::Gbk));
}

TEST(ReportFilesTest, ReadOnlyTargetIsRefused) {
  if (test::RunningAsRoot()) GTEST_SKIP() << "root ignores permission bits";
  test::TempDir dir;
  const std::string path = dir / "r.csv";
  test::WriteFile(path, "keep");
  ::chmod(path.c_str(), 0444);
  EXPECT_FALSE(WriteCsvReport(path, SampleResults(), CodePage::Gbk).ok);
  EXPECT_EQ(test::ReadFile(path), "keep");
}

TEST(ReportTimeStampTest, HasTheFixedShape) {
  const std::string s = ReportTimeStamp();
  ASSERT_EQ(s.size(), 19u);
  EXPECT_EQ(s[4], '-');
  EXPECT_EQ(s[10], ' ');
  EXPECT_EQ(s[13], ':');
}

}  // namespace
}  // namespace tv
