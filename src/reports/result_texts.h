// How a run's counts become the texts of the results table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/tally.h"
#include "reports/results.h"

namespace tv {

/// The columns of the results list: header text and width, entries
/// separated by ";".
inline constexpr std::string_view kColumnSpec =
    "文件名称         ,200;文件行数 ,80;代码行数,80;注释行数,80;空白行数,80;注释率,70";

struct ColumnHeader {
  std::string text;
  int width = 0;
};

/// Parses a list of columns: each entry is a header, ",", and a width
/// read like atoi; parsing stops at the first entry without ",".
std::vector<ColumnHeader> ParseColumnSpec(std::string_view text);

/// The explanation that follows the run's comment ratio.
inline constexpr std::string_view kRatioExplanation = "( 代码注释率 = 注释行/(注释行+有效代码行) )";
inline constexpr std::string_view kStoppedText = "用户中断";

/// "%.2f" as the C library prints it.
std::string FormatFixed2(double value);

/// The six texts of one file's row. `name` is the file name or the full path,
/// as the kind of run decides; with `per_file_percent` the code, comment and
/// blank cells also show their share of code + comment + blank.
ResultRow MakeResultRow(std::string name, const FileTally& tally, bool per_file_percent);

/// Which ratio text a run with no code and no comment lines shows.
enum class EmptyRatioStyle { Plain, WithExplanation };

/// The five summary texts. `stopped`: the count was left before its last
/// file, and the lines field says so.
SummaryTexts MakeSummaryTexts(const RunTotals& totals, size_t file_count, bool stopped,
                              EmptyRatioStyle empty_ratio);

/// The leading decimal digits of a cell text as a number, blanks skipped
/// first; 0 when there are none; saturates instead of wrapping.
uint64_t LeadingNumber(std::string_view text);

}  // namespace tv
