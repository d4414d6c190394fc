// Saving the results from the window: the save dialog, the format's
// extension, the question about an existing file, the report and its message.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "reports/results.h"
#include "ui/dialogs.h"

namespace tv {

/// The save dialog's title and filters; the filter chosen picks the format,
/// except that a name ending in ".json" (any case) always gets JSON.
inline constexpr char kSaveDialogTitle[] = "请指定存盘文件名";
inline constexpr const char* kSaveFilters[] = {"HTML Files(*.htm)", "EXCEL Files(*.xls)",
                                               "CSV Files(*.csv)", "TXT Files(*.txt)",
                                               "JSON Files(*.json)"};

/// Where the rows to save come from.
struct SaveSource {
  /// The number of rows, read once before the dialog opens.
  std::function<int()> row_count;
  /// At most `count` rows in the order shown, index 0 first, and the totals.
  std::function<BatchResults(int count)> results;
};

struct SaveOptions {
  CodePage code_page = CodePage::Gbk;
  QString first_folder;                        // where the dialog opens
  std::vector<std::string> installed_drivers;  // what the Excel report may use
};

/// Asks for a file and a format, adds the format's extension when the path
/// lacks it (exact case, anywhere in the path), asks before replacing an
/// existing file (for TXT: replace, or append on No), writes the report and
/// says how it went. Only regular files are written over.
void SaveResultsCommand(QWidget* parent, Dialogs& dialogs, const SaveSource& source,
                        const SaveOptions& options);

}  // namespace tv
