#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <csignal>
#include <functional>
#include <regex>
#include <thread>

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

ReportResult WriteBy(const std::string& writer, const std::string& path) {
  BatchResults results = SampleResults();
  if (writer == "html") return WriteHtmlReport(path, results, CodePage::Gbk);
  if (writer == "csv") return WriteCsvReport(path, results, CodePage::Gbk);
  if (writer == "txt-new") return WriteTxtReport(path, results, TxtMode::New, CodePage::Gbk);
  if (writer == "txt-overwrite") {
    return WriteTxtReport(path, results, TxtMode::Overwrite, CodePage::Gbk);
  }
  if (writer == "txt-append") return WriteTxtReport(path, results, TxtMode::Append, CodePage::Gbk);
  if (writer == "xls-bare") return WriteExcelReport(path, results, {});
  if (writer == "xls-long") results.rows[1][kName] = std::string(40000, 'n');
  return WriteExcelReport(path, results);
}

// Runs `write` in a child process whose files may not grow past `limit`
// bytes; the child hands back the failure's kind and reason.
ReportResult WithFileSizeLimit(rlim_t limit, const std::function<ReportResult()>& write) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);  // a refused write fails with EFBIG instead
    const rlimit cap{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &cap);
    const ReportResult r = write();
    const std::string out = std::to_string(static_cast<int>(r.failure)) + "\n" + r.reason;
    ssize_t sent = ::write(fds[1], out.data(), out.size());
    ::_exit(sent == static_cast<ssize_t>(out.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string got;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  const size_t nl = got.find('\n');
  if (nl == std::string::npos) return {};
  return {false, "", static_cast<ReportFailure>(std::stoi(got.substr(0, nl))), got.substr(nl + 1)};
}

std::string Holds(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "nothing";
  if (S_ISLNK(st.st_mode)) return "link";
  if (S_ISDIR(st.st_mode)) return "folder";
  if (S_ISFIFO(st.st_mode)) return "fifo";
  return test::ReadFile(path) == "old" ? "old" : "changed";
}

// A failed write names its kind and reason, leaves the path as it was and no
// temporary file; a FIFO is refused without waiting for a reader.
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
    if (before == "fifo") ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    if (before == "device") std::filesystem::create_symlink("/dev/null", path);
    ReportResult r;
    if (before == "read-only") {
      test::WithoutCapabilities([&] { r = WriteBy(c.in[0], path); });
    } else if (before == "full") {
      r = WithFileSizeLimit(64, [&] { return WriteBy(c.in[0], path); });
    } else {
      r = WriteBy(c.in[0], path);
    }
    EXPECT_FALSE(r.ok && before != "full");
    EXPECT_EQ(
        (std::vector<std::string>{kKinds[static_cast<int>(r.failure)], r.reason, Holds(path)}),
        c.out);
    for (const std::string& name : test::FolderEntries(dir.Path())) {
      EXPECT_NE(name[0], '.') << "a temporary file is left";
    }
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

TEST(ReportTimeStampTest, HasTheFixedShape) {
  EXPECT_TRUE(std::regex_match(ReportTimeStamp(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
}

}  // namespace
}  // namespace tv
