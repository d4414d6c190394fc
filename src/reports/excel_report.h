// The Excel report: the results written as a workbook through the Excel
// database driver, one record per row and a summary record last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reports/excel_driver.h"
#include "reports/result_texts.h"
#include "reports/results.h"
#include "reports/text_reports.h"

namespace tv {

/// Messages of the Excel report.
inline constexpr std::string_view kNoExcelDriverMessage = "没有安装Excel驱动！";
inline constexpr std::string_view kExcelSaveFailedMessage = "保存文件失败！";
inline constexpr std::string_view kExcelSavedMessage = "Excel文件写入成功！";
inline constexpr std::string_view kExcelSavedCaption = "保存成功";

/// The driver the connection string names.
inline constexpr std::string_view kExcelConnectionDriver = "MICROSOFT EXCEL DRIVER (*.XLS)";

/// The statement that creates the report's table.
inline constexpr std::string_view kExcelCreateTableStatement =
    "CREATE TABLE Exceldemo (文件名称 TEXT,总行数 NUMBER,代码行数 NUMBER,注释行数 NUMBER,"
    "空白行数 NUMBER,代码注释率 TEXT)";

/// The connection string that creates the workbook at `path`.
std::string ExcelConnectionString(std::string_view path);

/// `text` with every single quote doubled, for a quoted SQL literal.
std::string QuoteSqlText(std::string_view text);

/// The INSERT statement of one record: the name cell with one blank before
/// and after it, the leading numbers of the four count cells, the ratio text.
std::string ExcelInsertStatement(std::string_view name, std::string_view lines,
                                 std::string_view code, std::string_view comment,
                                 std::string_view blank, std::string_view ratio);

/// Writes the workbook for `results` to `path` (its rows, then the summary
/// record "统计汇总"), replacing an existing file only once the new one is
/// complete. Without an Excel driver in `installed_drivers` the error is
/// exactly kNoExcelDriverMessage (failure NoDriver). A path holding no
/// regular file, or one the driver cannot open, is CannotCreate; a refused
/// statement StatementError; a failure to write the finished workbook
/// WriteFailed.
ReportResult WriteExcelReport(
    const std::string& path, const BatchResults& results,
    const std::vector<std::string>& installed_drivers = InstalledDrivers());

}  // namespace tv
