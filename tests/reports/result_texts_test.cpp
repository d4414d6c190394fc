#include "reports/result_texts.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

TEST(ResultRowTest, PlainCountsAndRatio) {
  ResultRow row = MakeResultRow("a.c", {10, 6, 2, 2}, false);
  EXPECT_EQ(row, (ResultRow{"a.c", "10", "6", "2", "2", "25.00%"}));
}

TEST(ResultRowTest, PerFilePercentagesDivideByCodeCommentAndBlank) {
  ResultRow row = MakeResultRow("a.c", {10, 6, 2, 2}, true);
  EXPECT_EQ(row, (ResultRow{"a.c", "10", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", "25.00%"}));
  // A line counted as code and comment makes the sum exceed the line total;
  // the shares still divide by the sum (here 5), not by the 4 lines.
  row = MakeResultRow("b.c", {4, 3, 1, 1}, true);
  EXPECT_EQ(row[kCode], "3 (60.00%)");
  EXPECT_EQ(row[kComment], "1 (20.00%)");
}

TEST(ResultRowTest, EmptyFileGivesZeroShares) {
  EXPECT_EQ(MakeResultRow("e.c", {}, true),
            (ResultRow{"e.c", "0", "0 (0.00%)", "0 (0.00%)", "0 (0.00%)", "0.00%"}));
  EXPECT_EQ(MakeResultRow("e.c", {}, false)[kRatio], "0.00%");
}

TEST(ResultRowTest, CountsPastThirtyTwoBitsStayPositive) {
  FileTally big{5000000000ull, 4294967296ull, 0, 705032704ull};
  ResultRow row = MakeResultRow("big.c", big, false);
  EXPECT_EQ(row[kLines], "5000000000");
  EXPECT_EQ(row[kCode], "4294967296");
}

TEST(SummaryTextsTest, LinesFieldNamesTheFileCount) {
  RunTotals t;
  t.lines = 60;
  t.code = 15;
  t.comment = 5;
  SummaryTexts s = MakeSummaryTexts(t, 3, false, EmptyRatioStyle::WithExplanation);
  EXPECT_EQ(s.lines, "60 (共3个文件)");
  EXPECT_EQ(s.code, "15 (75.00%)");
  EXPECT_EQ(s.comment, "5 (25.00%)");
  EXPECT_EQ(s.blank, "0 (0.00%)");
  EXPECT_EQ(s.ratio, "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )");
}

TEST(SummaryTextsTest, StoppedRunAndEmptyRatios) {
  RunTotals t;
  SummaryTexts s = MakeSummaryTexts(t, 5, true, EmptyRatioStyle::Plain);
  EXPECT_EQ(s.lines, "用户中断");
  EXPECT_EQ(s.code, "0 (0.00%)");
  EXPECT_EQ(s.ratio, "0.00%");
  s = MakeSummaryTexts(t, 5, false, EmptyRatioStyle::WithExplanation);
  EXPECT_EQ(s.ratio, "0.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )");
}

TEST(SummaryTextsTest, RoundsLikeTheCLibrary) {
  RunTotals t;
  t.code = 2;
  t.comment = 1;
  EXPECT_EQ(MakeSummaryTexts(t, 1, false, EmptyRatioStyle::Plain).ratio.substr(0, 6), "33.33%");
  t.code = 1;
  t.comment = 2;
  EXPECT_EQ(MakeSummaryTexts(t, 1, false, EmptyRatioStyle::Plain).ratio.substr(0, 6), "66.67%");
}

TEST(ColumnSpecTest, ParsesTheResultsColumns) {
  std::vector<ColumnHeader> c = ParseColumnSpec(kColumnSpec);
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].text, "文件名称         ");
  EXPECT_EQ(c[0].width, 200);
  EXPECT_EQ(c[1].text, "文件行数 ");
  EXPECT_EQ(c[5].text, "注释率");
  EXPECT_EQ(c[5].width, 70);
}

TEST(ColumnSpecTest, WidthsReadLikeAtoiAndHeadersWithoutCommaAreDropped) {
  std::vector<ColumnHeader> c = ParseColumnSpec("a,12px;b,x;c");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].width, 12);
  EXPECT_EQ(c[1].text, "b");
  EXPECT_EQ(c[1].width, 0);
  EXPECT_TRUE(ParseColumnSpec("").empty());
}

TEST(LeadingNumberTest, ReadsLeadingDigits) {
  EXPECT_EQ(LeadingNumber("123 (45.67%)"), 123u);
  EXPECT_EQ(LeadingNumber("1234 (共5个文件)"), 1234u);
  EXPECT_EQ(LeadingNumber("  42"), 42u);
  EXPECT_EQ(LeadingNumber("用户中断"), 0u);
  EXPECT_EQ(LeadingNumber(""), 0u);
  EXPECT_EQ(LeadingNumber("99999999999999999999999"), UINT64_MAX);
}

}  // namespace
}  // namespace tv
