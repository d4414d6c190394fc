// Printing from the window to a PDF file after a real count, read back with
// pdftotext and pdfinfo (poppler-utils); the checks of the text are in
// tests/data/ui/printed_pdf.tsv.
#include "ui/printing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/main_window.h"

class PrintingTest : public QObject {
  Q_OBJECT

  static QString Run(const QString& tool, const QStringList& args) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) qFatal("%s not found: install poppler-utils", qPrintable(tool));
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
  }

 private slots:
  void printsCountedRowsToPdf() {
    QTemporaryDir dir;
    for (int i = 0; i < 200; ++i) {
      std::ofstream(dir.filePath(QStringLiteral("f%1.c").arg(i, 3, 10, QChar('0'))).toStdString())
          << "int x; // one\n\n";
    }
    tv::test::ScriptedDialogs dialogs;
    tv::MainWindow w({dir.filePath("Setup.ini").toStdString(), tv::CodePage::Gbk}, dialogs);
    w.show();
    w.HandOverPath(dir.path().toStdString());
    QTRY_COMPARE(w.findChild<QLabel*>("1008")->text(), QStringLiteral("400 (共200个文件)"));
    const QString pdf = dir.filePath("results.pdf");
    // A file that cannot be made is reported; then a good one is printed.
    dialogs.pdf_files = {dir.filePath("f000.c/results.pdf"), pdf};
    w.RunCommand(1031);
    QCOMPARE(dialogs.Last(), "错误: 无法开始打印！\n文件：" + dir.filePath("f000.c/results.pdf"));
    dialogs.calls.clear();
    w.RunCommand(1031);
    QCOMPARE(dialogs.Last(), QStringLiteral("print: copies 1, pages 1 to 1"));

    const QString info = Run("pdfinfo", {pdf});
    const QStringList pages =
        Run("pdftotext", {"-layout", pdf, "-"}).split('\f', Qt::SkipEmptyParts);
    QVERIFY2(info.contains(QRegularExpression("Title: +ListCtrl Data Printing\n")),
             qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages: +%1\n").arg(pages.size()))),
             qPrintable(info));
    // A page holds L lines, page 1 the header, the hyphens and L - 2 rows; in
    // all 209 lines with the three empty ones before the summary.
    const QRegularExpression row(R"(^ *f\d{3}\.c )", QRegularExpression::MultilineOption);
    const qsizetype lines = pages[0].count(row) + 2;
    QCOMPARE(pages.size(), (209 + lines - 1) / lines);
    for (const QStringList& c : tv::test::ReadTable("ui/printed_pdf.tsv")) {
      const QString text = c[0] == "first"  ? pages[0]
                           : c[0] == "last" ? pages.back()
                                            : pages.join("");
      const QRegularExpression pattern(c[1], QRegularExpression::MultilineOption);
      QVERIFY2(text.count(pattern) == c[2].toInt(), qPrintable(c.join(' ')));
    }
  }

  // The real print dialog checks a PDF file before its own check opens it:
  // a FIFO (with a reader, so that nothing can hang) is refused and the
  // dialog stays; a dangling link stays, and the print goes where it leads.
  void printDialogChecksThePdfFileFirst() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.pdf"), link = dir.filePath("link.pdf");
    const QString target = dir.filePath("target.pdf");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0 && QFile::link(target, link));
    for (const QString& file : {fifo, link}) {
      QPrinter printer;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(file);
      QStringList seen;  // what was shown and done: OK is clicked once, then Cancel
      QTimer answer;
      connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
          seen << box->text();
          box->accept();
        } else if (auto* print = qobject_cast<QPrintDialog*>(modal)) {
          seen << (seen.isEmpty() ? "OK" : "Cancel");
          // Queued, so that a message the click shows is answered here too.
          auto* ok = print->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
          QMetaObject::invokeMethod(seen.size() == 1 ? static_cast<QWidget*>(ok) : print,
                                    seen.size() == 1 ? "click" : "reject", Qt::QueuedConnection);
        }
      });
      answer.start(50);
      tv::QtDialogs dialogs;
      QCOMPARE(dialogs.Print(nullptr, printer), file == link);
      QCOMPARE(printer.outputFileName(), file == link ? target : fifo);
      QCOMPARE(seen.join('|'),
               file == link ? QStringLiteral("OK")
                            : QStringLiteral("OK|无法开始打印！\n文件：") + fifo +
                                  QStringLiteral("\ncannot replace: not a regular file|Cancel"));
    }
    QVERIFY(QFileInfo(link).isSymLink());
    ::close(reader);
  }
};

QTEST_MAIN(PrintingTest)
#include "printing_test.moc"
