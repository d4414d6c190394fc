// Finding a file in the results: the match rule and the position that
// "find" and "find next" share.
#include "reports/find_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

TEST(FindRows, CellMatches) {
  struct Case {
    const char* cell;
    const char* text;
    bool whole_cell;
    bool matches;
  } cases[] = {
      {"main.c", "MAIN", false, true},  // upper-case text, lower-case name
      {"main.c", "MAIN", true, false},  // the whole cell compares exactly
      {"Main.C", "main.c", false, true},
      {"Main.C", "Main.C", true, true},
      {"Main.C", "main.c", true, false},
      {"src/main.c", "main.c", true, false},  // whole cell, not a part
      {"src/main.c", "N.C", false, true},
      {"main.c", "main.cpp", false, false},
      {"ÄBC.c", "äbc", false, false},  // only ASCII letters are lower-cased
      {"ÄBC.c", "Äbc", false, true},
      {"统计.c", "统计", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cell) + " / " + c.text + (c.whole_cell ? " whole" : ""));
    EXPECT_EQ(CellMatches(c.cell, c.text, c.whole_cell), c.matches);
  }
}

TEST(FindRows, TrimSpaces) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");  // only spaces are trimmed
}

class RowFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.c", "b.h", "A.cpp", "c.pas", "a.bas"}) {
      rows_.push_back(ResultRow{name, "1", "1", "0", "0", "0%"});
    }
    for (const ResultRow& row : rows_) pointers_.push_back(&row);
  }
  std::vector<ResultRow> rows_;
  std::vector<const ResultRow*> pointers_;
};

TEST_F(RowFinderTest, FindAndFindNextWalkTheMatchesThenStartOver) {
  // Each step: next or first, and the row found (-1: ran off the end).
  struct Step {
    bool next;
    int row;
  } steps[] = {
      {false, 0}, {true, 2}, {true, 4},  // every "a." in display order
      {true, -1},                        // a match on the last row, then off the end
      {true, 0},                         // after the end, "find next" starts at the top
      {false, 0}, {true, 2}, {false, 0},
  };
  RowFinder finder;
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const RowFinder::Result result = steps[i].next ? finder.FindNext(pointers_, "A.", false)
                                                   : finder.FindFirst(pointers_, "A.", false);
    EXPECT_EQ(result.found, steps[i].row >= 0);
    EXPECT_EQ(result.row, steps[i].row);
  }
}

TEST_F(RowFinderTest, NoMatchRunsOffTheEnd) {
  RowFinder finder;
  EXPECT_FALSE(finder.FindNext(pointers_, "x", false).found);  // a fresh finder: from the top
  EXPECT_EQ(finder.FindNext(pointers_, "A.cpp", true).row, 2);
  EXPECT_EQ(finder.NextRow(), 3);
  EXPECT_FALSE(finder.FindNext(pointers_, "A.cpp", true).found);
  EXPECT_EQ(finder.NextRow(), 0);
}

TEST_F(RowFinderTest, AShorterListAfterAMatchEndsTheSearch) {
  RowFinder finder;
  EXPECT_EQ(finder.FindFirst(pointers_, "bas", false).row, 4);
  pointers_.resize(2);
  EXPECT_FALSE(finder.FindNext(pointers_, "a", false).found);
  EXPECT_EQ(finder.FindNext(pointers_, "a", false).row, 0);
}

}  // namespace
}  // namespace tv
