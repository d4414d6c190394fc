// Printing the results against a surface that records every call; the cases
// are in tests/data/reports/print_layout.tsv.
#include "reports/print_layout.h"

#include <set>
#include <utility>

#include "reports/result_texts.h"
#include "test_util.h"

namespace tv {
namespace {

// Checks that calls come in a valid order and notes where each text lands.
struct RecordingSurface : PrintSurface {
  PrintMetrics metrics;
  std::string fail;            // the call that fails: "start", "page N" or "end"
  std::string document = "-";  // "open" between begin and end, then the name
  std::string name;
  int pages = 0;  // pages begun
  bool in_page = false;
  std::vector<std::pair<std::string, std::string>> draws;  // "pPAGE lLINE xX", text

  PrintMetrics Metrics() override { return metrics; }
  bool BeginDocument(std::string_view n) override {
    name = n;
    if (fail != "start") document = "open";
    return fail != "start";
  }
  bool BeginPage() override {
    EXPECT_TRUE(document == "open" && !in_page);
    return in_page = fail != "page " + std::to_string(++pages);
  }
  void EndPage() override { EXPECT_TRUE(std::exchange(in_page, false)); }
  bool EndDocument() override {
    EXPECT_TRUE(document == "open" && !in_page);
    document = name;
    return fail != "end";
  }
  void DrawText(int x, int y, std::string_view text) override {
    EXPECT_TRUE(in_page && (y - 5) % metrics.line_height == 0) << y;
    draws.emplace_back("p" + std::to_string(pages) + " l" +
                           std::to_string((y - 5) / metrics.line_height) + " x" + std::to_string(x),
                       text);
  }
};

TEST(PrintLayout, FollowsItsTableFile) {
  std::vector<std::string> headers;
  for (const ColumnHeader& h : ParseColumnSpec(kColumnSpec)) headers.push_back(h.text);
  const char* outcomes[] = {"printed", "does not fit", "not started", "failed"};
  for (const test::TableCase& c : test::ReadTableCases("reports/print_layout.tsv")) {
    SCOPED_TRACE(c.line);
    ASSERT_EQ(c.in.size(), 7u);
    RecordingSurface surface;
    surface.metrics = {std::stoi(c.in[1]), std::stoi(c.in[2]), std::stoi(c.in[3]),
                       std::stoi(c.in[4])};
    surface.fail = c.in[6];
    std::vector<ResultRow> rows;
    for (int r = 0; r < std::stoi(c.in[5]); ++r) {
      const std::string n = std::to_string(r);
      rows.emplace_back((r % 2 == 0 ? "src/sub/f" : "f") + n + ".c", n + ".1", n + ".2", n + ".3",
                        n + ".4", n + ".5");
    }
    std::vector<const ResultRow*> shown;
    for (const ResultRow& row : rows) shown.push_back(&row);
    const PrintTable table{headers, shown, {"40 (共2个文件)", "30", "6", "4", "13.33%"}};
    const PrintOutcome outcome =
        PrintResultsTable(surface, table, c.in[0] == "utf8" ? CodePage::Utf8 : CodePage::Gbk);

    std::vector<std::string> got = {outcomes[static_cast<int>(outcome)], surface.document,
                                    std::to_string(surface.pages),
                                    std::to_string(surface.draws.size())};
    std::set<std::string> texts;  // only where these are drawn is compared
    for (size_t i = 5; i < c.out.size(); i += 2) texts.insert(c.out[i]);
    for (const auto& [where, text] : surface.draws) {
      if (texts.count(text) != 0) got.insert(got.end(), {where, text});
    }
    EXPECT_EQ(got, c.out);
  }
}

}  // namespace
}  // namespace tv
