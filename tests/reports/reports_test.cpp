#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <regex>

#include "reports/excel_report.h"
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

// The writer named in the failure table; "full" runs it with files capped at
// 64 bytes (SIGXFSZ ignored, so the write fails with EFBIG).
ReportResult WriteBy(const std::string& writer, const std::string& path, bool full) {
  BatchResults results = SampleResults();
  if (writer == "xls-long") results.rows[1][kName] = std::string(40000, 'n');
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const rlimit cap{full ? 64 : old.rlim_cur, old.rlim_max};
  ::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &cap);
  const CodePage cp = CodePage::Gbk;
  const ReportResult r =
      writer == "html"            ? WriteHtmlReport(path, results, cp)
      : writer == "csv"           ? WriteCsvReport(path, results, cp)
      : writer == "txt-new"       ? WriteTxtReport(path, results, TxtMode::New, cp)
      : writer == "txt-overwrite" ? WriteTxtReport(path, results, TxtMode::Overwrite, cp)
      : writer == "txt-append"    ? WriteTxtReport(path, results, TxtMode::Append, cp)
      : writer == "xls-bare"      ? WriteExcelReport(path, results, {})
                                  : WriteExcelReport(path, results);
  ::setrlimit(RLIMIT_FSIZE, &old);
  return r;
}

// A failed write names its kind and reason (its error names the path too),
// and leaves the path as it was (an append is cut back); a FIFO never
// blocks. No write leaves a temporary file.
TEST(ReportFilesTest, NameTheirKindOfFailure) {
  constexpr const char* kKinds[] = {"none", "create", "open", "write", "driver", "statement"};
  for (const test::TableCase& c : test::ReadTableCases("reports/failures.tsv")) {
    SCOPED_TRACE(c.line);
    test::TempDir dir;
    const std::string& before = c.in.at(1);
    const std::string path = before == "no-folder" ? dir / "no/r" : dir / "r";
    if (before == "old" || before == "read-only" || before == "full") test::WriteFile(path, "old");
    if (before == "read-only") ::chmod(path.c_str(), 0444);
    if (before == "folder") std::filesystem::create_directory(path);
    if (before == "fifo") ::mkfifo(path.c_str(), 0644);
    if (before == "device") std::filesystem::create_symlink("/dev/null", path);
    ReportResult r;
    test::WithoutCapabilities([&] { r = WriteBy(c.in[0], path, before == "full"); });
    std::filesystem::file_status st = std::filesystem::symlink_status(path);
    const std::string holds = std::filesystem::is_symlink(st)     ? "link"
                              : std::filesystem::is_directory(st) ? "folder"
                              : std::filesystem::is_fifo(st)      ? "fifo"
                              : !std::filesystem::exists(st)      ? "nothing"
                              : test::ReadFile(path) == "old"     ? "old"
                                                                  : "changed";
    EXPECT_EQ((std::vector<std::string>{kKinds[static_cast<int>(r.failure)], r.reason, holds}),
              c.out);
    EXPECT_EQ(r.error,
              r.ok || r.failure == ReportFailure::NoDriver ? r.reason : path + ": " + r.reason);
    EXPECT_EQ(test::FolderEntries(dir.Path()).size(), holds == "nothing" ? 0u : 1u);
  }
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

}  // namespace
}  // namespace tv
