// The results list's comparison and the stable sort that uses it.
#include "reports/result_sort.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tv {
namespace {

TEST(CompareCellTexts, OrdersEachKindOfCell) {
  struct Case {
    const char* t1;
    const char* t2;
    int expected;
  } cases[] = {
      {"9", "10", -1},                   // numbers, not text
      {"", "0", 0},                      // nothing reads as 0
      {"2999999999", "3000000000", -1},  // beyond 32 bits
      {"18446744073709551616", "1", 1},  // saturates rather than wraps
      {"0.28%", "0.29%", -1},            // exact hundredths
      {"4.34%", "4.35%", -1},
      {"12.34%", "12.99%", -1},
      {"12.99%", "13.00%", -1},
      {"12.3%", "12.30%", 0},
      {"100.00%", "99.99%", 1},
      {"5.00%", "abc", 1},                  // a text without "%" is 0
      {"120 (35.50%)", "119 (99.00%)", 1},  // the count before the blank decides
      {"120 (35.50%)", "120 (1.00%)", 0},
      {"31/12/2020", "01/01/2021", -1},  // dates: year first
      {"01/02/2021", "02/01/2021", 1},   // then the middle pair
      {"02/01/2021", "01/01/2021", 1},
      {"b.c", "a.c", 1},
      {"a.c", "a.c", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.t1) + " vs " + c.t2);
    EXPECT_EQ(CompareCellTexts(c.t1, c.t2), c.expected);
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
