// The JSON report: the rows and totals of a run as one UTF-8 object, for
// scripts and pipelines.
#pragma once

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "reports/results.h"

namespace tv {

inline constexpr std::string_view kJsonReportVersion = "3.7";

/// A report name that ends in ".json", in any case: such a name always gets
/// the JSON report.
bool IsJsonReportName(std::string_view path);

/// The report as one JSON object, each file's object on a line of its own:
/// {"program", "version", "selection", "files": [{"path", "name", "family",
/// "lines", "code", "comment", "blank", "comment_ratio"}...], "totals":
/// {"files", "lines", "code", "comment", "blank", "comment_ratio"}}.
/// Counts are the leading numbers of the cell texts, written as 64-bit
/// integers; ratios are the shown percentages as numbers (12.34). "path" is
/// the counted file as text (`NameToUtf8` in `cp`); a path that is not valid
/// UTF-8 also gets "path_bytes", its exact bytes in lower-case hex. The
/// totals come from the summary texts; "files" is the number of rows, and a
/// summary without a line total (a stopped run) gives the rows' sum.
std::string JsonReportText(const BatchResults& results, CodePage cp);

/// Writes the JSON report, replacing an existing file only once the new one
/// is complete.
ReportResult WriteJsonReport(const std::string& path, const BatchResults& results, CodePage cp);

}  // namespace tv
