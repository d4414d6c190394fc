// The Excel report, its driver and its workbooks: the cases of
// excel_cases.tsv (the report's texts, the driver's connection strings,
// statements and connections, sheet names, and workbooks and reports read
// back by an independent reader), then workbooks too large for the case file.
// How reports are refused is in tests/data/reports/failures.tsv.
#include "reports/excel_report.h"

#include <gmock/gmock.h>

#include <cstdio>

#include "platform/atomic_file.h"
#include "test_util.h"
#include "xls_reader.h"

namespace tv {
namespace {

using test::SheetLine;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;
using namespace std::string_view_literals;

// What the function named by the case's first field gives for the others.
std::vector<std::string> Evaluate(const std::vector<std::string>& in, const std::string& dir) {
  const std::string& kind = in[0];
  if (kind == "leading") return {std::to_string(LeadingNumber(in.at(1)))};
  if (kind == "quote") return {QuoteSqlText(in.at(1))};
  if (kind == "insert") return {ExcelInsertStatement(in[1], in[2], in[3], in[4], in[5], in.at(6))};
  if (kind == "connection-string") return {ExcelConnectionString(in.at(1))};
  if (kind == "driver") return {FindExcelDriver({in.begin() + 1, in.end()})};
  if (kind == "sheet-name") return {SheetNameProblem(in.at(1))};
  std::string error;
  if (kind == "settings") {
    ConnectionSettings s{"old", "old", "old", "old", true, false};
    if (!ParseConnectionString(in.at(1), &s, &error)) return {error};
    return {s.driver, s.dsn, s.create_db, s.dbq,
            std::to_string(s.first_row_has_names) + std::to_string(s.read_only)};
  }
  if (kind == "sql") {
    SqlStatement st;
    return {ParseSqlStatement(in.at(1), &st, &error) ? "parsed" : error};
  }
  if (kind == "utf16") {
    std::string out;
    for (char16_t unit : Utf8ToUtf16(in.at(1))) {
      char hex[8];
      std::snprintf(hex, sizeof hex, out.empty() ? "%04X" : " %04X", unsigned{unit});
      out += hex;
    }
    return {out};
  }
  if (kind == "sheet-names") {
    std::vector<XlsTable> tables;
    for (size_t i = 2; i + 1 < in.size(); i += 2) {
      tables.push_back({in[i], 2, {}, std::vector<XlsCell>(2 * std::stoul(in[i + 1]))});
      if (in[1] == "header") tables.back().header = {0, 0};
    }
    return XlsSheetNames(tables);
  }
  if (kind == "report") {
    BatchResults results{{}, {in.at(2), in.at(3), in.at(4), in.at(5), in.at(6)}};
    for (size_t i = 7; i + 6 <= in.size(); i += 6) {
      results.rows.push_back({in[i], in[i + 1], in[i + 2], in[i + 3], in[i + 4], in[i + 5]});
    }
    const std::filesystem::path path = dir + "/" + in[1];
    std::filesystem::create_directories(path.parent_path());
    ReportResult result = WriteExcelReport(path, results);
    EXPECT_EQ(test::FolderEntries(path.parent_path()), std::vector{path.filename().string()});
    return result.ok ? test::ReadXls(dir + "/" + in[1]) : std::vector{result.error};
  }
  EXPECT_EQ(kind, "execute");
  ExcelConnection connection(in.at(1) == "*" ? InstalledDrivers()
                             : in[1].empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{in[1]});
  std::vector<std::string> out{connection.Open(in.at(2)) ? "open" : connection.error()};
  for (size_t i = 3; i < in.size(); ++i) {
    const bool ok = in[i] == "commit"  ? connection.Commit()
                    : in[i] == "close" ? (connection.Close(), true)
                                       : connection.Execute(in[i]);
    out.push_back(ok ? "ok" : connection.error());
  }
  const auto& tables = connection.tables();
  out.push_back(tables.empty() ? "no table"
                               : "rows " + std::to_string(tables[0].RowCount()) + ", texts " +
                                     std::to_string(connection.strings().size()));
  for (const std::string& name : test::FolderEntries(dir)) {
    if (name.starts_with(".")) {
      out.push_back("temporary file");
      continue;
    }
    out.insert(out.end(), {name, test::FileLayout(test::ReadFile(dir + "/" + name))});
    for (std::string& line : test::ReadXls(dir + "/" + name)) out.push_back(std::move(line));
  }
  return out;
}

TEST(ExcelCasesTest, EachFunctionGivesItsExpectedTexts) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("../excel/excel_cases.tsv")) {
    SCOPED_TRACE(c.line);
    test::TempDir dir;
    // $DIR is the case's folder, $LONG a text one character longer than a cell holds.
    auto here = [&](std::vector<std::string> fields) {
      for (std::string& f : fields) {
        for (size_t at; (at = f.find("$DIR")) != std::string::npos;) f.replace(at, 4, dir.Path());
        for (size_t at; (at = f.find("$LONG")) != std::string::npos;)
          f.replace(at, 5, std::string(kXlsMaxTextUnits + 1, 'y'));
      }
      return fields;
    };
    EXPECT_EQ(Evaluate(here(c.in), dir.Path()), here(c.out));
  }
  EXPECT_EQ(FindExcelDriver(InstalledDrivers()), "Microsoft Excel Driver (*.xls)");
}

// Texts long enough to spread the shared strings over many continuation
// records, in both one-byte and two-byte form, with surrogate pairs and
// string headers falling at every position near a record's end.
TEST(XlsWorkbookTest, LongAndVariedTextsSurviveContinuation) {
  Lines texts = {"", std::string(32767, 'x'), "é", ""};
  for (int i = 0; i < 9000; ++i) texts.back() += "中";
  for (int shift = 0; shift < 4; ++shift) {
    texts.push_back(std::string(shift, 'a'));
    for (int i = 0; i < 4200; ++i) texts.back() += "\U0001F600";
  }
  for (int len = 1; len < 400; ++len) {
    const char* tails[] = {"文", "\xC3\xBF", ""};
    texts.push_back(std::string(len, static_cast<char>('a' + len % 26)) + tails[len % 3]);
  }
  XlsStringTable strings;
  XlsTable t{"Long", 1, {}, {}};
  Lines lines{SheetLine("Long", texts.size(), 1)};
  for (const std::string& s : texts) {
    t.cells.push_back({XlsCellKind::Text, 0, 0});
    ASSERT_TRUE(strings.Add(s, &t.cells.back().text));
    lines.push_back("T:" + s);  // an empty text cell reads back as an empty text
  }
  uint32_t ignored;
  EXPECT_FALSE(strings.Add(std::string(32768, 'x'), &ignored));
  test::TempDir dir;
  ASSERT_TRUE(WriteFileAtomically(dir / "w.xls", BuildXlsWorkbook({t}, strings), nullptr));
  EXPECT_THAT(test::ReadXls(dir / "w.xls"), ElementsAreArray(lines));
  // A text of one-byte characters up to U+00FF takes a byte a character; the
  // string table's head counts 407 text cells and 407 texts; the cells' format
  // (the one XF of type 1) is a cell format, child of the Normal style.
  const std::string bytes = test::ReadFile(dir / "w.xls");
  EXPECT_NE(bytes.find(std::string(100, 'h') + "\xFF"), std::string::npos);
  EXPECT_NE(bytes.find("\x97\x01\0\0\x97\x01\0\0"sv), std::string::npos);
  EXPECT_NE(bytes.find("\xE0\0\x14\0\0\0\0\0\x01\0"sv), std::string::npos);
}

const std::string kHeader =
    "T:文件名称\tT:总行数\tT:代码行数\tT:注释行数\tT:空白行数\tT:代码注释率";
const std::string kRatio = "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )";

// The reader's lines of a sheet of a report made by test::ReportOf(), the summary last when `last`.
Lines SheetLines(std::string_view sheet, const Lines& names, bool first, bool last) {
  Lines lines{SheetLine(sheet, names.size() + (last ? 2 : 1), 6, first), kHeader};
  for (const std::string& n : names) {
    lines.push_back("T: " + n + " \tN:10.0\tN:6.0\tN:2.0\tN:2.0\tT:25.00%");
  }
  if (last) lines.push_back("T: 统计汇总 \tN:1234.0\tN:6.0\tN:2.0\tN:2.0\tT:" + kRatio);
  return lines;
}

// 65,535 records fill the first sheet under its header; the rest and the
// summary follow the second sheet's header. Names this long make a file that
// needs allocation-table extension sectors (more than 109 table sectors).
TEST(ExcelReportTest, RowsBeyondOneSheetGoOnInTheNext) {
  Lines names;
  for (int i = 0; i < 70000; ++i) {
    names.push_back(
        "/src/模块" + std::to_string(i) +
        "/长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长/it's.c");
  }
  Lines want = SheetLines("Exceldemo", {names.begin(), names.begin() + 65535}, true, false);
  Lines second = SheetLines("Exceldemo2", {names.begin() + 65535, names.end()}, false, true);
  want.insert(want.end(), second.begin(), second.end());
  test::TempDir dir;
  ASSERT_TRUE(WriteExcelReport(dir / "r.xls", test::ReportOf(names)).ok);
  const std::string bytes = test::ReadFile(dir / "r.xls");
  EXPECT_GT(test::U32At(bytes, 44), 109u);
  EXPECT_GE(test::U32At(bytes, 72), 1u);
  EXPECT_THAT(test::ReadXls(dir / "r.xls"), ElementsAreArray(want));
}

}  // namespace
}  // namespace tv
