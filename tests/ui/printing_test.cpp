// Printing from the window to a PDF file after a real count, read back with
// pdftotext and pdfinfo (poppler-utils); the checks of the text are in
// tests/data/ui/printed_pdf.tsv.
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
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
};

QTEST_MAIN(PrintingTest)
#include "printing_test.moc"
