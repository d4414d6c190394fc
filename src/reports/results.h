// The texts of a run's results: one row of six texts per counted file and
// five summary texts. Everything downstream (reports, printing, the window)
// works on these texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/tally.h"

namespace tv {

/// Column indexes of a result row.
enum Column : int { kName = 0, kLines = 1, kCode = 2, kComment = 3, kBlank = 4, kRatio = 5 };

/// The six cell texts of one file, in column order (UTF-8), indexed by
/// Column. Besides them a row carries, never shown, the file it speaks of:
/// its full path as given to the counter (whatever the name cell shows) and
/// the family it was counted with, so that viewing a row opens exactly the
/// counted file. Rows compare by their six texts.
struct ResultRow : std::array<std::string, 6> {
  ResultRow() = default;
  /// The six texts in column order, with no file attached.
  ResultRow(std::string name, std::string lines, std::string code, std::string comment,
            std::string blank, std::string ratio)
      : std::array<std::string, 6>{std::move(name),    std::move(lines), std::move(code),
                                   std::move(comment), std::move(blank), std::move(ratio)} {}

  std::string path;
  LanguageFamily family = LanguageFamily::CFamily;
};

/// The five summary texts: lines (with the file count), code, comment,
/// blank and the comment ratio.
struct SummaryTexts {
  std::string lines, code, comment, blank, ratio;

  bool operator==(const SummaryTexts&) const = default;
};

/// A run's results kept in memory: what the command line writes its report
/// from, and what every report writer reads.
struct BatchResults {
  std::vector<ResultRow> rows;
  SummaryTexts summary;
  /// What was counted, as the selection field shows it (UTF-8); only the
  /// JSON report writes it.
  std::string selection = {};

  void Clear() {
    rows.clear();
    summary = {};
    selection.clear();
  }
};

/// What stopped a report from being written.
enum class ReportFailure {
  None,
  CannotCreate,    // the file could not be made, or the path holds no regular file
  CannotOpen,      // an existing file could not be opened to overwrite or append to
  WriteFailed,     // opened, but writing or closing it failed
  NoDriver,        // no Excel driver is installed
  StatementError,  // the Excel driver refused a statement
};

/// The outcome of writing a report: on failure, what kind it was, one line
/// naming the file and the reason, and the reason alone (the system's or the
/// driver's words).
struct ReportResult {
  bool ok = true;
  std::string error;
  ReportFailure failure = ReportFailure::None;
  std::string reason;
};

}  // namespace tv
