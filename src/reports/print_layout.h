// Printing the results as a plain text table: one header line, a line of
// hyphens, one line per row and four summary lines, laid out against a
// print surface that measures in its own device units and draws texts.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "reports/results.h"

namespace tv {

inline constexpr std::string_view kPrintDocumentName = "ListCtrl Data Printing";
/// Shown, with the program's title as caption, when the table cannot be
/// printed on the chosen page.
inline constexpr std::string_view kPrintTooWideText =
    "字段太多，无法在一行内打印，请试用较大的纸，或横向打印。";

/// A print surface's measures, in its device units.
struct PrintMetrics {
  int page_width = 0;  // the printable area
  int page_height = 0;
  int line_height = 0;  // the height of the font's characters
  int char_width = 0;   // the font's average character width
};

/// Where a print goes: a printer, a PDF file, or a recorder in tests.
class PrintSurface {
 public:
  virtual ~PrintSurface() = default;
  virtual PrintMetrics Metrics() = 0;
  /// Starts the document; false when it cannot start.
  virtual bool BeginDocument(std::string_view name) = 0;
  /// Starts a page; false on a device error.
  virtual bool BeginPage() = 0;
  virtual void EndPage() = 0;
  /// Ends the document; false when the device reports an error during the job.
  virtual bool EndDocument() = 0;
  /// Draws UTF-8 text whose top left corner is at (x, y).
  virtual void DrawText(int x, int y, std::string_view text) = 0;
};

/// What is printed: the header texts in display order with their blanks,
/// the rows in display order, and the summary.
struct PrintTable {
  std::span<const std::string> headers;
  std::span<const ResultRow* const> rows;
  SummaryTexts summary;
};

enum class PrintOutcome {
  Printed,
  DoesNotFit,  // the columns are wider than the page, or no line fits on it
  NotStarted,  // the document could not be started
  Failed,      // the device reported an error during the job
};

/// Lays out and draws `table`. The columns are as wide as their header
/// texts in bytes of the code page `cp`, starting two character widths
/// from the left and spread so that the same margin stays on the right.
/// Rows flow onto new pages without repeating the header; name cells show
/// the file name without its folders. Nothing is drawn unless it fits.
PrintOutcome PrintResultsTable(PrintSurface& surface, const PrintTable& table, CodePage cp);

}  // namespace tv
