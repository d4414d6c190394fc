// Workbooks too large for the case file, read back by an independent reader.
// How reports are refused is in tests/data/reports/failures.tsv.
#include "reports/excel_report.h"

#include <gmock/gmock.h>

#include "platform/atomic_file.h"
#include "test_util.h"
#include "xls_reader.h"

namespace tv {
namespace {

using test::SheetLine;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;
using namespace std::string_view_literals;

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
