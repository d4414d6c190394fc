#include "reports/text_reports.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/atomic_file.h"

namespace tv {

namespace {

constexpr std::string_view kQ = "\"";

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

// A paragraph in the centre with one font and size.
std::string CentredParagraph(std::string_view face, std::string_view size, std::string_view text) {
  std::string out;
  out.append("<p align=").append(kQ).append("center").append(kQ).append("><font face=");
  out.append(kQ).append(face).append(kQ).append(" size=").append(kQ).append(size).append(kQ);
  out.append(">").append(text).append("</font></p>");
  return out;
}

std::string HtmlCell(std::string_view width, std::string_view text) {
  std::string out = "<td width=";
  out.append(kQ).append(width).append(kQ).append(">").append(EscapeHtml(text)).append("</td>");
  return out;
}

std::string HtmlRow(std::string_view name, const std::string* cells) {
  std::string out = "<tr>" + HtmlCell("40%", name);
  for (int i = 0; i < 5; ++i) out += HtmlCell("12%", cells[i]);
  return out + "</tr>";
}

ReportResult Failure(const std::string& path, const std::string& reason) {
  return {false, path + ": " + reason};
}

ReportResult WriteReplacing(const std::string& path, const std::string& bytes) {
  std::string error;
  if (!WriteFileAtomically(path, bytes, &error)) return Failure(path, error);
  return {};
}

// TXT labels: a full-width colon padded with blanks so the values line up.
constexpr std::string_view kSeparator = "---------------------------------------------------------";
constexpr std::string_view kTimeLabel = "保存时间：   ";
constexpr std::string_view kRowLabels[6] = {"文件名：       ", "总行数：       ",
                                            "代码行数：     ", "注释行数：     ",
                                            "空白行数：     ", "代码注释率：   "};
constexpr std::string_view kShortRatioLabel = "代码注释率： ";
constexpr std::string_view kSummaryLabels[5] = {
    "程序行总数：   ", "代码行总数：   ", "注释行总数：   ", "空白行总数：   ", "代码注释率：   "};

}  // namespace

std::string ReportTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return buf;
}

std::string HtmlReportText(const BatchResults& results, std::string_view time_stamp, CodePage cp) {
  std::string page;
  page.reserve(512 + results.rows.size() * 200);
  page.append("<html><body><head>");
  page.append("<META http-equiv=Content-Type content=").append(kQ).append("text/html; charset=");
  page.append(cp == CodePage::Utf8 ? "utf-8" : "gb2312").append(kQ).append("><br>");
  page.append("</head>");
  page.append(CentredParagraph("楷体_GB2312", "5", "统计结果"));
  page.append(CentredParagraph("Times New Roman", "3", time_stamp)).append("<br><br>");
  page.append("<div align=").append(kQ).append("center").append(kQ).append("><center>");
  page.append("<table border=").append(kQ).append("1").append(kQ).append(" width=");
  page.append(kQ).append("100%").append(kQ).append(" cellspacing=").append(kQ).append("1");
  page.append(kQ).append(">");
  page.append("<tr>");
  constexpr std::string_view kHeaders[6][2] = {{"40%", "文件名称"}, {"12%", "总行数"},
                                               {"12%", "代码行数"}, {"12%", "注释行数"},
                                               {"12%", "空白行数"}, {"12%", "代码注释率"}};
  for (const auto& h : kHeaders) {
    page.append("<td width=").append(kQ).append(h[0]).append(kQ).append(" align=").append(kQ);
    page.append("center").append(kQ).append("><font color=").append(kQ).append("#800080");
    page.append(kQ).append(">").append(h[1]).append("</font></td>");
  }
  page.append("</tr>");
  for (const ResultRow& row : results.rows) page.append(HtmlRow(row[kName], &row[kLines]));
  const SummaryTexts& s = results.summary;
  const std::string summary[5] = {s.lines, s.code, s.comment, s.blank, s.ratio};
  page.append(HtmlRow("统计结果汇总", summary));
  page.append("</table></center></div><br></body></html><br><br>");
  return Utf8ToAnsi(page, cp);
}

std::string CsvReportText(const BatchResults& results, CodePage cp) {
  auto line = [](std::string_view first, const std::string* rest) {
    std::string out = CsvField(first);
    for (int i = 0; i < 5; ++i) out.append(",").append(CsvField(rest[i]));
    return out + "\r\n";
  };
  const std::string headers[5] = {"总行数", "代码行", "注释行", "空白行", "代码注释率"};
  std::string text = line("文件名", headers);
  for (const ResultRow& row : results.rows) text += line(row[kName], &row[kLines]);
  text += "\r\n";
  const SummaryTexts& s = results.summary;
  const std::string summary[5] = {s.lines, s.code, s.comment, s.blank, s.ratio};
  text += line("统计汇总", summary);
  return Utf8ToAnsi(text, cp);
}

std::string TxtReportText(const BatchResults& results, std::string_view time_stamp,
                          bool short_ratio_label, CodePage cp) {
  std::string text;
  text.append("\r\n").append(kSeparator).append("\r\n").append(kTimeLabel).append(time_stamp);
  text.append("\r\n").append(kSeparator).append("\r\n");
  for (const ResultRow& row : results.rows) {
    for (int i = 0; i < 6; ++i) {
      std::string_view label =
          (i == kRatio && short_ratio_label) ? kShortRatioLabel : kRowLabels[i];
      text.append(label).append(row[i]).append("\r\n");
    }
    text.append("\r\n");
  }
  const SummaryTexts& s = results.summary;
  const std::string* summary[5] = {&s.lines, &s.code, &s.comment, &s.blank, &s.ratio};
  for (int i = 0; i < 5; ++i) text.append(kSummaryLabels[i]).append(*summary[i]).append("\r\n");
  return Utf8ToAnsi(text, cp);
}

ReportResult WriteHtmlReport(const std::string& path, const BatchResults& results, CodePage cp) {
  return WriteReplacing(path, HtmlReportText(results, ReportTimeStamp(), cp));
}

ReportResult WriteCsvReport(const std::string& path, const BatchResults& results, CodePage cp) {
  return WriteReplacing(path, CsvReportText(results, cp));
}

ReportResult WriteTxtReport(const std::string& path, const BatchResults& results, TxtMode mode,
                            CodePage cp) {
  const std::string text = TxtReportText(results, ReportTimeStamp(), mode != TxtMode::New, cp);
  if (mode != TxtMode::Append) return WriteReplacing(path, text);
  // Appending keeps what the file holds and adds a complete block at its end.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return Failure(path, std::string("cannot open: ") + std::strerror(errno));
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string reason = std::string("cannot write: ") + std::strerror(errno);
      ::close(fd);
      return Failure(path, reason);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0) return Failure(path, std::string("cannot write: ") + std::strerror(errno));
  return {};
}

}  // namespace tv
