#include "reports/print_layout.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/file_types.h"

namespace tv {
namespace {

constexpr int kSeparatorX = 20;
constexpr int kSeparatorLength = 96;
// Lines a page keeps free below its last line of text.
constexpr int kLinesKeptFree = 3;
// The fixed texts before the four summary fields.
constexpr std::string_view kSummaryLabels[4] = {"程序行总数：", "代码行总数：", "注释行总数：",
                                                "空白行总数："};

// Running line numbers count the lines of the whole print from 1; each page
// shows `lines_per_page` of them, a line at number k of its page being drawn
// at y = k * line height + 5.
class PageFlow {
 public:
  PageFlow(PrintSurface& surface, int64_t lines_per_page, int line_height)
      : surface_(surface), lines_per_page_(lines_per_page), line_height_(line_height) {}

  static int LineY(int64_t line_on_page, int line_height) {
    return static_cast<int>(line_on_page * line_height + 5);
  }

  /// The y of running line `running`; when it would fall below the page's
  /// last line, the page ends and `running` becomes line 1 of a new one.
  /// Nothing when the new page cannot start.
  std::optional<int> Y(int64_t running) {
    if (running - first_ + 1 > lines_per_page_) {
      surface_.EndPage();
      if (!surface_.BeginPage()) return std::nullopt;
      first_ = running;
    }
    return LineY(running - first_ + 1, line_height_);
  }

 private:
  PrintSurface& surface_;
  int64_t lines_per_page_;
  int line_height_;
  int64_t first_ = 1;  // the running number of the page's line 1
};

}  // namespace

PrintOutcome PrintResultsTable(PrintSurface& surface, const PrintTable& table, CodePage cp) {
  const PrintMetrics m = surface.Metrics();
  const size_t columns = table.headers.size();
  if (m.line_height <= 0 || m.char_width <= 0 || columns == 0) return PrintOutcome::DoesNotFit;
  const int64_t lines_per_page = m.page_height / m.line_height - kLinesKeptFree;
  if (lines_per_page < 1) return PrintOutcome::DoesNotFit;

  // Each column is as wide as its header's bytes in the code page.
  std::vector<int64_t> xs;
  int64_t x = 2 * int64_t{m.char_width};
  for (const std::string& header : table.headers) {
    xs.push_back(x);
    x += static_cast<int64_t>(Utf8ToAnsi(header, cp).size()) * m.char_width;
    if (x > m.page_width) return PrintOutcome::DoesNotFit;
  }
  // The room left over, shared out between the columns, keeps the left
  // margin on the right too; it is negative when the table fills the page.
  const int64_t gap =
      columns < 2 ? 0 : (m.page_width - 2 * int64_t{m.char_width} - x) / int64_t(columns - 1);
  for (size_t k = 1; k < columns; ++k) xs[k] += static_cast<int64_t>(k) * gap;

  if (!surface.BeginDocument(kPrintDocumentName)) return PrintOutcome::NotStarted;
  if (!surface.BeginPage()) {
    surface.EndDocument();
    return PrintOutcome::NotStarted;
  }
  auto column_x = [&](size_t c) { return static_cast<int>(xs[c]); };
  const int header_y = PageFlow::LineY(1, m.line_height);
  for (size_t c = 0; c < columns; ++c) surface.DrawText(column_x(c), header_y, table.headers[c]);
  surface.DrawText(kSeparatorX, PageFlow::LineY(2, m.line_height),
                   std::string(kSeparatorLength, '-'));

  PageFlow flow(surface, lines_per_page, m.line_height);
  bool page_failed = false;
  const int64_t rows = static_cast<int64_t>(table.rows.size());
  for (int64_t r = 0; r < rows && !page_failed; ++r) {
    const std::optional<int> y = flow.Y(r + 3);
    if (!y) {
      page_failed = true;
      break;
    }
    const ResultRow& row = *table.rows[static_cast<size_t>(r)];
    for (size_t c = 0; c < columns && c < row.size(); ++c) {
      surface.DrawText(column_x(c), *y, GetFileNamePart(row[c]));
    }
  }
  const std::string* fields[4] = {&table.summary.lines, &table.summary.code, &table.summary.comment,
                                  &table.summary.blank};
  for (int i = 0; i < 4 && !page_failed; ++i) {
    const std::optional<int> y = flow.Y(rows + 6 + i);
    if (!y) {
      page_failed = true;
      break;
    }
    surface.DrawText(column_x(0), *y, std::string(kSummaryLabels[i]) + *fields[i]);
  }
  if (!page_failed) surface.EndPage();
  const bool ended = surface.EndDocument();
  return page_failed || !ended ? PrintOutcome::Failed : PrintOutcome::Printed;
}

}  // namespace tv
