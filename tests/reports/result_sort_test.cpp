// The results list's comparison and the stable sort that uses it.
#include "reports/result_sort.h"

#include <random>

#include "test_util.h"

namespace tv {
namespace {

TEST(CompareCellTexts, OrdersEachKindOfCell) {
  for (const test::TableCase& c : test::ReadTableCases("reports/cell_order.tsv")) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(CompareCellTexts(c.in.at(0), c.in.at(1)), std::stoi(c.out.at(0)));
  }
}

TEST(StableSortOrder, KeepsEqualRowsInOrder) {
  const std::vector<std::string> cells = {"10", "9", "10", "1", "9"};
  auto order = StableSortOrder(
      cells.size(), [&](size_t a, size_t b) { return CompareCellTexts(cells[a], cells[b]); });
  EXPECT_EQ(order, (std::vector<size_t>{3, 1, 4, 0, 2}));
  order = StableSortOrder(cells.size(),
                          [&](size_t a, size_t b) { return CompareCellTexts(cells[b], cells[a]); });
  EXPECT_EQ(order, (std::vector<size_t>{0, 2, 1, 4, 3}));
}

TEST(StableSortOrder, AnyComparisonGivesAPermutation) {
  std::mt19937 random(7);
  for (size_t n : {0, 1, 2, 17, 1000}) {
    auto order = StableSortOrder(n, [&](size_t, size_t) { return int(random() % 3) - 1; });
    std::sort(order.begin(), order.end());
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(order[i], i);
  }
}

}  // namespace
}  // namespace tv
