// The HTML, CSV and TXT reports, and how a report file is written.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "reports/results.h"

namespace tv {

/// The local date and time as "YYYY-MM-DD hh:mm:ss".
std::string ReportTimeStamp();

/// The HTML page, one line of text in the code page it declares. Cell texts
/// are escaped so that names holding "&", "<", ">" or quotes stay text.
std::string HtmlReportText(const BatchResults& results, std::string_view time_stamp, CodePage cp);

/// The CSV file with CR LF line ends. A field holding a comma, a double
/// quote, CR or LF is quoted with inner quotes doubled; all others stay bare.
std::string CsvReportText(const BatchResults& results, CodePage cp);

/// How a TXT report meets an existing file.
enum class TxtMode { New, Overwrite, Append };

/// The TXT block: a header with the time stamp, one block per row, the
/// summary. The ratio label of the rows is the short one when the window
/// overwrites or appends, the long one for a new file and the command line.
std::string TxtReportText(const BatchResults& results, std::string_view time_stamp,
                          bool short_ratio_label, CodePage cp);

/// A failure of kind CannotCreate when `path` (its links followed) names a
/// folder, FIFO, device or socket: reports only ever replace regular files.
/// Success when it names a regular file or nothing.
ReportResult CheckReportTarget(const std::string& path);

/// Writes `pieces`, one after the other, as the whole file at `path`,
/// replacing an existing file only once the new one is complete; a file
/// that cannot be made is CannotCreate.
ReportResult WriteReportFile(const std::string& path, std::span<const std::string_view> pieces);

/// Write the reports, replacing an existing file only once the new one is
/// complete (the old file survives any failure).
ReportResult WriteHtmlReport(const std::string& path, const BatchResults& results, CodePage cp);
ReportResult WriteCsvReport(const std::string& path, const BatchResults& results, CodePage cp);
/// New and Overwrite replace the file; Append adds to its end in place and
/// cuts the file back to its old size when the append fails. A file that
/// cannot be opened is CannotCreate for the HTML, CSV and a new TXT report,
/// CannotOpen when a TXT report overwrites or appends.
ReportResult WriteTxtReport(const std::string& path, const BatchResults& results, TxtMode mode,
                            CodePage cp);

}  // namespace tv
