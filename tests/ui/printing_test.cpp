// Printing from the window to a PDF file after a real count, read back with
// pdftotext and pdfinfo (poppler-utils).
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "support/scripted_dialogs.h"
#include "ui/controls/sort_list.h"
#include "ui/main_window.h"

using tv::MainWindow;
using tv::test::ScriptedDialogs;

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
  // 200 counted files, printed to a PDF or to a file that cannot be made.
  void printsToPdf_data() {
    QTest::addColumn<QString>("pdf");      // inside the temporary folder
    QTest::addColumn<QString>("message");  // "" for none; %1 is the PDF's path
    QTest::newRow("printed") << "results.pdf"
                             << "";
    QTest::newRow("folder is a file") << "f000.c/results.pdf"
                                      << "错误: 无法开始打印！\n文件：%1";
  }

  void printsToPdf() {
    QFETCH(QString, pdf);
    QFETCH(QString, message);
    QTemporaryDir dir;
    for (int i = 0; i < 200; ++i) {
      std::ofstream(
          dir.filePath(QStringLiteral("f%1.c").arg(i, 3, 10, QLatin1Char('0'))).toStdString())
          << "int x; // one\n\n";
    }
    ScriptedDialogs dialogs;
    MainWindow w({dir.filePath(QStringLiteral("Setup.ini")).toStdString(), tv::CodePage::Gbk},
                 dialogs);
    w.show();
    w.HandOverPath(dir.path());
    QTRY_COMPARE(w.findChild<QLabel*>(QStringLiteral("1008"))->text(),
                 QStringLiteral("400 (共200个文件)"));
    QCOMPARE(w.Results()->RowCount(), 200);
    const QString path = dir.filePath(pdf);
    dialogs.pdf_files = {path};
    w.RunCommand(1031);
    QCOMPARE(dialogs.calls.front().text, QStringLiteral("copies 1, pages 1 to 1"));
    QCOMPARE(dialogs.calls.back().caption + ": " + dialogs.calls.back().text,
             message.isEmpty() ? dialogs.calls.front().caption + ": " + dialogs.calls.front().text
                               : message.arg(path));
    if (!message.isEmpty()) return;
    if (qEnvironmentVariableIsSet("TV_KEEP_PDF")) QFile::copy(path, qgetenv("TV_KEEP_PDF"));

    const QString info = Run(QStringLiteral("pdfinfo"), {path});
    QVERIFY2(info.contains(QRegularExpression("Title: +ListCtrl Data Printing\n")),
             qPrintable(info));
    const QStringList pages =
        Run(QStringLiteral("pdftotext"), {"-layout", path, "-"}).split('\f', Qt::SkipEmptyParts);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages: +%1\n").arg(pages.size()))),
             qPrintable(info));
    // The header once, on page 1; every page full of rows (L of them, page 1
    // two fewer) until the rows run out; the summary after them.
    QVERIFY(pages[0].contains(
        QRegularExpression("文件名称 +文件行数 +代码行数 +注释行数 +空白行数 +注释率")));
    QVERIFY(pages[0].contains(QString(96, '-')));
    const QRegularExpression row("^ *f\\d{3}\\.c +2 +1 .*%$", QRegularExpression::MultilineOption);
    const int per_page = static_cast<int>(pages[0].count(row)) + 2;
    int rows = 0;
    for (int p = 0; p < pages.size(); ++p) {
      const int here = static_cast<int>(pages[p].count(row));
      QCOMPARE(pages[p].count(QStringLiteral("文件名称")), p == 0 ? 1 : 0);
      if (rows + here < 200) QCOMPARE(here, p == 0 ? per_page - 2 : per_page);
      rows += here;
    }
    QCOMPARE(rows, 200);
    // 209 lines in all: header, hyphens, the rows, three empty lines, the summary.
    QCOMPARE(pages.size(), (209 + per_page - 1) / per_page);
    QVERIFY(!pages.join("").contains(dir.path()));  // names without folders
    QVERIFY(pages.back().contains(QRegularExpression(
        "程序行总数：400 "
        "\\(共200个文件\\)\\s+代码行总数：200 .*\\s+注释行总数：200 .*\\s+空白行总数：200 ")));
    qInfo("%d pages of %d lines", static_cast<int>(pages.size()), per_page);
  }
};

QTEST_MAIN(PrintingTest)
#include "printing_test.moc"
