// The .xls writer: text conversion, sheet naming, and workbooks read back by
// an independent reader.
#include "reports/xls_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/atomic_file.h"
#include "test_util.h"
#include "xls_reader.h"

namespace tv {
namespace {

TEST(Utf8ToUtf16Test, ConvertsTextAndReplacesEveryInvalidByte) {
  EXPECT_EQ(Utf8ToUtf16("a.c é 中文"), u"a.c é 中文");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  // GBK bytes of "中文" are not UTF-8: four replacement characters.
  EXPECT_EQ(Utf8ToUtf16("\xd6\xd0\xce\xc4.c"), u"\uFFFD\uFFFD\uFFFD\uFFFD.c");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");                      // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");            // a surrogate
  EXPECT_EQ(Utf8ToUtf16("x\xE4\xB8"), u"x\uFFFD\uFFFD");                    // cut short
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
}

XlsTable MakeTable(std::string name, size_t rows, XlsStringTable& strings, bool header = true) {
  XlsTable t;
  t.name = std::move(name);
  t.columns = 2;
  if (header) {
    uint32_t a, b;
    strings.Add("名称", &a);
    strings.Add("n", &b);
    t.header = {a, b};
  }
  for (size_t r = 0; r < rows; ++r) {
    XlsCell text{XlsCellKind::Text, 0, 0};
    std::string label = "r";
    label += std::to_string(r);
    strings.Add(label, &text.text);
    t.cells.push_back(text);
    t.cells.push_back({XlsCellKind::Number, 0, static_cast<double>(r)});
  }
  return t;
}

TEST(XlsSheetNamesTest, OverflowSheetsAreNumberedAndUnique) {
  XlsStringTable strings;
  std::vector<XlsTable> tables;
  tables.push_back(MakeTable("Exceldemo", 65535 * 2 + 1, strings));
  EXPECT_EQ(XlsSheetNames(tables),
            (std::vector<std::string>{"Exceldemo", "Exceldemo2", "Exceldemo3"}));
  // Without a header row a sheet takes one row more.
  tables[0].header.clear();
  EXPECT_EQ(XlsSheetNames(tables), (std::vector<std::string>{"Exceldemo", "Exceldemo2"}));

  // A name that another table already has is skipped; long names are cut.
  std::vector<XlsTable> two;
  two.push_back(MakeTable("A", 65536, strings));
  two.push_back(MakeTable("a2", 0, strings));
  two.push_back(
      MakeTable("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一", 65536, strings));
  EXPECT_EQ(XlsSheetNames(two),
            (std::vector<std::string>{
                "A", "A3", "a2", "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一",
                "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十2"}));
}

TEST(XlsSheetNamesTest, ProblemsOfNames) {
  EXPECT_EQ(SheetNameProblem("Exceldemo"), "");
  EXPECT_EQ(SheetNameProblem("统计 结果"), "");
  EXPECT_NE(SheetNameProblem(""), "");
  EXPECT_NE(SheetNameProblem(std::string(32, 'x')), "");
  EXPECT_EQ(SheetNameProblem(std::string(31, 'x')), "");
  EXPECT_NE(SheetNameProblem("a/b"), "");
  EXPECT_NE(SheetNameProblem("a*"), "");
  EXPECT_NE(SheetNameProblem("'a"), "");
  EXPECT_NE(SheetNameProblem("a\tb"), "");
  EXPECT_NE(SheetNameProblem("\xff"), "");
}

std::string WriteWorkbook(const test::TempDir& dir, const std::vector<XlsTable>& tables,
                          const XlsStringTable& strings, const char* name = "w.xls") {
  std::string path = dir / name;
  std::string bytes = BuildXlsWorkbook(tables, strings);
  std::string error;
  EXPECT_TRUE(WriteFileAtomically(path, bytes, &error)) << error;
  return path;
}

uint32_t U32At(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

TEST(XlsWorkbookTest, SmallWorkbookIsPaddedAndReadable) {
  test::TempDir dir;
  XlsStringTable strings;
  std::vector<XlsTable> tables{MakeTable("Exceldemo", 1, strings)};
  std::string path = WriteWorkbook(dir, tables, strings);
  std::string bytes = test::ReadFile(path);
  ASSERT_EQ(bytes.size() % 512, 0u);
  EXPECT_EQ(bytes.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  // Header, eight stream sectors (4096 bytes), directory, one FAT sector.
  EXPECT_EQ(bytes.size(), 512u * 11);
  EXPECT_EQ(U32At(bytes, 44), 1u);  // FAT sectors
  EXPECT_EQ(U32At(bytes, 48), 8u);  // directory sector
  EXPECT_EQ(U32At(bytes, 72), 0u);  // no DIFAT

  test::ReadWorkbook book = test::ReadXls(path);
  EXPECT_EQ(book.exit_status, 0);
  EXPECT_TRUE(book.complaints.empty()) << book.complaints[0];
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].name, "Exceldemo");
  EXPECT_EQ(book.sheets[0].cells,
            (std::vector<std::vector<std::string>>{{"T:名称", "T:n"}, {"T:r0", "N:0.0"}}));
}

TEST(XlsWorkbookTest, WorkbookWithoutTablesHasOneEmptySheet) {
  test::TempDir dir;
  XlsStringTable strings;
  test::ReadWorkbook book = test::ReadXls(WriteWorkbook(dir, {}, strings));
  EXPECT_TRUE(book.complaints.empty());
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].name, "Sheet1");
  EXPECT_EQ(book.sheets[0].rows, 0);
}

TEST(XlsWorkbookTest, SeveralTablesOnlyFirstSheetSelected) {
  test::TempDir dir;
  XlsStringTable strings;
  std::vector<XlsTable> tables{MakeTable("First", 2, strings),
                               MakeTable("第二", 1, strings, false)};
  tables[1].cells[0].kind = XlsCellKind::Empty;
  test::ReadWorkbook book = test::ReadXls(WriteWorkbook(dir, tables, strings));
  EXPECT_TRUE(book.complaints.empty());
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_TRUE(book.sheets[0].selected);
  EXPECT_TRUE(book.sheets[0].active);
  EXPECT_FALSE(book.sheets[1].selected);
  EXPECT_FALSE(book.sheets[1].active);
  EXPECT_EQ(book.sheets[1].name, "第二");
  EXPECT_EQ(book.sheets[1].cells, (std::vector<std::vector<std::string>>{{"E:", "N:0.0"}}));
}

// Texts long enough to spread the shared strings over many continuation
// records, in both one-byte and two-byte form, with surrogate pairs and
// string headers falling at every position near a record's end.
TEST(XlsWorkbookTest, LongAndVariedTextsSurviveContinuation) {
  std::vector<std::string> texts = {"", std::string(32767, 'x'), "é"};
  std::string chinese;
  for (int i = 0; i < 9000; ++i) chinese += "中";
  texts.push_back(chinese);
  for (int shift = 0; shift < 4; ++shift) {
    std::string emoji(shift, 'a');
    for (int i = 0; i < 4200; ++i) emoji += "\U0001F600";
    texts.push_back(emoji);
  }
  for (int len = 1; len < 400; ++len) {
    texts.push_back(std::string(len, static_cast<char>('a' + len % 26)) + (len % 3 == 0 ? "文"
                                                                           : len % 3 == 1
                                                                               ? "\xC3\xBF"
                                                                               : ""));
  }
  XlsStringTable strings;
  XlsTable t;
  t.name = "Long";
  t.columns = 1;
  for (const std::string& s : texts) {
    XlsCell cell{XlsCellKind::Text, 0, 0};
    ASSERT_TRUE(strings.Add(s, &cell.text));
    t.cells.push_back(cell);
  }
  uint32_t ignored;
  EXPECT_FALSE(strings.Add(std::string(32768, 'x'), &ignored));

  test::TempDir dir;
  test::ReadWorkbook book = test::ReadXls(WriteWorkbook(dir, {t}, strings));
  EXPECT_TRUE(book.complaints.empty()) << book.complaints[0];
  ASSERT_EQ(book.sheets.size(), 1u);
  ASSERT_EQ(book.sheets[0].cells.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    // An empty text cell reads back as an empty text.
    EXPECT_EQ(book.sheets[0].cells[i][0], "T:" + texts[i]) << "text " << i;
  }
}

// More than 109 allocation-table sectors need the table's extension sectors.
TEST(XlsWorkbookTest, LargeFileUsesAllocationTableExtension) {
  XlsStringTable strings;
  XlsTable t;
  t.name = "Big";
  t.columns = 1;
  std::string base;
  for (int i = 0; i < 2000; ++i) base += "长";
  for (int r = 0; r < 2100; ++r) {
    XlsCell cell{XlsCellKind::Text, 0, 0};
    strings.Add(base + std::to_string(r), &cell.text);
    t.cells.push_back(cell);
  }
  test::TempDir dir;
  std::string path = WriteWorkbook(dir, {t}, strings);
  std::string bytes = test::ReadFile(path);
  EXPECT_GT(U32At(bytes, 44), 109u);
  EXPECT_GE(U32At(bytes, 72), 1u);
  test::ReadWorkbook book = test::ReadXls(path);
  EXPECT_TRUE(book.complaints.empty()) << book.complaints[0];
  ASSERT_EQ(book.sheets.size(), 1u);
  ASSERT_EQ(book.sheets[0].rows, 2100);
  EXPECT_EQ(book.sheets[0].cells[2099][0], "T:" + base + "2099");
}

}  // namespace
}  // namespace tv
