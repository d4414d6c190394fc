// Viewing a row's file, its properties, and the source viewer itself.
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fstream>

#include "reports/result_texts.h"
#include "support/gate.h"
#include "support/process_memory.h"
#include "support/table_file.h"
#include "support/window_session.h"
#include "ui/properties_dialog.h"
#include "ui/source_viewer.h"

using tv::test::AddTableCases;
using tv::test::WindowSession;
using tv::test::WriteBytes;

class ViewerTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString Settings() const { return dir_.filePath(QStringLiteral("Setup.ini")); }

  // Triggers a command: a click on button 1016, a double-click on a display
  // row (-1: on the empty part of the list), else the command by its id.
  static void Trigger(tv::MainWindow& w, const QString& how, int row) {
    tv::SortListCtrl* list = w.Results();
    if (how == "double-click") {
      const QRect cell = row >= 0 ? list->visualRect(list->model()->index(row, 0))
                                  : QRect(5, list->viewport()->height() - 5, 1, 1);
      // A double-click is a click followed by a second press.
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    } else if (how == "1016") {
      w.findChild<QAbstractButton*>(how)->click();
      QCoreApplication::processEvents();  // the command runs once the click has returned
    } else {
      const QAction* item = row >= 0 ? w.PrepareContextMenu()->findChild<QAction*>(how) : nullptr;
      QVERIFY(item == nullptr || item->isEnabled());
      w.RunCommand(how.toInt());
    }
  }

 private slots:
  void init() { QFile::remove(Settings()); }

  void viewAndPropertiesHandTheDesktopTheSelectedRowsFile_data() {
    AddTableCases(QStringLiteral("ui/viewer_commands.tsv"));
  }

  void viewAndPropertiesHandTheDesktopTheSelectedRowsFile() {
    QFETCH(QStringList, c);  // the fields of viewer_commands.tsv
    const auto at = [&](QString p) {
      return p.replace(QLatin1String("@tree"), dir_.path())
          .replace(QLatin1String("@data"), QStringLiteral(TV_TEST_DATA_DIR "/ui/viewer"))
          .replace(QLatin1String("@src"), QStringLiteral(TV_SOURCE_DIR));
    };
    const QString &asked = c[6], file = at(c[3]);
    WriteBytes(at(QStringLiteral("@tree/list.ini")),
               "[Selected Files]\r\nTotalFileNum=1\r\nFile1=" TV_TEST_DATA_DIR
               "/ui/viewer/listed/sub/b.c\r\n");
    if (!c[5].isEmpty())
      WriteBytes(Settings(), c[5].replace(QLatin1Char('|'), "\r\n").toStdString());
    WindowSession s(Settings());
    if (c[0] == "hand-over") s.w.HandOverPath(at(c[1]).toStdString());
    if (c[0] == "none") s.w.Results()->AddResultRow({"/x/a.c", "1", "1", "0", "0", "0.00%"});
    if (c[0].toInt() > 0) {
      s.dialogs.answers.push_back({true, {at(c[1])}, c[2].toInt()});
      s.w.RunCommand(c[0].toInt());
      s.w.RunCommand(1006);
    }
    const int row = s.RowOf(file);
    if (row >= 0) s.w.Results()->SelectRow(row);
    QCOMPARE(s.w.Results()->SelectedRow(), row);
    Trigger(s.w, c[4], row);
    QCOMPARE(s.desktop.Last(), asked == "-" ? QString() : asked + ' ' + file);
    QCOMPARE(s.desktop.calls.size(), size_t{asked != "-"});
    QCOMPARE(s.dialogs.Last(), c[8]);
    if (asked == "-" || asked == "open") return;
    const tv::SourceFile& handed = s.desktop.calls.back().file;
    const tv::ResultRow& texts = s.w.Results()->RowAt(row);
    QCOMPARE(handed.row, texts);
    QCOMPARE(int(handed.family), c[7].toInt());
    if (asked != "view") return;
    tv::SourceViewer viewer(handed);
    QTRY_VERIFY(viewer.ClassesReady());
    QCOMPARE(viewer.windowTitle(), QFileInfo(file).fileName());
    tv::FileTally weighed{.total = viewer.Classes().size()};
    for (tv::LineClass k : viewer.Classes()) tv::Apply(k, weighed);
    const auto n = [&](int column) { return tv::LeadingNumber(texts[column]); };
    QVERIFY(weighed ==
            (tv::FileTally{n(tv::kLines), n(tv::kCode), n(tv::kComment), n(tv::kBlank)}));
    QCOMPARE(uint64_t(viewer.ShownLines()), n(tv::kLines));
    QVERIFY(viewer.CountsText().contains(QString::fromStdString(texts[tv::kRatio])));
    QVERIFY(viewer.StatusText().startsWith(QStringLiteral("分类规则: ") +
                                           tv::FamilyText(handed.family)));
    QCOMPARE(viewer.NoticeText(), QString());
  }

  void shownText_data() { AddTableCases(QStringLiteral("ui/viewer_shown_text.tsv")); }

  void shownText() {
    QFETCH(QStringList, c);  // case, bytes in hex, code page, read as, lines
    const QString path = dir_.filePath(QStringLiteral("shown.c"));
    WriteBytes(path, QByteArray::fromHex(c[1].toLatin1()).toStdString());
    const tv::ShownText shown = tv::ReadShownText(
        path.toStdString(), c[2] == "gbk" ? tv::CodePage::Gbk : tv::CodePage::Utf8, 1 << 20);
    QVERIFY(shown.opened);
    QVERIFY(!shown.cut);
    QCOMPARE(QStringList(shown.lines.begin(), shown.lines.end()), c.mid(4));
    QCOMPARE(shown.utf8, c[3] == "utf-8");
  }

  // A sparse file of 4 GB without a line feed: only the first 8 MB are
  // read, held and classified (the line's class is that of its shown
  // part), and the notice says how much is shown.
  void hugeFileAddsLittleMemory() {
    tv::SourceFile file;
    file.path = dir_.filePath(QStringLiteral("huge.c")).toStdString();
    WriteBytes(QString::fromStdString(file.path), "// head");
    QVERIFY(::truncate(file.path.c_str(), qint64(4) << 30) == 0);
    QVERIFY(tv::test::RestartPeak());
    const qint64 before = tv::test::StatusKb("VmRSS:");
    {
      tv::SourceViewer viewer(file);
      QTRY_VERIFY_WITH_TIMEOUT(viewer.ClassesReady(), 30000);
      QCOMPARE(viewer.LineText(0).size(), tv::SourceViewer::kShownBytes);
      QCOMPARE(viewer.NoticeText(), QStringLiteral("文件共 4.0 GB，只显示前 8.0 MB (1 行)。"));
      QCOMPARE(viewer.Classes(), std::vector<tv::LineClass>{tv::LineClass::Comment});
    }
    const qint64 added = tv::test::StatusKb("VmHWM:") - before;
    QVERIFY2(added < 100 * 1024, qPrintable(QString::number(added)));
  }

  // The window goes at once while its worker is busy; the worker sees the
  // stop and ends alone.
  void closingDoesNotWaitForTheWorker() {
    auto gate = std::make_shared<tv::test::Gate>();
    auto* viewer = new tv::SourceViewer({}, nullptr, [gate](const std::atomic<bool>& stop) {
      gate->Pass(stop);
      return tv::ShownText{};
    });
    QTRY_COMPARE(gate->state, tv::test::Gate::kReached);
    delete viewer;
    gate->state = tv::test::Gate::kOpened;
    QTRY_COMPARE_WITH_TIMEOUT(gate->state, tv::test::Gate::kLeft, 30000);
    QVERIFY(!gate->waited_for && gate->stop_seen);
  }

  // The built-in properties: what the file system says and the row's counts.
  void propertiesDialogShowsTheFileAndItsCounts() {
    tv::SourceFile file;
    // A name in GBK bytes (中文.c) shows as its text and is found by its bytes.
    file.path = dir_.filePath(QStringLiteral("p")).toStdString() + "\xD6\xD0\xCE\xC4.c";
    file.row = {"p.c", "12", "7", "4", "2", "36.36%"};
    std::ofstream(file.path) << std::string(1536, 'x');
    QVERIFY(::chmod(file.path.c_str(), 0640) == 0);
    tv::PropertiesDialog dialog(file);
    QStringList values;
    for (const char* label : {"名称:", "位置:", "大小:", "权限:", "文件行数:", "代码行数:",
                              "注释行数:", "空白行数:", "注释率:"}) {
      values << dialog.Value(QString::fromUtf8(label));
    }
    QCOMPARE(values.join(QLatin1Char('|')),
             "p中文.c|" + dir_.path() + "|1.5 KB (1536 字节)|rw-r----- (0640)|12|7|4|2|36.36%");
    QVERIFY(!dialog.Value(QStringLiteral("修改时间:")).isEmpty());
    QVERIFY(!dialog.Value(QStringLiteral("所有者:")).isEmpty());
    file.path = dir_.filePath(QStringLiteral("gone.c")).toStdString();
    tv::PropertiesDialog gone(file);
    QCOMPARE(gone.Value(QStringLiteral("大小:")), QStringLiteral("文件不存在或无法读取"));
    QCOMPARE(gone.Value(QStringLiteral("权限:")), QString());
  }
};

QTEST_MAIN(ViewerTest)
#include "viewer_test.moc"
