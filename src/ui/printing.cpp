#include "ui/printing.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintEngine>
#include <QPrinter>
#include <cmath>

#include "platform/atomic_file.h"
#include "reports/text_reports.h"

namespace tv {
namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Draws on a printer in its device pixels with the default font, measured
// against the printer so that the layout and the drawing agree.
class PrinterSurface : public PrintSurface {
 public:
  explicit PrinterSurface(QPrinter& printer) : printer_(printer), metrics_(font_, &printer) {}

  PrintMetrics Metrics() override {
    // The average of the 52 letters: the font file's own average width is
    // far too wide for CJK fonts.
    const double letters = metrics_.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {printer_.width(), printer_.height(), metrics_.height(),
            static_cast<int>(std::lround(letters / 52.0))};
  }
  bool BeginDocument(std::string_view name) override {
    printer_.setDocName(Q(name));
    if (!painter_.begin(&printer_)) return false;
    painter_.setFont(font_);
    return true;
  }
  bool BeginPage() override {
    if (first_page_) {
      first_page_ = false;  // the painter began it
      return true;
    }
    return printer_.newPage();
  }
  void EndPage() override {}
  bool EndDocument() override {
    const bool ended = painter_.end();
    return ended && printer_.printerState() != QPrinter::Error;
  }
  // The point is the text's top left corner; Qt draws from the baseline.
  void DrawText(int x, int y, std::string_view text) override {
    painter_.drawText(x, y + metrics_.ascent(), Q(text));
  }

 private:
  QPrinter& printer_;
  QFont font_;
  QFontMetrics metrics_;
  QPainter painter_;
  bool first_page_ = true;
};

// What a failure message says of the device: the PDF file or the printer.
QString DeviceLine(const QPrinter& printer) {
  return printer.outputFormat() == QPrinter::PdfFormat
             ? QStringLiteral("文件：") + printer.outputFileName()
             : QStringLiteral("打印机：") + printer.printerName();
}

// The job options a printer passes to the print server, as name, value,
// name, value: the key Qt's CUPS support keeps them under.
constexpr auto kServerJobOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

void DropServerPageChoice(QPrinter& printer) {
  QPrintEngine* engine = printer.printEngine();
  QStringList options = engine->property(kServerJobOptions).toStringList();
  if (options.isEmpty()) return;
  for (qsizetype i = 0; i + 1 < options.size();) {
    if (options[i] == QLatin1String("page-ranges") || options[i] == QLatin1String("page-set")) {
      options.remove(i, 2);
    } else {
      i += 2;
    }
  }
  engine->setProperty(kServerJobOptions, options);
}

constexpr char kCannotStartText[] = "无法开始打印！\n";

}  // namespace

QString CheckPdfTarget(QString& file) {
  const std::string target = FollowLinks(QFile::encodeName(file).toStdString());
  // Opening a FIFO for writing would wait for a reader, and so would the window.
  const ReportResult refused = CheckReportTarget(target);
  if (!refused.ok) {
    return QString::fromUtf8(kCannotStartText) + QStringLiteral("文件：") + file +
           QLatin1Char('\n') + Q(refused.reason);
  }
  file = QFile::decodeName(QByteArray::fromStdString(target));
  return {};
}

bool PrintResults(QWidget* parent, Dialogs& dialogs, const PrintTable& table, CodePage cp,
                  const QString& title) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setCopyCount(1);
  printer.setFromTo(1, 1);
  if (!dialogs.Print(parent, printer)) return false;
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    QString file = printer.outputFileName();
    const QString refusal = CheckPdfTarget(file);
    if (!refusal.isEmpty()) {
      dialogs.Message(parent, MessageIcon::Stop, QStringLiteral("错误"), refusal);
      return false;
    }
    printer.setOutputFileName(file);
  }
  // The whole table is printed, whatever range the dialog was given: drawing
  // never skips a page, and the page list and odd/even set that the dialog
  // hands to the print server as job options are taken out again.
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
  DropServerPageChoice(printer);
  PrinterSurface surface(printer);
  switch (PrintResultsTable(surface, table, cp)) {
    case PrintOutcome::Printed:
      return true;
    case PrintOutcome::DoesNotFit:
      dialogs.Message(parent, MessageIcon::Warning, title, Q(kPrintTooWideText));
      return false;
    case PrintOutcome::NotStarted:
      dialogs.Message(parent, MessageIcon::Stop, QStringLiteral("错误"),
                      QString::fromUtf8(kCannotStartText) + DeviceLine(printer));
      return false;
    case PrintOutcome::Failed:
      dialogs.Message(parent, MessageIcon::Stop, QStringLiteral("错误"),
                      QStringLiteral("打印出错，打印的内容可能不完整！\n") + DeviceLine(printer));
      return false;
  }
  return false;
}

}  // namespace tv
