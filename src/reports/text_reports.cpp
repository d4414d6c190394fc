#include "reports/text_reports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/atomic_file.h"

namespace tv {

namespace {

constexpr std::string_view kQ = "\"";
constexpr char kNotRegularReason[] = "cannot replace: not a regular file";

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

ReportResult Failure(ReportFailure kind, const std::string& path, const std::string& reason) {
  return {false, path + ": " + reason, kind, reason};
}

ReportResult SystemFailure(ReportFailure kind, const std::string& path, const char* what) {
  return Failure(kind, path, std::string(what) + ": " + std::strerror(errno));
}

// Writes `pieces` one after the other as the file's bytes. `begin_failure`
// is the kind reported when the file cannot be opened at all.
ReportResult WriteReplacing(const std::string& path, std::span<const std::string_view> pieces,
                            ReportFailure begin_failure) {
  if (ReportResult refused = CheckReportTarget(path); !refused.ok) return refused;
  AtomicFileWriter writer;
  if (!writer.Begin(path)) return Failure(begin_failure, path, writer.error());
  for (std::string_view piece : pieces) {
    if (!writer.Write(piece)) return Failure(ReportFailure::WriteFailed, path, writer.error());
  }
  if (!writer.Commit()) return Failure(ReportFailure::WriteFailed, path, writer.error());
  return {};
}

ReportResult WriteReplacing(const std::string& path, std::string_view bytes,
                            ReportFailure begin_failure) {
  return WriteReplacing(path, std::span(&bytes, 1), begin_failure);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Adds `bytes` at the end of an existing regular file. A failed append cuts
// the file back to its old size, so no half block stays behind.
ReportResult AppendToFile(const std::string& path, std::string_view bytes) {
  if (ReportResult refused = CheckReportTarget(path); !refused.ok) return refused;
  // Non-blocking: a FIFO put at the path after the check must not hold the
  // caller until a reader comes; what was opened is checked again below.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return SystemFailure(ReportFailure::CannotOpen, path, "cannot open");
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Failure(ReportFailure::CannotCreate, path, kNotRegularReason);
  }
  if (WriteAll(fd, bytes) && ::fsync(fd) == 0) {
    if (::close(fd) == 0) return {};
    return SystemFailure(ReportFailure::WriteFailed, path, "cannot write");
  }
  ReportResult failed = SystemFailure(ReportFailure::WriteFailed, path, "cannot write");
  if (::ftruncate(fd, st.st_size) != 0) failed.reason += " (the file keeps a partial block)";
  failed.error = path + ": " + failed.reason;
  ::close(fd);
  return failed;
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

ReportResult CheckReportTarget(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  if (S_ISDIR(st.st_mode)) {
    return Failure(ReportFailure::CannotCreate, path,
                   std::string("cannot replace: ") + std::strerror(EISDIR));
  }
  return Failure(ReportFailure::CannotCreate, path, kNotRegularReason);
}

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

ReportResult WriteReportFile(const std::string& path, std::span<const std::string_view> pieces) {
  return WriteReplacing(path, pieces, ReportFailure::CannotCreate);
}

ReportResult WriteHtmlReport(const std::string& path, const BatchResults& results, CodePage cp) {
  return WriteReplacing(path, HtmlReportText(results, ReportTimeStamp(), cp),
                        ReportFailure::CannotCreate);
}

ReportResult WriteCsvReport(const std::string& path, const BatchResults& results, CodePage cp) {
  return WriteReplacing(path, CsvReportText(results, cp), ReportFailure::CannotCreate);
}

ReportResult WriteTxtReport(const std::string& path, const BatchResults& results, TxtMode mode,
                            CodePage cp) {
  const std::string text = TxtReportText(results, ReportTimeStamp(), mode != TxtMode::New, cp);
  switch (mode) {
    case TxtMode::New:
      return WriteReplacing(path, text, ReportFailure::CannotCreate);
    case TxtMode::Overwrite:
      return WriteReplacing(path, text, ReportFailure::CannotOpen);
    case TxtMode::Append:
      break;
  }
  return AppendToFile(path, text);
}

}  // namespace tv
