// Saving from the window with scripted dialogs and real files.
#include "ui/save_results.h"

#include <sys/stat.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "reports/excel_driver.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/controls/sort_list.h"
#include "ui/main_window.h"

namespace {

// The rows of the golden reports under tests/data/reports.
const tv::BatchResults kSample = {
    {{"/src/a.c", "10", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", "25.00%"},
     {"/src/x<y>&\"z\",1.c", "0", "0", "0", "0", "0.00%"}},
    {"10 (共2个文件)", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)",
     "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )"}};

// The kind of entry at `path`, or the golden report its file equals once
// its time stamp is the golden one.
QString Holds(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink() || !info.isFile()) {
    return info.isSymLink() ? "link" : info.isDir() ? "folder" : info.exists() ? "fifo" : "nothing";
  }
  const QByteArray bytes =
      QString::fromLatin1(tv::test::ReadBytes(path))
          .replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"),
                   "2007-05-09 14:03:07")
          .toLatin1();
  for (QString name :
       {"report-gbk.htm", "report-gbk.csv", "report-gbk.txt", "report-gbk-short.txt"}) {
    const QByteArray golden = tv::test::ReadBytes(TV_TEST_DATA_DIR "/reports/" + name);
    if (bytes == golden || bytes == "old" + golden) return bytes == golden ? name : "old+" + name;
  }
  if (bytes.startsWith("{\"program\":\"tallyvane\"")) return "json";
  return bytes == "old" ? "old" : bytes.startsWith("\xD0\xCF\x11\xE0") ? "xls" : "other";
}

}  // namespace

class SaveResultsTest : public QObject {
  Q_OBJECT

 private slots:
  void cases_data() {
    QTest::addColumn<QStringList>("c");
    for (const QStringList& row : tv::test::ReadTable("ui/save_results.tsv")) {
      QTest::newRow(qPrintable(row.mid(0, 4).join(' '))) << row;
    }
  }

  void cases() {
    QFETCH(QStringList, c);
    QTemporaryDir dir;
    const QString typed = c[1], before = c[2], saved = dir.filePath(c[6]);
    if (typed.contains('/') && !typed.startsWith("no/")) QDir().mkpath(QFileInfo(saved).path());
    if (before == "old") std::ofstream(saved.toStdString()) << "old";
    if (before == "folder") QDir().mkpath(saved);
    if (before == "fifo") ::mkfifo(QFile::encodeName(saved).constData(), 0644);
    if (before == "device" || before == "dangling") {
      QFile::link(before == "device" ? "/dev/null" : dir.filePath("missing/x"), saved);
    }
    tv::test::ScriptedDialogs dialogs;
    const int filter = int(QString("htm xls csv txt json").indexOf(c[0]) / 4);
    if (typed != "-") dialogs.saves.push_back({true, dir.filePath(typed), filter});
    if (c[3] != "-") dialogs.yes_no.push_back(c[3] == "yes");
    tv::BatchResults results = kSample;
    if (c[4] == "long") results.rows[1][tv::kName] = std::string(40000, 'n');
    bool counted_first = false;  // the rows are counted before the dialog opens
    tv::SaveResultsCommand(nullptr, dialogs,
                           {[&] { return counted_first = dialogs.calls.empty(), 2; },
                            [&](int count) { return count == 2 ? results : tv::BatchResults{}; }},
                           {tv::CodePage::Gbk, dir.path(),
                            c[4] == "bare" ? std::vector<std::string>{} : tv::InstalledDrivers()});
    QStringList calls;
    for (const auto& call : dialogs.calls) {
      const QString icon = QString("-i-sq").at(int(call.icon)) + QString(" ");
      if (call.caption != "save")
        calls << icon + call.caption + ": " + QString(call.text).replace('\n', "\\n");
    }
    QCOMPARE(calls.isEmpty() ? "-" : calls.join(" / "), c[7]);
    QCOMPARE(Holds(saved), c[8]);
    QVERIFY(counted_first);
  }

  // The window's save dialog: title, filters, the home folder first and no
  // overwrite question of its own; the rows go out in the order shown, with
  // the totals, and the saved message follows.
  void window() {
    QTemporaryDir dir;
    tv::QtDialogs dialogs;
    tv::MainWindow w({dir.filePath("Setup.ini").toStdString(), tv::CodePage::Gbk}, dialogs);
    w.Results()->AddResultRow(kSample.rows[1]);
    w.Results()->AddResultRow(kSample.rows[0]);
    w.Results()->SortBy(tv::kName, true);
    const tv::SummaryTexts& s = kSample.summary;
    const std::string* totals[] = {&s.lines, &s.code, &s.comment, &s.blank, &s.ratio};
    for (int i = 0; i < 5; ++i) {
      w.findChild<QLabel*>(QString::number(i < 4 ? 1008 + i : 1051))->setText(totals[i]->c_str());
    }
    QString seen;
    QTimer::singleShot(100, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      seen = dialog->windowTitle() + " " + dialog->nameFilters().join('|') + " " +
             dialog->directory().absolutePath() +
             (dialog->testOption(QFileDialog::DontConfirmOverwrite) ? "" : " asks");
      dialog->setDirectory(dir.path());
      dialog->selectNameFilter(dialog->nameFilters().at(2));
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("r");
      QTimer::singleShot(100,
                         [&] { seen += " " + QApplication::activeModalWidget()->windowTitle(); });
      QTimer::singleShot(150, [] { QApplication::activeModalWidget()->close(); });
      QMetaObject::invokeMethod(dialog, "accept");
    });
    w.RunCommand(1015);
    QCOMPARE(
        seen,
        "请指定存盘文件名 HTML Files(*.htm)|EXCEL Files(*.xls)|CSV Files(*.csv)|TXT Files(*.txt)|"
        "JSON Files(*.json) " +
            QDir::homePath() + " 提示");
    QCOMPARE(Holds(dir.filePath("r.csv")), "report-gbk.csv");
  }
};

QTEST_MAIN(SaveResultsTest)
#include "save_results_test.moc"
