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

#include "platform/single_instance.h"
#include "reports/results.h"
#include "runs/selection_files.h"
#include "support/gate.h"
#include "support/table_file.h"
#include "support/window_session.h"
#include "ui/find_dialog.h"

using tv::MainWindow;
using tv::test::AddTableCases;
using tv::test::Gate;
using tv::test::WindowSession;
using tv::test::WriteBytes;

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString Settings() const { return dir_.filePath(QStringLiteral("Setup.ini")); }

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

  void commands_data() { AddTableCases(QStringLiteral("ui/main_window_commands.tsv")); }

  void commands() {
    QFETCH(QStringList, c);  // how, id, holds, idle, counting, after
    for (bool in_count : {false, true}) {
      WindowSession s(Settings());
      if (c[2] == "rows") s.w.Results()->AddResultRow({"a.c", "1", "1", "0", "0", "0.00%"});
      if (c[2] != "-") s.w.findChild<QLineEdit*>("1000")->setText("a.c");
      if (c[0] == QLatin1String("132")) s.w.Results()->SelectRow(0);
      s.w.Flags().counting = in_count ? 1 : 0;
      Trigger(s.w, c[0], c[1]);
      QVERIFY(s.dialogs.calls.empty());  // the command waits until the click has returned
      QCoreApplication::processEvents();
      QCOMPARE(s.dialogs.Last(), c[in_count ? 4 : 3]);
      QCOMPARE(s.dialogs.calls.size(), s.dialogs.Last().isEmpty() ? size_t{0} : size_t{1});
      auto* find = s.w.findChild<tv::FindDialog*>(QStringLiteral("196"));
      QCOMPARE(find != nullptr && find->isVisible() && find->isModal(), c[5] == "find");
      if (find != nullptr) find->close();
      QCOMPARE(s.w.isVisible(), c[5] != QLatin1String("close"));
    }
  }

  void singleDirectory_data() { AddTableCases(QStringLiteral("ui/single_directory.tsv")); }

  void singleDirectory() {
    QFETCH(QStringList, c);  // the fields of single_directory.tsv
    const QString &answer = c[0], &message = c[1], &shown = c[2];
    const int rows = c[3].toInt();
    QTemporaryDir tree;
    for (const char* f : {"a/1.c", "b/1.c", "b/2.c", "c/1.c", "c/2.c", "c/3.c"}) {
      WriteBytes(tree.filePath(QString::fromLatin1(f)), "int x;\n");
    }
    auto in_tree = [&](const QString& name) {
      return name.isEmpty() || name.startsWith(QLatin1Char('/')) ? name : tree.filePath(name);
    };
    WriteBytes(Settings(), "[CURRENT PATH]\r\nPath2=/remembered/folder\r\n");
    WindowSession s(Settings());
    QVERIFY(tv::WriteFolderList(Settings().toStdString(), {tree.filePath("c").toStdString()},
                                tv::CodePage::Gbk));
    auto* edit = s.w.findChild<QLineEdit*>(QStringLiteral("1000"));
    const bool folder_tree = answer.startsWith(QStringLiteral("tree:"));
    s.dialogs.folders = {tree.filePath("a"), in_tree(answer)};
    if (folder_tree) s.dialogs.folder_trees = {answer.mid(5)};
    s.w.RunCommand(32777);
    QCOMPARE(s.dialogs.calls.back().request.initial_folder, QStringLiteral("/remembered/folder"));
    QCOMPARE(edit->text(), tree.filePath("a"));
    QVERIFY(s.w.findChild<QAbstractButton*>(QStringLiteral("1006"))->isEnabled());
    // Rows of an earlier run go only when a folder is accepted.
    s.w.Results()->AddResultRow(tv::ResultRow("old.c", "1", "1", "0", "0", "0.00%"));
    s.dialogs.calls.clear();
    s.w.RunCommand(folder_tree ? 32803 : 32802);
    QCOMPARE(s.dialogs.calls.front().caption, folder_tree ? "folder tree" : "folder");
    QCOMPARE(s.dialogs.calls.size(), message.isEmpty() ? size_t{1} : size_t{2});
    if (!message.isEmpty()) {
      QCOMPARE(s.dialogs.Last(), message);
      QCOMPARE(s.dialogs.calls.back().icon, tv::MessageIcon::Stop);
    }
    QCOMPARE(edit->text(), shown.startsWith(QStringLiteral("已")) ? shown : in_tree(shown));
    QCOMPARE(s.w.Results()->RowCount(), shown == QLatin1String("a") ? 1 : 0);
    s.w.RunCommand(1006);
    QVERIFY(s.w.IsRunStarted());
    s.w.WaitForRun();
    // The totals appear when the run's last queued calls have arrived.
    QTRY_COMPARE(s.w.findChild<QLabel*>(QStringLiteral("1008"))->text(),
                 QStringLiteral("%1 (共%1个文件)").arg(rows));
    QCOMPARE(s.w.Results()->RowCount(), rows);
    const QByteArray text = tv::test::ReadBytes(Settings());
    if (!shown.startsWith(QStringLiteral("已")))
      QVERIFY2(text.contains("Path2=" + in_tree(shown).toUtf8()), text.constData());
  }

  // A handed-over run, held or not after its second file by a gate, ends with the normal
  // cursor, rows, notice, totals and bar; a held one shows the bar move and stops on a press.
  void runs_data() { AddTableCases(QStringLiteral("ui/main_window_runs.tsv")); }

  void runs() {
    QFETCH(QStringList, c);  // the fields of main_window_runs.tsv
    const QString &progress = c[1], &totals = c[5];
    const bool held = c[2] == QLatin1String("held");
    QTemporaryDir tree;
    for (const QString& f : c[0].split(QLatin1Char(';')))
      WriteBytes(tree.filePath(f), "int x; // one\n\n");
    WriteBytes(Settings(), "[OTHER]\r\nShowProcPercent=" + progress.toStdString() + "\r\n");
    WindowSession s(Settings());
    auto gate = std::make_shared<Gate>();
    s.w.SetRunGate([gate, held](size_t accepted) {
      if (held && accepted == 2) gate->Pass(std::atomic<bool>{});
    });
    s.w.HandOverPath(tree.path().toStdString());
    QCOMPARE(s.w.cursor().shape(), Qt::WaitCursor);  // until the run's end arrives
    if (held) {
      QTRY_COMPARE(gate->state, Gate::kReached);  // the run holds after its second file
      QTRY_COMPARE(s.w.Results()->RowCount(), 2);
      QTest::qWait(120);  // a few ticks of the bar's timer
      const int bar = s.w.BarValue();
      QVERIFY2(progress == "1" ? bar > 0 && bar < 10000 : bar == 0,
               qPrintable(QString::number(bar)));
      s.w.RunCommand(1006);  // the second press stops the run
      QVERIFY(s.w.Flags().stop_request != 0);
      gate->state = Gate::kOpened;
    }
    QTRY_COMPARE(s.w.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(s.w.findChild<QAbstractButton*>("1006")->text(), QStringLiteral("开始统计"));
    QVERIFY(!s.w.IsRunStarted());
    QCOMPARE(s.w.Results()->RowCount(), c[3].toInt());
    QCOMPARE(s.dialogs.Last(), c[4]);
    QCOMPARE(s.w.findChild<QLabel*>(QStringLiteral("1008"))->text(), totals);
    // A screen reader reads the caption with the value.
    const QString named = QStringLiteral("文件行总数:") + (totals.isEmpty() ? "" : " " + totals);
    QCOMPARE(QAccessible::queryAccessibleInterface(s.w.findChild<QLabel*>(QStringLiteral("1008")))
                 ->text(QAccessible::Name),
             named);
    QCOMPARE(s.w.BarValue(), c[6].toInt());
    QCOMPARE(s.w.OffThreadViewCalls(), 0);
  }

  // A new window has its laid-out size, also its smallest. Enlarged, the list and its name
  // column take the room, the totals and the bar keep to the bottom edge, the toolbar stays; the
  // size comes back at the next start.
  void growsAndKeepsItsSize() {
    const tv::WindowSettings settings{Settings().toStdString(), tv::CodePage::Gbk,
                                      dir_.filePath(QStringLiteral("window.ini"))};
    tv::test::ScriptedDialogs dialogs;
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
    WindowSession s(Settings());
    QCOMPARE(s.w.BarValueFor(5000000000ULL, 2500000000ULL), 5000);
    QCOMPARE(s.w.BarValueFor(5000000000ULL, 6000000000ULL), 10000);  // outgrew its pre-count
    QCOMPARE(s.w.BarValueFor(0, 5), 0);
    QCOMPARE(s.w.BarValueFor(3, 1), 3333);
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
    WindowSession s(Settings());
    s.w.HandOverPath(gbk);
    QCOMPARE(s.w.findChild<QLineEdit*>(QStringLiteral("1000"))->text(), tree.filePath("中文"));
    s.w.WaitForRun();
    QTRY_COMPARE(s.w.Results()->RowCount(), 1);
    QCOMPARE(QString::fromStdString(s.w.Results()->RowAt(0)[tv::kName]),
             tree.filePath("中文/文.c"));
    const QString shown_by_qt = QFile::decodeName(QByteArray::fromStdString(gbk + "/\xCE\xC4.c"));
    s.dialogs.answers.push_back({true, {shown_by_qt}, 3});
    s.w.RunCommand(1012);
    s.w.RunCommand(1006);
    s.w.WaitForRun();
    QTRY_COMPARE(s.w.Results()->RowCount(), 1);
    QCOMPARE(s.w.Results()->RowAt(0).path, gbk + "/\xCE\xC4.c");
    QCOMPARE(QString::fromStdString(s.w.Results()->RowAt(0)[tv::kName]), QStringLiteral("文.c"));
    s.w.Results()->SelectRow(0);
    s.w.RunCommand(1016);
    QCOMPARE(s.desktop.calls.back().file.path, gbk + "/\xCE\xC4.c");
    // A report saved into that folder as the dialog shows it lands there.
    s.dialogs.saves.push_back({true, QFile::decodeName(QByteArray::fromStdString(gbk)) + "/r", 2});
    s.w.RunCommand(1015);
    QCOMPARE(::access((gbk + "/r.csv").c_str(), F_OK), 0);
  }

  // SIGTERM and SIGHUP close the window as its close button does.
  void endSignalsCloseTheWindow() {
    for (int sig : {SIGTERM, SIGHUP}) {
      WindowSession s(Settings());
      s.w.CloseOnEndSignals();
      ::raise(sig);
      QTRY_VERIFY(!s.w.isVisible());
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
    WindowSession s(Settings());
    s.w.ServeHandOvers(server.get());
    auto* edit = s.w.findChild<QLineEdit*>(QStringLiteral("1000"));
    QMessageBox modal(QMessageBox::Information, "t", "t", QMessageBox::Ok, &s.w);
    QTimer::singleShot(0, &modal, [&] {
      s.w.HandOverPath(first.path().toStdString());
      QVERIFY(edit->text().isEmpty());
      QVERIFY(!s.w.IsRunStarted());
      modal.accept();
    });
    modal.exec();
    QTRY_COMPARE(edit->text(), first.path());
    QTRY_COMPARE(s.w.Results()->RowCount(), 1);
    QTRY_COMPARE(s.w.cursor().shape(), Qt::ArrowCursor);  // the run has ended
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
    QTRY_COMPARE(s.w.Results()->RowCount(), 2);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
