// Finding a file in the results: the match rule, the trimming of the search
// text and the position that "find" and "find next" share. The cases are in
// tests/data/reports/find_rows.tsv.
#include "reports/find_rows.h"

#include <memory>

#include "platform/text.h"
#include "test_util.h"

namespace tv {
namespace {

TEST(FindRows, FollowsItsTableFile) {
  std::vector<ResultRow> rows;
  std::vector<const ResultRow*> shown;
  auto finder = std::make_unique<RowFinder>();
  for (const test::TableCase& c : test::ReadEscapedTableCases("reports/find_rows.tsv")) {
    SCOPED_TRACE(c.line);
    const std::string& op = c.in.at(0);
    std::vector<std::string> got;
    if (op == "match") {
      got = {CellMatches(c.in.at(1), c.in.at(2), c.in.at(3) == "whole") ? "yes" : "no"};
    } else if (op == "trim") {
      const std::string& text = c.in.at(1);
      got = {"[" + std::string(TrimSpaces(text.substr(1, text.size() - 2))) + "]"};
    } else if (op == "rows") {
      rows.clear();
      for (size_t i = 1; i < c.in.size(); ++i) rows.emplace_back(c.in[i], "1", "1", "0", "0", "0%");
      shown.clear();
      for (const ResultRow& row : rows) shown.push_back(&row);
      finder = std::make_unique<RowFinder>();
    } else if (op == "show") {
      shown.resize(std::stoul(c.in.at(1)));
    } else {
      ASSERT_TRUE(op == "first" || op == "next");
      const bool whole = c.in.at(2) == "whole";
      const RowFinder::Result result = op == "next" ? finder->FindNext(shown, c.in.at(1), whole)
                                                    : finder->FindFirst(shown, c.in.at(1), whole);
      EXPECT_EQ(result.found, result.row >= 0);
      got = {std::to_string(result.row), std::to_string(finder->NextRow())};
    }
    EXPECT_EQ(got, c.out);
  }
}

}  // namespace
}  // namespace tv
