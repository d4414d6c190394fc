// Viewing a row's file, its properties, and the source viewer itself.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "reports/result_texts.h"
#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "ui/controls/sort_list.h"
#include "ui/main_window.h"
#include "ui/properties_dialog.h"
#include "ui/source_viewer.h"

using tv::MainWindow;
using tv::test::RecordingDesktop;
using tv::test::ScriptedDialogs;

namespace {

void Write(const QString& path, std::string_view bytes) {
  QDir().mkpath(QFileInfo(path).path());
  std::ofstream out(path.toStdString(), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const QString kNoFile = QStringLiteral("错误: 请先选择查看的文件！");

}  // namespace

class ViewerTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString Settings() const { return dir_.filePath(QStringLiteral("Setup.ini")); }

  static void WaitForRun(MainWindow& w) {
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsRunStarted(), 20000);
    QTest::qWait(50);  // the run's last queued rows
  }

  // Triggers a command: a click on button 1016, a double-click on a display
  // row (-1: on the empty part of the list), else the command by its id.
  static void Trigger(MainWindow& w, const QString& how, int row) {
    tv::SortListCtrl* list = w.Results();
    if (how == QLatin1String("double-click")) {
      const QRect cell = row >= 0 ? list->visualRect(list->model()->index(row, 0))
                                  : QRect(5, list->viewport()->height() - 5, 1, 1);
      // A double-click is a click followed by a second press.
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    } else if (how == QLatin1String("1016")) {
      w.findChild<QAbstractButton*>(how)->click();
    } else {
      if (row >= 0) {
        QVERIFY(w.PrepareContextMenu()->findChild<QAction*>(how) == nullptr ||
                w.PrepareContextMenu()->findChild<QAction*>(how)->isEnabled());
      }
      w.RunCommand(how.toInt());
    }
  }

 private slots:
  void init() { QFile::remove(Settings()); }

  // Every trigger hands the desktop the row's own file: a row of a file
  // pick (its name only) and a row of a selection file (its full path),
  // to the viewer or, with "ViewDefaultProg" on, to the associated program.
  void viewOpensTheRowsFile_data() {
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("expected");
    struct Row {
      const char* selection;
      const char* how;
      const char* setting;
      const char* expected;
    } rows[] = {
        {"pick", "1016", nullptr, "view"},
        {"pick", "32792", "0", "view"},
        {"pick", "32771", "", "view"},
        {"pick", "double-click", "1", "open"},
        {"selection file", "1016", "1", "open"},
        {"selection file", "double-click", nullptr, "view"},
        {"selection file", "32774", "1", "properties"},
        {"pick", "32774", nullptr, "properties"},
        {"group member", "1016", nullptr, "view"},
        {"group member", "32774", nullptr, "properties"},
    };
    for (const Row& r : rows) {
      QTest::addRow("%s %s %s", r.selection, r.how, r.setting ? r.setting : "missing")
          << r.selection << r.how << (r.setting ? QString::fromUtf8(r.setting) : QString())
          << r.expected;
    }
  }

  void viewOpensTheRowsFile() {
    QFETCH(QString, selection);
    QFETCH(QString, how);
    QFETCH(QString, setting);
    QFETCH(QString, expected);
    QTemporaryDir tree;
    const QString picked = tree.filePath(QStringLiteral("pick dir/a.c"));
    const QString listed = tree.filePath(QStringLiteral("listed/sub/b.c"));
    Write(picked, "int a; // one\n");
    Write(listed, "int b;\n\n");
    std::string ini = "[OTHER]\r\n";
    if (!setting.isNull()) ini += "ViewDefaultProg=" + setting.toStdString() + "\r\n";
    Write(Settings(), ini);
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.SetDesktop(desktop);
    w.show();
    // The file each kind of selection should open, and its family.
    QString file = picked;
    tv::LanguageFamily family = tv::LanguageFamily::CFamily;
    if (selection == QLatin1String("pick")) {
      dialogs.answers.push_back({true, {picked}, 3});  // C/C++ source files
      w.RunCommand(1012);
    } else if (selection == QLatin1String("group member")) {
      // A member of a project of the group, in a subfolder: its row shows
      // only the name.
      const QString vb = QStringLiteral(TV_SOURCE_DIR "/examples/projects/vb/");
      dialogs.answers.push_back({true, {vb + QStringLiteral("group.vbg")}, 7});
      w.RunCommand(1012);
      file = vb + QStringLiteral("sub/Tools.bas");
      family = tv::LanguageFamily::Basic;
    } else {
      const QString list = tree.filePath(QStringLiteral("list.ini"));
      Write(list, "[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + listed.toStdString() + "\r\n");
      dialogs.answers.push_back({true, {list}, 0});
      w.RunCommand(32796);
      file = listed;
    }
    w.RunCommand(1006);
    WaitForRun(w);
    int row = -1;
    for (int i = 0; i < w.Results()->RowCount(); ++i) {
      if (QString::fromStdString(w.Results()->RowAt(i)[tv::kName])
              .endsWith(QFileInfo(file).fileName())) {
        row = i;
      }
    }
    QVERIFY(row >= 0);
    w.Results()->SelectRow(row);
    Trigger(w, how, row);
    QCOMPARE(desktop.Last(), expected + QLatin1Char(' ') + file);
    QCOMPARE(desktop.calls.size(), size_t{1});
    if (expected != QLatin1String("open")) {
      QCOMPARE(desktop.calls.back().file.row, w.Results()->RowAt(row));
      QCOMPARE(desktop.calls.back().file.family, family);
    }
    QCOMPARE(dialogs.Last(), QStringLiteral("open: ") + dialogs.calls.back().text);
  }

  // With rows but none selected: the button and the menu-bar items say so,
  // the list's menu item and a double-click on the empty part do nothing.
  void noSelectedRow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");
    QTest::newRow("button 1016") << "1016" << kNoFile;
    QTest::newRow("menu 32792") << "32792" << kNoFile;
    QTest::newRow("menu 32774") << "32774" << kNoFile;
    QTest::newRow("list menu 32771") << "32771" << QString();
    QTest::newRow("double-click") << "double-click" << QString();
  }

  void noSelectedRow() {
    QFETCH(QString, how);
    QFETCH(QString, message);
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.SetDesktop(desktop);
    w.show();
    w.Results()->AddResultRow(tv::ResultRow("/x/a.c", "1", "1", "0", "0", "0.00%"));
    QCOMPARE(w.Results()->SelectedRow(), -1);
    Trigger(w, how, -1);
    QCOMPARE(dialogs.Last(), message);
    QCOMPARE(desktop.Last(), QString());
  }

  // One sample per family, counted by a real run of the sample tree: the
  // viewer's lines, each weighed as its tint's class counts, give the row.
  void tintsAddUpToTheRow_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("family");
    QTest::newRow("c") << "c/hello.c" << int(tv::LanguageFamily::CFamily);
    QTest::newRow("sql") << "sql/schema.sql" << int(tv::LanguageFamily::Sql);
    QTest::newRow("pascal") << "pascal/Unit1.pas" << int(tv::LanguageFamily::Pascal);
    QTest::newRow("basic") << "basic/Module1.bas" << int(tv::LanguageFamily::Basic);
    QTest::newRow("asm") << "asm/start.asm" << int(tv::LanguageFamily::Assembly);
  }

  void tintsAddUpToTheRow() {
    QFETCH(QString, file);
    QFETCH(int, family);
    const QString examples = QStringLiteral(TV_SOURCE_DIR "/examples");
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.SetDesktop(desktop);
    w.HandOverPath(examples);
    WaitForRun(w);
    const QString path = examples + QLatin1Char('/') + file;
    int row = -1;
    for (int i = 0; i < w.Results()->RowCount(); ++i) {
      if (QString::fromStdString(w.Results()->RowAt(i).path) == path) row = i;
    }
    QVERIFY2(row >= 0, qPrintable(path));
    w.Results()->SelectRow(row);
    w.RunCommand(1016);
    QCOMPARE(desktop.calls.size(), size_t{1});
    const tv::SourceFile& handed = desktop.calls.back().file;
    QCOMPARE(int(handed.family), family);

    tv::SourceViewer viewer(handed);
    QTRY_VERIFY(viewer.ClassesReady());
    QCOMPARE(viewer.windowTitle(), QFileInfo(path).fileName());
    tv::FileTally weighed;
    for (tv::LineClass c : viewer.Classes()) tv::Apply(c, weighed);
    const tv::ResultRow& texts = w.Results()->RowAt(row);
    QCOMPARE(uint64_t(viewer.ShownLines()), tv::LeadingNumber(texts[tv::kLines]));
    QCOMPARE(uint64_t(viewer.Classes().size()), tv::LeadingNumber(texts[tv::kLines]));
    QCOMPARE(weighed.code, tv::LeadingNumber(texts[tv::kCode]));
    QCOMPARE(weighed.comment, tv::LeadingNumber(texts[tv::kComment]));
    QCOMPARE(weighed.blank, tv::LeadingNumber(texts[tv::kBlank]));
    QVERIFY(viewer.CountsText().contains(QString::fromStdString(texts[tv::kRatio])));
    QVERIFY(viewer.StatusText().startsWith(QStringLiteral("分类规则: ") +
                                           tv::FamilyText(tv::LanguageFamily(family))));
    QCOMPARE(viewer.NoticeText(), QString());
  }

  // What the viewer shows of the bytes: UTF-8 when the file is valid UTF-8,
  // else the ANSI code page; tabs and control characters made visible.
  void shownText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("gbk");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("utf-8") << QByteArray("// \xE4\xB8\xAD\r\nx;\n") << true
                           << QStringList{QStringLiteral("// 中"), QStringLiteral("x;")} << true;
    QTest::newRow("gbk") << QByteArray("// \xD6\xD0\n\n") << true
                         << QStringList{QStringLiteral("// 中"), QString()} << false;
    QTest::newRow("invalid under utf-8")
        << QByteArray(
               "a\xFF"
               "b")
        << false << QStringList{QStringLiteral("a\uFFFDb")} << false;
    QTest::newRow("tabs and controls")
        << QByteArray("\tx\ty\r z\x01") << true
        << QStringList{QStringLiteral("    x   y\u240D z\u2401")} << true;
    QTest::newRow("end-of-file byte")
        << QByteArray(
               "a\nb\x1A"
               "c\n")
        << true << QStringList{QStringLiteral("a"), QStringLiteral("b")} << true;
  }

  void shownText() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, gbk);
    QFETCH(QStringList, lines);
    QFETCH(bool, utf8);
    const QString path = dir_.filePath(QStringLiteral("shown.c"));
    Write(path, std::string_view(bytes.constData(), size_t(bytes.size())));
    const tv::ShownText shown =
        tv::ReadShownText(path, gbk ? tv::CodePage::Gbk : tv::CodePage::Utf8, 1 << 20);
    QVERIFY(shown.opened);
    QVERIFY(!shown.cut);
    QCOMPARE(QStringList(shown.lines.begin(), shown.lines.end()), lines);
    QCOMPARE(shown.utf8, utf8);
  }

  // A one-line file over the limit: the first 8 MB shown, the notice says
  // how much, and the one line still gets the class of the whole line.
  void largeOneLineFileIsCut() {
    const QString path = dir_.filePath(QStringLiteral("big.c"));
    const qint64 size = tv::SourceViewer::kShownBytes + 3 * 1024 * 1024;
    {
      std::string bytes(size_t(size), 'x');
      bytes.replace(bytes.size() - 8, 8, "// tail");
      Write(path, bytes);
    }
    tv::SourceFile file;
    file.path = path;
    file.row = {"big.c", "1", "1", "1", "0", "50.00%"};
    tv::SourceViewer viewer(file);
    viewer.show();
    QTRY_VERIFY_WITH_TIMEOUT(viewer.ClassesReady(), 30000);
    QCOMPARE(viewer.ShownLines(), 1);
    QCOMPARE(viewer.LineText(0).size(), tv::SourceViewer::kShownBytes);
    QCOMPARE(viewer.NoticeText(), QStringLiteral("文件共 11.0 MB，只显示前 8.0 MB (1 行)。"));
    QCOMPARE(viewer.Classes(), std::vector<tv::LineClass>{tv::LineClass::CodeAndComment});
    // TV_VIEWER_BIG_MB=200 times a file of that size (reported, never asserted).
    const int big_mb = qEnvironmentVariableIntValue("TV_VIEWER_BIG_MB");
    if (big_mb > 0) {
      Write(path, std::string(size_t(big_mb) << 20, 'x'));
      QElapsedTimer timer;
      timer.start();
      tv::SourceViewer big(file);
      big.show();
      QCoreApplication::processEvents();
      const qint64 shown_ms = timer.elapsed();
      QTRY_VERIFY_WITH_TIMEOUT(big.TextReady(), 60000);
      const qint64 text_ms = timer.elapsed();
      QTRY_VERIFY_WITH_TIMEOUT(big.ClassesReady(), 60000);
      qInfo("%d MB one-line file: window shown %lld ms, text %lld ms, classes %lld ms", big_mb,
            static_cast<long long>(shown_ms), static_cast<long long>(text_ms),
            static_cast<long long>(timer.elapsed()));
    }
  }

  // Several viewers stay open side by side; closing the window closes them.
  void closingTheWindowClosesItsViewers() {
    const QString a = dir_.filePath(QStringLiteral("a.c")),
                  b = dir_.filePath(QStringLiteral("b.c"));
    Write(a, "a;\n");
    Write(b, "b;\n");
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.show();
    for (const QString& path : {a, b}) {
      tv::ResultRow row(path.toStdString(), "1", "1", "0", "0", "0.00%");
      row.path = path.toStdString();
      w.Results()->AddResultRow(row);
    }
    for (int row : {0, 1}) {
      w.Results()->SelectRow(row);
      w.RunCommand(1016);
    }
    const QList<tv::SourceViewer*> viewers = w.findChildren<tv::SourceViewer*>();
    QCOMPARE(viewers.size(), 2);
    QCOMPARE(QStringList({viewers[0]->windowTitle(), viewers[1]->windowTitle()}),
             QStringList({QStringLiteral("a.c"), QStringLiteral("b.c")}));
    for (auto* v : viewers) QVERIFY(v->isVisible() && v->isWindow());
    w.close();
    QTRY_COMPARE(w.findChildren<tv::SourceViewer*>().size(), 0);
  }

  // The built-in properties: what the file system says and the row's counts.
  void propertiesDialogShowsTheFileAndItsCounts() {
    const QString path = dir_.filePath(QStringLiteral("p.c"));
    Write(path, std::string(1536, 'x'));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    tv::SourceFile file;
    file.path = path;
    file.row = {"p.c", "12", "7", "4", "2", "36.36%"};
    struct Case {
      const char* label;
      QString value;
    } cases[] = {
        {"名称:", QStringLiteral("p.c")},
        {"位置:", QFileInfo(path).absolutePath()},
        {"大小:", QStringLiteral("1.5 KB (1536 字节)")},
        {"权限:", QStringLiteral("rw-r----- (0640)")},
        {"文件行数:", QStringLiteral("12")},
        {"代码行数:", QStringLiteral("7")},
        {"注释行数:", QStringLiteral("4")},
        {"空白行数:", QStringLiteral("2")},
        {"注释率:", QStringLiteral("36.36%")},
    };
    tv::PropertiesDialog dialog(file);
    for (const Case& c : cases) QCOMPARE(dialog.Value(QString::fromUtf8(c.label)), c.value);
    QVERIFY(!dialog.Value(QStringLiteral("修改时间:")).isEmpty());
    QVERIFY(!dialog.Value(QStringLiteral("所有者:")).isEmpty());
    file.path = dir_.filePath(QStringLiteral("gone.c"));
    tv::PropertiesDialog gone(file);
    QCOMPARE(gone.Value(QStringLiteral("大小:")), QStringLiteral("文件不存在或无法读取"));
    QCOMPARE(gone.Value(QStringLiteral("权限:")), QString());
  }
};

QTEST_MAIN(ViewerTest)
#include "viewer_test.moc"
