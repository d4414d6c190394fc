#include "reports/excel_report.h"

#include <limits>

#include "reports/result_texts.h"

namespace tv {

namespace {

constexpr std::string_view kInsertHead =
    "INSERT INTO Exceldemo (文件名称,总行数,代码行数,注释行数,空白行数,代码注释率) VALUES (' ";
constexpr std::string_view kSummaryName = "统计汇总";

void AppendQuoted(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
}

// A value in braces with every "}" doubled: whatever the path holds (";",
// "=", quotes, braces), it stays one value and cannot add an attribute.
void AppendBraced(std::string& out, std::string_view value) {
  out += '{';
  for (char c : value) {
    if (c == '}') out += '}';
    out += c;
  }
  out += '}';
}

// Control characters (a newline in a file name) would break the one-line reason.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return out;
}

}  // namespace

std::string ExcelConnectionString(std::string_view path) {
  std::string out = "DRIVER={";
  out.append(kExcelConnectionDriver);
  out.append("};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=");
  AppendBraced(out, path);
  out.append(";DBQ=");
  AppendBraced(out, path);
  return out;
}

std::string QuoteSqlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendQuoted(out, text);
  return out;
}

std::string ExcelInsertStatement(std::string_view name, std::string_view lines,
                                 std::string_view code, std::string_view comment,
                                 std::string_view blank, std::string_view ratio) {
  std::string out;
  out.reserve(kInsertHead.size() + name.size() + ratio.size() + 96);
  out.append(kInsertHead);
  AppendQuoted(out, name);
  out.append(" ',");
  for (std::string_view count : {lines, code, comment, blank}) {
    out.append(std::to_string(LeadingNumber(count)));
    out += ',';
  }
  out += '\'';
  AppendQuoted(out, ratio);
  out.append("')");
  return out;
}

ReportResult WriteExcelReport(const std::string& path, const BatchResults& results,
                              const std::vector<std::string>& installed_drivers) {
  if (FindExcelDriver(installed_drivers).empty()) {
    const std::string message(kNoExcelDriverMessage);
    return {false, message, ReportFailure::NoDriver, message};
  }
  auto failure = [&](ReportFailure kind, const std::string& reason) {
    return ReportResult{false, OneLine(path) + ": " + reason, kind, reason};
  };
  if (ReportResult refused = CheckReportTarget(path); !refused.ok) {
    return failure(refused.failure, refused.reason);
  }
  ExcelConnection connection(installed_drivers);
  if (!connection.Open(ExcelConnectionString(path))) {
    return failure(ReportFailure::CannotCreate, connection.error());
  }
  if (!connection.Execute(kExcelCreateTableStatement)) {
    return failure(ReportFailure::StatementError, connection.error());
  }
  for (size_t i = 0; i < results.rows.size(); ++i) {
    const ResultRow& row = results.rows[i];
    std::string sql = ExcelInsertStatement(row[kName], row[kLines], row[kCode], row[kComment],
                                           row[kBlank], row[kRatio]);
    if (!connection.Execute(sql)) {
      return failure(ReportFailure::StatementError,
                     "row " + std::to_string(i + 1) + ": " + connection.error());
    }
  }
  const SummaryTexts& s = results.summary;
  if (!connection.Execute(
          ExcelInsertStatement(kSummaryName, s.lines, s.code, s.comment, s.blank, s.ratio))) {
    return failure(ReportFailure::StatementError, "summary: " + connection.error());
  }
  if (!connection.Commit()) return failure(ReportFailure::WriteFailed, connection.error());
  return {};
}

}  // namespace tv
