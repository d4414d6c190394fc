#include "ui/save_results.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "reports/excel_report.h"
#include "reports/json_report.h"
#include "reports/text_reports.h"

namespace tv {

namespace {

enum class Format { Html, Excel, Csv, Txt, Json };

constexpr const char* kExtensions[] = {".htm", ".xls", ".csv", ".txt", ".json"};

constexpr char kCaptionNotice[] = "提示";
constexpr char kCaptionError[] = "Error";
constexpr char kSavedMessage[] = "文件保存完毕！ ";
constexpr char kCannotCreateMessage[] = "创建文件出错！";
constexpr char kCannotOpenMessage[] = "打开文件出错！";
constexpr char kCannotReplaceWorkbookMessage[] = "创建文件出错！如果文件已打开，请先关闭。";

QString U(const char* text) {
  return QString::fromUtf8(text);
}

QString U(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether anything (a file, a folder, a FIFO, a dangling link) has the name.
bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The message for a failed report, followed by the reason. A write that
// fails after the file was opened is a failed save in every format.
QString FailureText(Format format, const ReportResult& result, bool existed) {
  const char* text = kExcelSaveFailedMessage.data();
  switch (result.failure) {
    case ReportFailure::CannotCreate:
      // A workbook that cannot take an existing file's place may be open in
      // another program; one that cannot be made at all is a failed save.
      if (format != Format::Excel) {
        text = kCannotCreateMessage;
      } else if (existed) {
        text = kCannotReplaceWorkbookMessage;
      }
      break;
    case ReportFailure::CannotOpen:
      text = format == Format::Txt ? kCannotOpenMessage : kCannotCreateMessage;
      break;
    case ReportFailure::NoDriver:
      return U(kNoExcelDriverMessage);
    case ReportFailure::None:
    case ReportFailure::WriteFailed:
    case ReportFailure::StatementError:
      break;
  }
  return U(text) + QLatin1Char('\n') + U(result.reason);
}

}  // namespace

void SaveResultsCommand(QWidget* parent, Dialogs& dialogs, const SaveSource& source,
                        const SaveOptions& options) {
  const int count = source.row_count();
  SaveFileRequest request;
  request.title = U(kSaveDialogTitle);
  for (const char* filter : kSaveFilters) request.filters << U(filter);
  request.initial_folder = options.first_folder;
  const SaveFileAnswer answer = dialogs.SaveFile(parent, request);
  if (!answer.accepted || answer.path.isEmpty()) return;

  // A name that ends in ".json" is a JSON report as it stands.
  const bool json_name = IsJsonReportName(QFile::encodeName(answer.path).toStdString());
  const Format format =
      json_name ? Format::Json : static_cast<Format>(std::clamp(answer.filter, 0, 4));
  const QString name = QFileInfo(answer.path).fileName();
  QString path = answer.path;
  const QString extension = QLatin1String(kExtensions[static_cast<int>(format)]);
  if (!json_name && !path.contains(extension, Qt::CaseSensitive)) path += extension;

  // The folder may carry a name that is not UTF-8: the report goes there.
  const std::string target = PathOnDisk(path, options.code_page);
  const bool existed = EntryExists(target);
  TxtMode txt_mode = TxtMode::New;
  if (existed) {
    QString question = name + U(" 已经存在,是否覆盖？\n");
    if (format == Format::Txt) question += U("\n如果选择不覆盖，将追加记录存储。");
    const bool yes = dialogs.AskYesNo(parent, U(kCaptionNotice), question);
    if (format == Format::Txt) {
      txt_mode = yes ? TxtMode::Overwrite : TxtMode::Append;
    } else if (!yes) {
      return;
    }
  }

  const BatchResults results = source.results(count);
  ReportResult result;
  switch (format) {
    case Format::Html:
      result = WriteHtmlReport(target, results, options.code_page);
      break;
    case Format::Excel:
      result = WriteExcelReport(target, results, options.installed_drivers);
      break;
    case Format::Csv:
      result = WriteCsvReport(target, results, options.code_page);
      break;
    case Format::Txt:
      result = WriteTxtReport(target, results, txt_mode, options.code_page);
      break;
    case Format::Json:
      result = WriteJsonReport(target, results, options.code_page);
      break;
  }
  if (!result.ok) {
    dialogs.Message(parent, MessageIcon::Stop, U(kCaptionError),
                    FailureText(format, result, existed));
  } else if (format == Format::Excel) {
    dialogs.Message(parent, MessageIcon::Information, U(kExcelSavedCaption), U(kExcelSavedMessage));
  } else if (format != Format::Html) {
    dialogs.Message(parent, MessageIcon::Information, U(kCaptionNotice), U(kSavedMessage));
  }
}

}  // namespace tv
