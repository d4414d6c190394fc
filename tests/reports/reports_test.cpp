#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>

#include <regex>
#include <thread>

#include "reports/result_texts.h"
#include "reports/text_reports.h"
#include "test_util.h"

namespace tv {
namespace {

BatchResults SampleResults() {
  return {{{"/src/a.c", "10", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", "25.00%"},
           {"/src/x<y>&\"z\",1.c", "0", "0", "0", "0", "0.00%"}},
          {"10 (共2个文件)", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)",
           "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )"}};
}

// On a mismatch the actual bytes are written beside the golden file as
// NAME.actual; TV_UPDATE_GOLDEN=1 rewrites the golden files on purpose.
TEST(TextReportsTest, MatchTheirGoldenFilesByteForByte) {
  constexpr std::string_view kStamp = "2007-05-09 14:03:07";
  const BatchResults sample = SampleResults(), empty{{}, {"a", "b", "c", "d", "e"}};
  const std::pair<std::string, std::string> reports[] = {
      {"report-gbk.htm", HtmlReportText(sample, kStamp, CodePage::Gbk)},
      {"report-utf8.htm", HtmlReportText(sample, kStamp, CodePage::Utf8)},
      {"report-empty-utf8.htm", HtmlReportText(BatchResults{}, kStamp, CodePage::Utf8)},
      {"report-gbk.csv", CsvReportText(sample, CodePage::Gbk)},
      {"report-empty-utf8.csv", CsvReportText(empty, CodePage::Utf8)},
      {"report-gbk.txt", TxtReportText(sample, kStamp, false, CodePage::Gbk)},
      {"report-gbk-short.txt", TxtReportText(sample, kStamp, true, CodePage::Gbk)},
  };
  const char* update = std::getenv("TV_UPDATE_GOLDEN");
  for (const auto& [name, actual] : reports) {
    const std::string path = std::string(TV_TEST_DATA_DIR) + "/reports/" + name;
    if (update != nullptr && std::string(update) == "1") test::WriteFile(path, actual);
    if (test::ReadFile(path) == actual) continue;
    test::WriteFile(path + ".actual", actual);
    ADD_FAILURE() << name << " differs from its golden file; actual bytes in " << path << ".actual";
  }
}

// The read-only target is refused even for root: that write runs on a thread
// that gave up its capabilities.
TEST(ReportFilesTest, AreReplacedWhenCompleteOrAppendedInPlace) {
  test::TempDir dir;
  const std::string path = dir / "r.txt";
  test::WriteFile(path, "old report\r\n");
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  ASSERT_TRUE(WriteTxtReport(path, SampleResults(), TxtMode::Overwrite, CodePage::Utf8).ok);
  const std::string once = test::ReadFile(path);
  EXPECT_EQ(once.find("old report"), std::string::npos);
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
  ASSERT_TRUE(WriteTxtReport(path, SampleResults(), TxtMode::Append, CodePage::Utf8).ok);
  EXPECT_EQ(test::ReadFile(path).substr(0, once.size() + 3), once + "\r\n-")
      << "the old text stays, and the new block starts with an empty line";
  test::WriteFile(dir / "real.csv", "old");
  std::filesystem::create_symlink(dir / "real.csv", dir / "link.csv");
  ASSERT_TRUE(WriteCsvReport(dir / "link.csv", SampleResults(), CodePage::Gbk).ok);
  EXPECT_EQ(test::ReadFile(dir / "real.csv"), CsvReportText(SampleResults(), CodePage::Gbk));
  test::WriteFile(dir / "ro.csv", "keep");
  std::filesystem::permissions(dir / "ro.csv", std::filesystem::perms::owner_read);
  ReportResult result;
  std::thread([&] {
    __user_cap_header_struct self{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    ASSERT_EQ(::syscall(SYS_capset, &self, none), 0);
    result = WriteCsvReport(dir / "ro.csv", SampleResults(), CodePage::Gbk);
  }).join();
  EXPECT_EQ(result.error, dir / "ro.csv: cannot write: Permission denied");
  EXPECT_EQ(test::ReadFile(dir / "ro.csv"), "keep");
  EXPECT_EQ(WriteHtmlReport(dir / "no/r.htm", SampleResults(), CodePage::Gbk).error,
            dir / "no/r.htm: cannot create: No such file or directory");
  const std::vector<std::string> left = {"link.csv", "r.txt", "real.csv", "ro.csv"};
  EXPECT_EQ(test::FolderEntries(dir.Path()), left) << "no temporary file is left";
}

TEST(ResultTextsTest, GiveTheTextsOfTheirTable) {
  for (const test::TableCase& c : test::ReadTableCases("reports/result_texts.tsv")) {
    SCOPED_TRACE(c.line);
    auto n = [&](size_t i) { return std::stoull(c.in.at(i)); };
    std::vector<std::string> got;
    if (c.in[0] == "row") {
      const ResultRow row = MakeResultRow(c.in.at(1), {n(2), n(3), n(4), n(5)}, c.in.at(6) == "1");
      got.assign(row.begin(), row.end());
    } else if (c.in[0] == "summary") {
      const EmptyRatioStyle style =
          c.in.at(7) == "plain" ? EmptyRatioStyle::Plain : EmptyRatioStyle::WithExplanation;
      const SummaryTexts s = MakeSummaryTexts({n(1), n(2), n(3), n(4)}, n(5), n(6) == 1, style);
      got = {s.lines, s.code, s.comment, s.blank, s.ratio};
    } else if (c.in[0] == "leading") {
      got = {std::to_string(LeadingNumber(c.in.at(1)))};
    } else {
      for (const ColumnHeader& h : ParseColumnSpec(c.in[0] == "columns" ? c.in.at(1) : kColumnSpec))
        got.insert(got.end(), {h.text, std::to_string(h.width)});
    }
    EXPECT_EQ(got, c.out);
  }
}

TEST(ReportTimeStampTest, HasTheFixedShape) {
  EXPECT_TRUE(std::regex_match(ReportTimeStamp(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
}

}  // namespace
}  // namespace tv
