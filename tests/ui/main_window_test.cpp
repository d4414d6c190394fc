// The main window driven through its real commands, with scripted dialogs.
#include "ui/main_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <future>

#include "platform/single_instance.h"
#include "reports/results.h"
#include "runs/selection_files.h"
#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/controls/sort_list.h"
#include "ui/find_dialog.h"

using tv::MainWindow;
using tv::test::ScriptedDialogs;
using tv::test::WriteBytes;

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString Settings() const { return dir_.filePath(QStringLiteral("Setup.ini")); }
  tv::WindowSettings WindowSettings() const {
    return {Settings().toStdString(), tv::CodePage::Gbk};
  }

  // Presses item `id` of an open popup menu as a screen reader would: the
  // menu is found among its window's children and the item by its text.
  static void PressMenuItem(QMenu* menu, const QString& id) {
    QVERIFY(menu->isVisible());
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(menu->parentWidget());
    QAccessibleInterface* shown =
        window->child(window->indexOfChild(QAccessible::queryAccessibleInterface(menu)));
    QVERIFY(shown != nullptr && shown->object() == menu && shown->parent() == window);
    for (int i = 0; i < shown->childCount(); ++i) {
      if (shown->child(i)->text(QAccessible::Name) == menu->findChild<QAction*>(id)->text())
        shown->child(i)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
  }

  // Gives a command by its object name: a button, a menu-bar item, an item
  // of the directory button's menu or of the list's menu, or a key.
  static void Trigger(MainWindow& w, const QString& how, const QString& id) {
    if (how == "Return" || how == "Escape") {
      QWidget* target = id == "102" ? &w : w.findChild<QWidget*>(id);
      target->setFocus();
      QTest::keyClick(target, how == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    } else if (how == QLatin1String("button")) {
      w.findChild<QAbstractButton*>(id)->click();
    } else if (how == QLatin1String("219")) {
      w.findChild<QAbstractButton*>(QStringLiteral("1013"))->click();
      PressMenuItem(w.findChild<QMenu*>(QStringLiteral("219")), id);
    } else if (how == QLatin1String("132")) {
      auto* viewport = static_cast<tv::SortListCtrl*>(w.findChild<QWidget*>("1002"))->viewport();
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                              viewport->mapToGlobal(QPoint(5, 5)));
      QCoreApplication::sendEvent(viewport, &event);
      PressMenuItem(w.findChild<QMenu*>(QStringLiteral("132")), id);
    } else {
      w.menuBar()->findChild<QAction*>(id)->trigger();
    }
  }

 private slots:
  void init() { QFile::remove(Settings()); }

  void commands_data() {
    QTest::addColumn<QStringList>("command");  // how, id, holds, idle, counting, after
    for (const QStringList& row : tv::test::ReadTable("ui/main_window_commands.tsv")) {
      QTest::newRow(qPrintable(row.mid(0, 3).join(QLatin1Char(' ')))) << row;
    }
  }

  void commands() {
    QFETCH(QStringList, command);
    for (bool in_count : {false, true}) {
      ScriptedDialogs dialogs;
      tv::test::RecordingDesktop desktop;
      MainWindow w(WindowSettings(), dialogs);
      w.SetDesktop(desktop);
      w.show();
      if (command[2] == "rows") w.Results()->AddResultRow({"a.c", "1", "1", "0", "0", "0.00%"});
      if (command[2] != "-") w.findChild<QLineEdit*>("1000")->setText("a.c");
      if (command[0] == QLatin1String("132")) w.Results()->SelectRow(0);
      w.Flags().counting = in_count ? 1 : 0;
      Trigger(w, command[0], command[1]);
      QVERIFY(dialogs.calls.empty());  // the command waits until the click has returned
      QCoreApplication::processEvents();
      QCOMPARE(dialogs.Last(), command[in_count ? 4 : 3]);
      QCOMPARE(dialogs.calls.size(), dialogs.Last().isEmpty() ? size_t{0} : size_t{1});
      auto* find = w.findChild<tv::FindDialog*>(QStringLiteral("196"));
      QCOMPARE(find != nullptr && find->isVisible() && find->isModal(), command[5] == "find");
      if (find != nullptr) find->close();
      QCOMPARE(w.isVisible(), command[5] != QLatin1String("close"));
    }
  }

  // The single-directory command after an earlier single-directory pick of folder "a" (one file):
  // the chooser's answer, then what start counts. A saved folder list ("c", three files) is what
  // a lost single-directory flag would count instead.
  void singleDirectory_data() {
    QTest::addColumn<QString>("answer");   // "" cancels the chooser
    QTest::addColumn<QString>("message");  // "" for none
    QTest::addColumn<QString>("shown");    // the folder edit 1000 shows afterwards
    QTest::addColumn<int>("rows");         // the files the start then counts
    const QString root = QStringLiteral("错误: 请选择一个文件目录而不是盘符！");
    QTest::newRow("another folder") << "b" << QString() << "b" << 2;
    QTest::newRow("cancelled") << QString() << QString() << "a" << 1;
    QTest::newRow("the root refused") << "/" << root << "a" << 1;
    QTest::newRow("the root spelt longer") << "//" << root << "a" << 1;
    // The folder tree (32803) answers with the selection's text; it saved the list "c".
    QTest::newRow("the folder tree")
        << "tree:已选择 1 个统计目录:" << QString() << "已选择 1 个统计目录:" << 3;
    QTest::newRow("the folder tree cancelled") << "tree:" << QString() << "a" << 1;
  }

  void singleDirectory() {
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(int, rows);
    QTemporaryDir tree;
    for (const char* f : {"a/1.c", "b/1.c", "b/2.c", "c/1.c", "c/2.c", "c/3.c"}) {
      WriteBytes(tree.filePath(QString::fromLatin1(f)), "int x;\n");
    }
    auto in_tree = [&](const QString& name) {
      return name.isEmpty() || name.startsWith(QLatin1Char('/')) ? name : tree.filePath(name);
    };
    WriteBytes(Settings(), "[CURRENT PATH]\r\nPath2=/remembered/folder\r\n");
    ScriptedDialogs dialogs;
    MainWindow w(WindowSettings(), dialogs);
    w.show();
    QVERIFY(tv::WriteFolderList(Settings().toStdString(), {tree.filePath("c").toStdString()},
                                tv::CodePage::Gbk));
    auto* edit = w.findChild<QLineEdit*>(QStringLiteral("1000"));
    const bool folder_tree = answer.startsWith(QStringLiteral("tree:"));
    dialogs.folders = {tree.filePath("a"), in_tree(answer)};
    if (folder_tree) dialogs.folder_trees = {answer.mid(5)};
    w.RunCommand(32777);
    QCOMPARE(dialogs.calls.back().request.initial_folder, QStringLiteral("/remembered/folder"));
    QCOMPARE(edit->text(), tree.filePath("a"));
    QVERIFY(w.findChild<QAbstractButton*>(QStringLiteral("1006"))->isEnabled());
    // Rows of an earlier run go only when a folder is accepted.
    w.Results()->AddResultRow(tv::ResultRow("old.c", "1", "1", "0", "0", "0.00%"));
    dialogs.calls.clear();
    w.RunCommand(folder_tree ? 32803 : 32802);
    QCOMPARE(dialogs.calls.front().caption, folder_tree ? "folder tree" : "folder");
    QCOMPARE(dialogs.calls.size(), message.isEmpty() ? size_t{1} : size_t{2});
    if (!message.isEmpty()) {
      QCOMPARE(dialogs.Last(), message);
      QCOMPARE(dialogs.calls.back().icon, tv::MessageIcon::Stop);
    }
    QCOMPARE(edit->text(), shown.startsWith(QStringLiteral("已")) ? shown : in_tree(shown));
    QCOMPARE(w.Results()->RowCount(), shown == QLatin1String("a") ? 1 : 0);
    w.RunCommand(1006);
    QVERIFY(w.IsRunStarted());
    w.WaitForRun();
    // The totals appear when the run's last queued calls have arrived.
    QTRY_COMPARE(w.findChild<QLabel*>(QStringLiteral("1008"))->text(),
                 QStringLiteral("%1 (共%1个文件)").arg(rows));
    QCOMPARE(w.Results()->RowCount(), rows);
    std::ifstream settings(Settings().toStdString());
    const std::string text((std::istreambuf_iterator<char>(settings)), {});
    if (!shown.startsWith(QStringLiteral("已")))
      QVERIFY2(text.find("Path2=" + in_tree(shown).toStdString()) != std::string::npos,
               text.c_str());
  }

  // A handed-over run, held or not after its second file by the test gate, ends with the normal
  // cursor, rows, notice, totals and bar; a held one shows the bar move and stops on a press.
  void runs_data() {
    QTest::addColumn<QString>("files");     // the folder's files, ";"-separated
    QTest::addColumn<QString>("progress");  // ShowProcPercent
    QTest::addColumn<bool>("held");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("message");  // the notice at the end, if any
    QTest::addColumn<QString>("totals");   // field 1008 at the end
    QTest::addColumn<int>("bar");          // the bar's value at the end
    const QString none = QStringLiteral("提示: 没有适合的统计类型文件！");
    QTest::newRow("bar") << "a.c;b.pas"
                         << "1" << false << 2 << ""
                         << "4 (共2个文件)" << 10000;
    QTest::newRow("no bar") << "a.c;b.pas"
                            << "0" << false << 2 << ""
                            << "4 (共2个文件)" << 0;
    QTest::newRow("nothing to count") << "readme.txt"
                                      << "1" << false << 0 << none << "" << 0;
    QTest::newRow("held, bar") << "a.c;b.c;c.c;d.c"
                               << "1" << true << 2 << ""
                               << "用户中断" << 10000;
    QTest::newRow("held, no bar") << "a.c;b.c;c.c;d.c"
                                  << "0" << true << 2 << ""
                                  << "用户中断" << 0;
  }

  void runs() {
    QFETCH(QString, files);
    QFETCH(QString, progress);
    QFETCH(bool, held);
    QTemporaryDir tree;
    for (const QString& f : files.split(QLatin1Char(';')))
      WriteBytes(tree.filePath(f), "int x; // one\n\n");
    WriteBytes(Settings(), "[OTHER]\r\nShowProcPercent=" + progress.toStdString() + "\r\n");
    ScriptedDialogs dialogs;
    MainWindow w(WindowSettings(), dialogs);
    w.show();
    std::promise<void> reached, go_on;
    std::shared_future<void> released = go_on.get_future().share();
    auto release = qScopeGuard([&] { go_on.set_value(); });  // before the window goes
    w.SetRunGate([&](size_t accepted) {
      if (held && accepted == 2) {
        reached.set_value();
        released.wait();
      }
    });
    w.HandOverPath(tree.path().toStdString());
    QCOMPARE(w.cursor().shape(), Qt::WaitCursor);  // until the run's end arrives
    if (held) {
      reached.get_future().wait();  // the run holds after its second file
      QTRY_COMPARE(w.Results()->RowCount(), 2);
      QTest::qWait(120);  // a few ticks of the bar's timer
      const int bar = w.BarValue();
      QVERIFY2(progress == "1" ? bar > 0 && bar < 10000 : bar == 0,
               qPrintable(QString::number(bar)));
      w.RunCommand(1006);  // the second press stops the run
      QVERIFY(w.Flags().stop_request != 0);
      release.dismiss();
      go_on.set_value();
    }
    QTRY_COMPARE(w.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(w.findChild<QAbstractButton*>("1006")->text(), QStringLiteral("开始统计"));
    QVERIFY(!w.IsRunStarted());
    QTEST(w.Results()->RowCount(), "rows");
    QTEST(dialogs.Last(), "message");
    QFETCH(QString, totals);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("1008"))->text(), totals);
    // A screen reader reads the caption with the value.
    const QString named = QStringLiteral("文件行总数:") + (totals.isEmpty() ? "" : " " + totals);
    QCOMPARE(QAccessible::queryAccessibleInterface(w.findChild<QLabel*>(QStringLiteral("1008")))
                 ->text(QAccessible::Name),
             named);
    QTEST(w.BarValue(), "bar");
    QCOMPARE(w.OffThreadViewCalls(), 0);
  }

  // A new window has its laid-out size, also its smallest. Enlarged, the list and its name
  // column take the room, the totals and the bar keep to the bottom edge, the toolbar stays; the
  // size comes back at the next start.
  void growsAndKeepsItsSize() {
    const tv::WindowSettings settings{Settings().toStdString(), tv::CodePage::Gbk,
                                      dir_.filePath(QStringLiteral("window.ini"))};
    ScriptedDialogs dialogs;
    auto w = std::make_unique<MainWindow>(settings, dialogs);
    w->show();
    const QSize base = w->size();
    QCOMPARE(w->minimumSize(), base);
    std::map<QString, QRect> before;
    for (auto* c : w->findChildren<QWidget*>(QRegularExpression("^1[0-9]{3}$")))
      before[c->objectName()] = c->geometry();
    const int name_width = w->Results()->columnWidth(0);
    w->resize(base + QSize(200, 100));
    QTRY_COMPARE(w->Results()->columnWidth(0), name_width + 200);
    // Each control's id, then whether it moved down and grew wider and taller with the window.
    for (const char* row :
         {"1012 000", "1018 000", "1000 010", "1002 011", "1009 100", "1051 110", "1005 110"}) {
      const QString id = QString::fromLatin1(row, 4);
      const int down = row[5] - '0', wider = row[6] - '0', taller = row[7] - '0';
      QCOMPARE(w->findChild<QWidget*>(id)->geometry(),
               before[id].translated(0, 100 * down).adjusted(0, 0, 200 * wider, 100 * taller));
    }
    w->close();
    w = std::make_unique<MainWindow>(settings, dialogs);
    QCOMPARE(w->size(), base + QSize(200, 100));
  }

  void barScalesAnyRangeIntoItsTenThousandSteps() {
    ScriptedDialogs dialogs;
    MainWindow w(WindowSettings(), dialogs);
    QCOMPARE(w.BarValueFor(5000000000ULL, 2500000000ULL), 5000);
    QCOMPARE(w.BarValueFor(5000000000ULL, 6000000000ULL), 10000);  // outgrew its pre-count
    QCOMPARE(w.BarValueFor(0, 5), 0);
    QCOMPARE(w.BarValueFor(3, 1), 3333);
  }

  // A hand-over that arrives while a refused pick shows its message waits
  // until the pick has emptied the field, then is counted at once, and the
  // start button and menu item can stop it.
  void handOverDuringARefusedPickComesAfterIt() {
    QTemporaryDir tree;
    for (const char* f : {"a.c", "b.c"}) WriteBytes(tree.filePath(f), "int a;\n");
    ScriptedDialogs dialogs;
    MainWindow w(WindowSettings(), dialogs);
    w.show();
    std::promise<void> go_on;
    std::shared_future<void> released = go_on.get_future().share();
    auto release = qScopeGuard([&] { go_on.set_value(); });
    w.SetRunGate([&](size_t) { released.wait(); });
    dialogs.answers.push_back({true, {tree.filePath("a.c")}, 0});  // a .c file as a .dsp project
    bool handed = false;
    dialogs.on_message = [&] {
      if (!std::exchange(handed, true)) w.HandOverPath(tree.path().toStdString());
    };
    w.RunCommand(1012);
    QCOMPARE(dialogs.Last(), QStringLiteral("错误: 所选文件与选择的类型不一致！"));
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("1000"))->text(), tree.path());
    QVERIFY(w.IsRunStarted());
    QVERIFY(w.findChild<QAbstractButton*>(QStringLiteral("1006"))->isEnabled());
    w.RunCommand(32782);
    QVERIFY(w.Flags().stop_request != 0);
    release.dismiss();
    go_on.set_value();
    w.WaitForRun();
  }

  // A file or folder named in GBK bytes: handed over, it shows as its text
  // and is counted; picked in a dialog that shows it with replacement
  // characters, the file on disk is counted; its row views that very file.
  void namesThatAreNotUtf8ReachTheirFiles() {
    QTemporaryDir tree;
    const std::string gbk = tree.path().toStdString() + "/\xD6\xD0\xCE\xC4";  // 中文
    QDir().mkpath(QString::fromStdString(tree.path().toStdString() + "/x"));
    ::mkdir(gbk.c_str(), 0700);
    std::ofstream(gbk + "/\xCE\xC4.c") << "int a;\n";  // 文.c
    ScriptedDialogs dialogs;
    tv::test::RecordingDesktop desktop;
    MainWindow w(WindowSettings(), dialogs);
    w.SetDesktop(desktop);
    w.show();
    w.HandOverPath(gbk);
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("1000"))->text(), tree.filePath("中文"));
    w.WaitForRun();
    QTRY_COMPARE(w.Results()->RowCount(), 1);
    QCOMPARE(QString::fromStdString(w.Results()->RowAt(0)[tv::kName]), tree.filePath("中文/文.c"));
    const QString shown_by_qt = QFile::decodeName(QByteArray::fromStdString(gbk + "/\xCE\xC4.c"));
    dialogs.answers.push_back({true, {shown_by_qt}, 3});
    w.RunCommand(1012);
    w.RunCommand(1006);
    w.WaitForRun();
    QTRY_COMPARE(w.Results()->RowCount(), 1);
    QCOMPARE(w.Results()->RowAt(0).path, gbk + "/\xCE\xC4.c");
    QCOMPARE(QString::fromStdString(w.Results()->RowAt(0)[tv::kName]), QStringLiteral("文.c"));
    w.Results()->SelectRow(0);
    w.RunCommand(1016);
    QCOMPARE(desktop.calls.back().file.path, gbk + "/\xCE\xC4.c");
    // A report saved into that folder as the dialog shows it lands there.
    dialogs.saves.push_back({true, QFile::decodeName(QByteArray::fromStdString(gbk)) + "/r", 2});
    w.RunCommand(1015);
    QCOMPARE(::access((gbk + "/r.csv").c_str(), F_OK), 0);
  }

  // SIGTERM and SIGHUP close the window as its close button does.
  void endSignalsCloseTheWindow() {
    for (int sig : {SIGTERM, SIGHUP}) {
      ScriptedDialogs dialogs;
      MainWindow w(WindowSettings(), dialogs);
      w.CloseOnEndSignals();
      w.show();
      ::raise(sig);
      QTRY_VERIFY(!w.isVisible());
    }
  }

  // A path handed over under an open modal dialog waits until it closes; a
  // second start hands its path over, relative to its own working folder.
  void handOversWaitForModalDialogsAndComeFromSecondStarts() {
    QTemporaryDir runtime, first, second;
    for (QString f :
         {first.filePath("a.c"), second.filePath("src/a.c"), second.filePath("src/b.c")})
      WriteBytes(f, "int a;\n");
    std::string error;
    // Where a start with XDG_RUNTIME_DIR set looks for the running window.
    auto server = tv::InstanceServer::Start(runtime.filePath("tallyvane").toStdString(), &error);
    QVERIFY2(server != nullptr, error.c_str());
    ScriptedDialogs dialogs;
    MainWindow w(WindowSettings(), dialogs);
    w.show();
    w.ServeHandOvers(server.get());
    auto* edit = w.findChild<QLineEdit*>(QStringLiteral("1000"));
    QMessageBox modal(QMessageBox::Information, "t", "t", QMessageBox::Ok, &w);
    QTimer::singleShot(0, &modal, [&] {
      w.HandOverPath(first.path().toStdString());
      QVERIFY(edit->text().isEmpty());
      QVERIFY(!w.IsRunStarted());
      modal.accept();
    });
    modal.exec();
    QTRY_COMPARE(edit->text(), first.path());
    QTRY_COMPARE(w.Results()->RowCount(), 1);
    QTRY_COMPARE(w.cursor().shape(), Qt::ArrowCursor);  // the run has ended
    QProcess start;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    start.setProcessEnvironment(env);
    start.setWorkingDirectory(second.path());
    start.start(QString::fromLatin1(TV_PROGRAM_PATH), {QStringLiteral("src")});
    if (!start.waitForFinished(10000)) start.kill();
    QCOMPARE(start.exitStatus(), QProcess::NormalExit);
    QCOMPARE(start.exitCode(), 0);
    QTRY_COMPARE(edit->text(), second.filePath("src"));
    QTRY_COMPARE(w.Results()->RowCount(), 2);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
