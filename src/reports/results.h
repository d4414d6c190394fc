// The texts of a run's results: one row of six texts per counted file and
// five summary texts. Everything downstream (reports, printing, the window)
// works on these texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tally.h"

namespace tv {

/// Column indexes of a result row.
enum Column : int { kName = 0, kLines = 1, kCode = 2, kComment = 3, kBlank = 4, kRatio = 5 };

/// The six cell texts of one file, in column order (UTF-8).
using ResultRow = std::array<std::string, 6>;

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

  void Clear() {
    rows.clear();
    summary = {};
  }
};

/// The outcome of writing a report: on failure, one line naming the file
/// and the reason.
struct ReportResult {
  bool ok = true;
  std::string error;
};

}  // namespace tv
