// The Excel report: its statements, its numbers, and whole workbooks read
// back by independent readers.
#include "reports/excel_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "test_util.h"
#include "xls_reader.h"

namespace tv {
namespace {

using Rows = std::vector<std::vector<std::string>>;

const std::vector<std::string> kHeader = {"T:文件名称", "T:总行数",   "T:代码行数",
                                          "T:注释行数", "T:空白行数", "T:代码注释率"};
constexpr const char* kFullRatio = "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )";

TEST(LeadingNumberTest, ReadsLeadingDigitsLikeAtoiButUnsigned) {
  EXPECT_EQ(LeadingNumber("6 (60.00%)"), 6u);
  EXPECT_EQ(LeadingNumber("1234 (共5个文件)"), 1234u);
  EXPECT_EQ(LeadingNumber("  \t\n42x"), 42u);
  EXPECT_EQ(LeadingNumber("+7"), 7u);
  EXPECT_EQ(LeadingNumber("用户中断"), 0u);
  EXPECT_EQ(LeadingNumber(""), 0u);
  EXPECT_EQ(LeadingNumber("-5"), 0u);
  EXPECT_EQ(LeadingNumber("x12"), 0u);
  EXPECT_EQ(LeadingNumber("18446744073709551615"), 18446744073709551615u);
  EXPECT_EQ(LeadingNumber("18446744073709551616"), 18446744073709551615u);
  EXPECT_EQ(LeadingNumber("99999999999999999999999 (1%)"), 18446744073709551615u);
}

TEST(ExcelStatementTest, StatementsAreBuiltAsTheDriverReadsThem) {
  EXPECT_EQ(QuoteSqlText("it's 'x'"), "it''s ''x''");
  EXPECT_EQ(ExcelInsertStatement("a.c", "10", "6", "2", "2", "25.00%"),
            "INSERT INTO Exceldemo (文件名称,总行数,代码行数,注释行数,空白行数,代码注释率) "
            "VALUES (' a.c ',10,6,2,2,'25.00%')");
  EXPECT_EQ(ExcelInsertStatement("v1's/don't.c", "用户中断", "6 (60.00%)", "0", "x", "0.00%"),
            "INSERT INTO Exceldemo (文件名称,总行数,代码行数,注释行数,空白行数,代码注释率) "
            "VALUES (' v1''s/don''t.c ',0,6,0,0,'0.00%')");
  EXPECT_EQ(ExcelConnectionString("/a b/r.xls"),
            "DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
            "CREATE_DB=\"/a b/r.xls\";DBQ=/a b/r.xls");

  // Every statement the report builds is one the driver takes.
  SqlStatement st;
  std::string error;
  EXPECT_TRUE(ParseSqlStatement(kExcelCreateTableStatement, &st, &error)) << error;
  ASSERT_TRUE(ParseSqlStatement(ExcelInsertStatement("''x'", "1", "2", "3", "4", "'"), &st, &error))
      << error;
  const auto& insert = std::get<InsertStatement>(st);
  EXPECT_EQ(insert.values[0].text, " ''x' ");
  EXPECT_EQ(insert.values[5].text, "'");
}

ResultRow Row(std::string name, std::string ratio = "25.00%") {
  return {std::move(name), "10", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", std::move(ratio)};
}

BatchResults Results(std::vector<ResultRow> rows) {
  BatchResults r;
  r.rows = std::move(rows);
  r.summary = {"1234 (共5个文件)", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", kFullRatio};
  return r;
}

std::vector<std::string> Cells(const std::string& name, const std::string& ratio = "25.00%") {
  return {"T:" + name, "N:10.0", "N:6.0", "N:2.0", "N:2.0", "T:" + ratio};
}

const std::vector<std::string> kSummary = {
    "T: 统计汇总 ", "N:1234.0", "N:6.0", "N:2.0", "N:2.0", std::string("T:") + kFullRatio};

// Writes the report and reads it back; the reader must not complain.
test::ReadWorkbook WriteAndRead(const std::string& path, const BatchResults& results) {
  ReportResult result = WriteExcelReport(path, results);
  EXPECT_TRUE(result.ok) << result.error;
  test::ReadWorkbook book = test::ReadXls(path);
  EXPECT_EQ(book.exit_status, 0);
  EXPECT_TRUE(book.complaints.empty()) << book.complaints[0];
  return book;
}

TEST(ExcelReportTest, NoRowsGiveHeaderAndSummary) {
  test::TempDir dir;
  test::ReadWorkbook book = WriteAndRead(dir / "r.xls", Results({}));
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].name, "Exceldemo");
  EXPECT_EQ(book.sheets[0].columns, 6);
  EXPECT_EQ(book.sheets[0].cells, (Rows{kHeader, kSummary}));
}

TEST(ExcelReportTest, OneRowAndAStoppedRun) {
  test::TempDir dir;
  BatchResults results = Results({Row("/src/a.c")});
  results.summary = {"用户中断", "0 (0.00%)", "0 (0.00%)", "0 (0.00%)", "0.00%"};
  test::ReadWorkbook book = WriteAndRead(dir / "r.xls", results);
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_TRUE(book.sheets[0].selected);
  EXPECT_TRUE(book.sheets[0].active);
  EXPECT_EQ(book.sheets[0].cells,
            (Rows{kHeader,
                  Cells(" /src/a.c "),
                  {"T: 统计汇总 ", "N:0.0", "N:0.0", "N:0.0", "N:0.0", "T:0.00%"}}));
}

TEST(ExcelReportTest, QuotesChineseAndOddTextsAreKeptExactly) {
  test::TempDir dir;
  std::string gbk_name = "/src/\xd6\xd0\xce\xc4.c";  // a name that is not UTF-8
  BatchResults results =
      Results({Row("/home/王/v1's/don't_use.c"), Row("''"), Row("tab\there\nnewline\\ %s é 😀"),
               Row(gbk_name, "0.00%"), Row("\"quoted\" <b>&amp;</b>", "100.00%")});
  results.rows[1][kLines] = "18446744073709551616";
  test::ReadWorkbook book = WriteAndRead(dir / "r.xls", results);
  ASSERT_EQ(book.sheets.size(), 1u);
  std::vector<std::string> big = Cells(" '' ");
  big[1] = "N:1.8446744073709552e+19";
  EXPECT_EQ(book.sheets[0].cells, (Rows{kHeader, Cells(" /home/王/v1's/don't_use.c "), big,
                                        Cells(" tab\there\nnewline\\ %s é 😀 "),
                                        Cells(" /src/\uFFFD\uFFFD\uFFFD\uFFFD.c ", "0.00%"),
                                        Cells(" \"quoted\" <b>&amp;</b> ", "100.00%"), kSummary}));
}

TEST(ExcelReportTest, LongPathsAreWrittenAndStoredWhole) {
  test::TempDir dir;
  // An output path of more than 300 characters, with Chinese folder names.
  std::string folder = dir.Path();
  while (folder.size() < 300) folder += "/目录" + std::string(40, 'd');
  std::filesystem::create_directories(folder);
  std::string path = folder + "/报告.xls";
  ASSERT_GT(path.size(), 300u);
  // A name cell of 300 characters is longer than a cell stored in its row holds.
  std::string name = "/";
  while (name.size() < 300) name += "长路径/";
  test::ReadWorkbook book = WriteAndRead(path, Results({Row(name)}));
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].cells, (Rows{kHeader, Cells(" " + name + " "), kSummary}));
}

TEST(ExcelReportTest, PathWithSemicolonIsCreatedWhole) {
  test::TempDir dir;
  std::string path = dir / "a;b=c.xls";
  EXPECT_EQ(WriteAndRead(path, Results({Row("x")})).sheets.size(), 1u);
  EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 1u);
}

TEST(ExcelReportTest, TwentyThousandRows) {
  test::TempDir dir;
  std::vector<ResultRow> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back(Row("/src/模块" + std::to_string(i) + "/it's.c"));
  test::ReadWorkbook book = WriteAndRead(dir / "r.xls", Results(rows));
  ASSERT_EQ(book.sheets.size(), 1u);
  const test::ReadSheet& s = book.sheets[0];
  ASSERT_EQ(s.rows, 20002);
  EXPECT_EQ(s.cells[0], kHeader);
  for (int i = 0; i < 20000; ++i) {
    ASSERT_EQ(s.cells[i + 1], Cells(" /src/模块" + std::to_string(i) + "/it's.c ")) << i;
  }
  EXPECT_EQ(s.cells[20001], kSummary);
}

TEST(ExcelReportTest, RowsBeyondOneSheetGoOnInTheNext) {
  test::TempDir dir;
  std::vector<ResultRow> rows;
  for (int i = 0; i < 70000; ++i) rows.push_back(Row(std::to_string(i)));
  test::ReadWorkbook book = WriteAndRead(dir / "r.xls", Results(rows));
  ASSERT_EQ(book.sheets.size(), 2u);
  const test::ReadSheet& first = book.sheets[0];
  const test::ReadSheet& second = book.sheets[1];
  EXPECT_EQ(first.name, "Exceldemo");
  EXPECT_EQ(second.name, "Exceldemo2");
  EXPECT_TRUE(first.selected && first.active);
  EXPECT_FALSE(second.selected || second.active);
  // 65,535 records fill the first sheet under its header; the rest and the
  // summary follow the second sheet's header.
  ASSERT_EQ(first.rows, 65536);
  ASSERT_EQ(second.rows, 1 + (70000 - 65535) + 1);
  EXPECT_EQ(first.cells[0], kHeader);
  EXPECT_EQ(second.cells[0], kHeader);
  for (int i = 0; i < 70000; ++i) {
    const std::vector<std::string>& got =
        i < 65535 ? first.cells[i + 1] : second.cells[i - 65535 + 1];
    ASSERT_EQ(got[0], "T: " + std::to_string(i) + " ") << i;
  }
  EXPECT_EQ(first.cells[65535], Cells(" 65534 "));
  EXPECT_EQ(second.cells.back(), kSummary);
}

TEST(ExcelReportTest, NoDriverWritesNothing) {
  test::TempDir dir;
  ReportResult result = WriteExcelReport(dir / "r.xls", Results({Row("a")}), {"SQL Server"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "没有安装Excel驱动！");
  EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 0u);
}

TEST(ExcelReportTest, FailedStatementLeavesTheOldFileAndNoTemporary) {
  test::TempDir dir;
  std::string path = dir / "r.xls";
  test::WriteFile(path, "old content");
  ::chmod(path.c_str(), 0640);
  // A name longer than any cell holds makes its insert fail.
  BatchResults results = Results({Row("a"), Row(std::string(40000, 'n')), Row("c")});
  ReportResult result = WriteExcelReport(path, results);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error,
            path + ": row 2: column \"文件名称\": a text holds at most 32767 characters");
  EXPECT_EQ(test::ReadFile(path), "old content");
  EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 1u);

  // A successful report replaces the file and keeps its permission bits.
  ASSERT_TRUE(WriteExcelReport(path, Results({Row("a")})).ok);
  EXPECT_EQ(test::ReadFile(path).substr(0, 4), "\xD0\xCF\x11\xE0");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 1u);
}

TEST(ExcelReportTest, UnnameablePathsAreConnectionErrors) {
  test::TempDir dir;
  std::string quoted = dir / "a\"b.xls";
  ReportResult result = WriteExcelReport(quoted, Results({Row("a")}));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error,
            quoted + ": connection string: unexpected text after the value of \"CREATE_DB\"");

  result = WriteExcelReport(dir / "missing/r.xls", Results({Row("a")}));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, dir / "missing/r.xls: cannot create: No such file or directory");
  EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 0u);
}

TEST(ExcelReportTest, ReadOnlyTargetIsRefused) {
  if (test::RunningAsRoot()) GTEST_SKIP() << "root may write any file";
  test::TempDir dir;
  std::string path = dir / "r.xls";
  test::WriteFile(path, "old");
  ::chmod(path.c_str(), 0444);
  EXPECT_FALSE(WriteExcelReport(path, Results({Row("a")})).ok);
  EXPECT_EQ(test::ReadFile(path), "old");
}

std::string FindOffice() {
  for (const char* candidate : {"/usr/bin/soffice", "/usr/bin/libreoffice"}) {
    if (::access(candidate, X_OK) == 0) return candidate;
  }
  return "";
}

TEST(ExcelReportTest, OfficeSuiteOpensTheWorkbook) {
  std::string office = FindOffice();
  if (office.empty()) GTEST_SKIP() << "no LibreOffice installed";
  test::TempDir dir;
  std::string path = dir / "r.xls";
  ASSERT_TRUE(WriteExcelReport(path, Results({Row("/src/中文/it's.c")})).ok);
  std::string command = test::ShellQuote(office) + " -env:UserInstallation=file://" + dir.Path() +
                        "/profile --headless --convert-to " +
                        test::ShellQuote("csv:Text - txt - csv (StarCalc):44,34,76") +
                        " --outdir " + test::ShellQuote(dir / "out") + " " +
                        test::ShellQuote(path) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(test::ReadFile(dir / "out/r.csv"),
            "文件名称,总行数,代码行数,注释行数,空白行数,代码注释率\n"
            " /src/中文/it's.c ,10,6,2,2,25.00%\n"
            " 统计汇总 ,1234,6,2,2,25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )\n");
}

TEST(ExcelReportTest, GnumericOpensEveryOverflowSheet) {
  if (::access("/usr/bin/ssconvert", X_OK) != 0) GTEST_SKIP() << "no ssconvert installed";
  test::TempDir dir;
  std::string path = dir / "r.xls";
  std::vector<ResultRow> rows(65536, Row("a"));
  rows.back() = Row("last");
  ASSERT_TRUE(WriteExcelReport(path, Results(rows)).ok);
  std::string command = "/usr/bin/ssconvert -S " + test::ShellQuote(path) + " " +
                        test::ShellQuote(dir / "sheet-%n.csv") + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(test::ReadFile(dir / "sheet-1.csv"),
            "文件名称,总行数,代码行数,注释行数,空白行数,代码注释率\n"
            "\" last \",10,6,2,2,25.00%\n"
            "\" 统计汇总 \",1234,6,2,2,\"25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )\"\n");
}

}  // namespace
}  // namespace tv
