#include "reports/result_texts.h"

#include <cstdio>
#include <limits>

namespace tv {

namespace {

std::string Count(uint64_t v) {
  return std::to_string(v);
}

// "value (share%)" of a part of `whole`, or "0 (0.00%)" when `whole` is 0.
std::string WithShare(uint64_t value, uint64_t whole) {
  if (whole == 0) return "0 (0.00%)";
  return Count(value) + " (" +
         FormatFixed2(static_cast<double>(value) * 100.0 / static_cast<double>(whole)) + "%)";
}

std::string Ratio(uint64_t comment, uint64_t code) {
  const uint64_t both = code + comment;
  if (both == 0) return "0.00%";
  return FormatFixed2(static_cast<double>(comment) * 100.0 / static_cast<double>(both)) + "%";
}

}  // namespace

std::string FormatFixed2(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  return buf;
}

std::vector<ColumnHeader> ParseColumnSpec(std::string_view text) {
  std::vector<ColumnHeader> columns;
  while (!text.empty()) {
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) break;
    ColumnHeader column;
    column.text = std::string(text.substr(0, comma));
    std::string_view rest = text.substr(comma + 1);
    size_t semicolon = rest.find(';');
    std::string_view width = rest.substr(0, semicolon);
    column.width =
        static_cast<int>(LeadingNumber(width) > 1000000 ? 1000000 : LeadingNumber(width));
    columns.push_back(std::move(column));
    if (semicolon == std::string_view::npos) break;
    text = rest.substr(semicolon + 1);
  }
  return columns;
}

ResultRow MakeResultRow(std::string name, const FileTally& t, bool per_file_percent) {
  ResultRow row;
  row[kName] = std::move(name);
  row[kLines] = Count(t.total);
  const uint64_t sum = t.code + t.comment + t.blank;
  row[kCode] = per_file_percent ? WithShare(t.code, sum) : Count(t.code);
  row[kComment] = per_file_percent ? WithShare(t.comment, sum) : Count(t.comment);
  row[kBlank] = per_file_percent ? WithShare(t.blank, sum) : Count(t.blank);
  row[kRatio] = Ratio(t.comment, t.code);
  return row;
}

SummaryTexts MakeSummaryTexts(const RunTotals& totals, size_t file_count, bool stopped,
                              EmptyRatioStyle empty_ratio) {
  SummaryTexts s;
  s.lines = stopped ? std::string(kStoppedText)
                    : Count(totals.lines) + " (共" + std::to_string(file_count) + "个文件)";
  const uint64_t all = totals.code + totals.comment + totals.blank;
  s.code = WithShare(totals.code, all);
  s.comment = WithShare(totals.comment, all);
  s.blank = WithShare(totals.blank, all);
  if (totals.code + totals.comment == 0 && empty_ratio == EmptyRatioStyle::Plain) {
    s.ratio = "0.00%";
  } else {
    s.ratio = Ratio(totals.comment, totals.code) + "  " + std::string(kRatioExplanation);
  }
  return s;
}

uint64_t LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  uint64_t value = 0;
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace tv
