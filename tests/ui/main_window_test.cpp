// The main window driven through its real commands, with scripted dialogs.
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <future>

#include "platform/single_instance.h"
#include "runs/selection_files.h"
#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "ui/controls/sort_list.h"
#include "ui/find_dialog.h"

using tv::MainWindow;
using tv::test::ScriptedDialogs;

namespace {

const QString kNotBuilt = QStringLiteral("提示: 这个功能还没有做好，将在后续版本中提供。");

void Write(const QString& path, const char* text) {
  QDir().mkpath(QFileInfo(path).path());
  std::ofstream(path.toStdString()) << text;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString Settings() const { return dir_.filePath(QStringLiteral("Setup.ini")); }

  // Triggers a command by its object name: a button, a menu-bar item, an
  // item of the directory button's menu, or one of the list's menu.
  static void Trigger(MainWindow& w, const QString& how, const QString& id) {
    if (how == QLatin1String("button")) {
      w.findChild<QAbstractButton*>(id)->click();
    } else if (how == QLatin1String("219")) {
      w.findChild<QAbstractButton*>(QStringLiteral("1013"))->click();
      w.findChild<QMenu*>(QStringLiteral("219"))->findChild<QAction*>(id)->trigger();
    } else if (how == QLatin1String("132")) {
      auto* list = w.findChild<QWidget*>(QStringLiteral("1002"));
      auto* viewport = static_cast<tv::SortListCtrl*>(list)->viewport();
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                              viewport->mapToGlobal(QPoint(5, 5)));
      QCoreApplication::sendEvent(viewport, &event);
      QMenu* menu = w.findChild<QMenu*>(QStringLiteral("132"));
      QVERIFY(menu->isVisible());
      menu->findChild<QAction*>(id)->trigger();
      menu->hide();
    } else {
      w.menuBar()->findChild<QAction*>(id)->trigger();
    }
  }

 private slots:
  void init() { QFile::remove(Settings()); }

  void commands_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("rows");
    QTest::addColumn<QString>("idle");
    QTest::addColumn<QString>("counting");
    QTest::addColumn<bool>("finds");  // the find dialog opens, in both states
    const QString dirs = QStringLiteral("提示: 请统计完后再选择新的目录！");
    const QString no_selection = QStringLiteral("错误: 请先选择统计文件名或文件目录！");
    const QString chooser = QStringLiteral("folder: 选择目录:");
    struct Row {
      const char* how;
      const char* id;
      bool rows;
      QString idle, counting;
      bool finds = false;
    } rows[] = {
        {"menu", "32776", false, "open: 请选择文件类型和文件名",
         "提示: 请统计完后再选择新的文件！"},
        {"button", "1012", false, "open: 请选择文件类型和文件名", "open: 请选择文件类型和文件名"},
        {"menu", "32777", false, chooser, dirs},
        {"menu", "32778", false, kNotBuilt, dirs},
        {"219", "32802", false, chooser, dirs},
        {"219", "32803", false, kNotBuilt, dirs},
        {"menu", "32796", false, "open: 请选择配置文件", "提示: 请统计完后再执行新的操作！"},
        {"button", "1006", false, no_selection, no_selection},
        {"menu", "32782", false, no_selection, no_selection},
        {"button", "1015", false, "错误: 没有需要保存的统计数据！",
         "错误: 没有需要保存的统计数据！"},
        {"menu", "32790", true, kNotBuilt, "提示: 请统计完后再执行保存操作！"},
        {"button", "1031", false, "错误: 没有需要打印的数据！ ", "错误: 没有需要打印的数据！ "},
        {"menu", "32791", true, kNotBuilt, "提示: 请统计完后再执行打印操作！"},
        // The list's menu greys what its state does not allow.
        {"132", "32772", true, kNotBuilt, kNotBuilt},
        {"132", "32773", true, kNotBuilt, ""},
        // View and properties of the selected row ask the desktop, no message.
        {"132", "32771", true, "", ""},
        {"132", "32774", true, "", ""},
        {"132", "32775", true, "", "", true},
        {"menu", "32775", false, "", "", true},
    };
    for (const Row& r : rows) {
      QTest::addRow("%s %s%s", r.how, r.id, r.rows ? " with rows" : "")
          << r.how << r.id << r.rows << r.idle << r.counting << r.finds;
    }
    for (const char* id : {"1019", "1017"}) {
      QTest::addRow("button %s", id) << "button" << id << false << kNotBuilt << kNotBuilt << false;
    }
    for (const char* id : {"32786", "32788", "32793", "32789", "32795"}) {
      QTest::addRow("menu %s", id) << "menu" << id << false << kNotBuilt << kNotBuilt << false;
    }
    // View and properties with no row selected.
    const QString no_file = QStringLiteral("错误: 请先选择查看的文件！");
    QTest::addRow("button 1016") << "button"
                                 << "1016" << false << no_file << no_file << false;
    for (const char* id : {"32792", "32774"}) {
      QTest::addRow("menu %s", id) << "menu" << id << false << no_file << no_file << false;
    }
  }

  void commands() {
    QFETCH(QString, how);
    QFETCH(QString, id);
    QFETCH(bool, rows);
    for (bool in_count : {false, true}) {
      ScriptedDialogs dialogs;
      tv::test::RecordingDesktop desktop;
      MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
      w.SetDesktop(desktop);
      w.show();
      if (rows) {
        w.Results()->AddResultRow(tv::ResultRow("a.c", "1", "1", "0", "0", "0.00%"));
        w.findChild<QLineEdit*>(QStringLiteral("1000"))->setText(QStringLiteral("a.c"));
      }
      if (how == QLatin1String("132")) w.Results()->SelectRow(0);
      w.Flags().counting = in_count ? 1 : 0;
      Trigger(w, how, id);
      QFETCH(QString, idle);
      QFETCH(QString, counting);
      QCOMPARE(dialogs.Last(), in_count ? counting : idle);
      QCOMPARE(dialogs.calls.size(), dialogs.Last().isEmpty() ? size_t{0} : size_t{1});
      QFETCH(bool, finds);
      auto* find = w.findChild<tv::FindDialog*>(QStringLiteral("196"));
      QCOMPARE(find != nullptr && find->isVisible() && find->isModal(), finds);
      if (find != nullptr) find->close();
    }
  }

  // The single-directory command after an earlier single-directory pick of
  // folder "a" (one file): the chooser's answer, then what start counts. A
  // saved folder list ("c", three files) is what a lost single-directory
  // flag would count instead.
  void singleDirectory_data() {
    QTest::addColumn<QString>("answer");  // "" cancels the chooser
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");  // the folder edit 1000 shows afterwards
    QTest::addColumn<int>("rows");       // the files the start then counts
    const QString root = QStringLiteral("错误: 请选择一个文件目录而不是盘符！");
    QTest::newRow("another folder") << "b"
                                    << ""
                                    << "b" << 2;
    QTest::newRow("cancelled") << ""
                               << ""
                               << "a" << 1;
    QTest::newRow("the root refused") << "/" << root << "a" << 1;
    QTest::newRow("the root spelt longer") << "//" << root << "a" << 1;
  }

  void singleDirectory() {
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(int, rows);
    QTemporaryDir tree;
    for (const char* f : {"a/1.c", "b/1.c", "b/2.c", "c/1.c", "c/2.c", "c/3.c"}) {
      Write(tree.filePath(QString::fromLatin1(f)), "int x;\n");
    }
    auto in_tree = [&](const QString& name) {
      return name.isEmpty() || name.startsWith(QLatin1Char('/')) ? name : tree.filePath(name);
    };
    Write(Settings(), "[CURRENT PATH]\r\nPath2=/remembered/folder\r\n");
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.show();
    QVERIFY(tv::WriteFolderList(Settings().toStdString(), {tree.filePath("c").toStdString()},
                                tv::CodePage::Gbk));
    auto* edit = w.findChild<QLineEdit*>(QStringLiteral("1000"));
    auto* start = w.findChild<QAbstractButton*>(QStringLiteral("1006"));
    dialogs.folders = {tree.filePath("a"), in_tree(answer)};
    w.RunCommand(32777);
    QCOMPARE(dialogs.calls.back().request.initial_folder, QStringLiteral("/remembered/folder"));
    QCOMPARE(edit->text(), tree.filePath("a"));
    QVERIFY(start->isEnabled());
    // Rows of an earlier run go only when a folder is accepted.
    w.Results()->AddResultRow(tv::ResultRow("old.c", "1", "1", "0", "0", "0.00%"));
    dialogs.calls.clear();
    w.RunCommand(32802);
    QCOMPARE(dialogs.calls.front().caption, QStringLiteral("folder"));
    QCOMPARE(dialogs.calls.size(), message.isEmpty() ? size_t{1} : size_t{2});
    if (!message.isEmpty()) {
      QCOMPARE(dialogs.Last(), message);
      QCOMPARE(dialogs.calls.back().icon, tv::MessageIcon::Stop);
    }
    QCOMPARE(edit->text(), in_tree(shown));
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
    QVERIFY2(text.find("Path2=" + in_tree(shown).toStdString()) != std::string::npos, text.c_str());
  }

  void emptyListMenuOffersOnlySaving() {
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    for (bool text : {false, true}) {
      w.findChild<QLineEdit*>(QStringLiteral("1000"))
          ->setText(text ? QStringLiteral("x") : QString());
      QMenu* menu = w.PrepareContextMenu();
      QStringList enabled;
      for (QAction* a : menu->actions()) {
        if (a->isEnabled() && !a->isSeparator()) enabled << a->objectName();
      }
      QCOMPARE(enabled, text ? QStringList{QStringLiteral("32772")} : QStringList{});
    }
  }

  void runsEndWithTheNormalCursorAndTheirTotals() {
    struct Case {
      const char* files;     // files of the counted folder, ";"-separated
      const char* progress;  // ShowProcPercent
      int rows;
      QString message;  // the notice at the end, if any
      int bar;          // the bar's value at the end
    } cases[] = {
        {"a.c;b.pas", "1", 2, "", 10000},
        {"a.c;b.pas", "0", 2, "", 0},
        {"readme.txt", "1", 0, QStringLiteral("提示: 没有适合的统计类型文件！"), 0},
    };
    for (const Case& c : cases) {
      QTemporaryDir tree;
      for (const QString& f : QString::fromLatin1(c.files).split(QLatin1Char(';'))) {
        Write(tree.filePath(f), "int x; // one\n\n");
      }
      Write(Settings(), (std::string("[OTHER]\r\nShowProcPercent=") + c.progress + "\r\n").c_str());
      ScriptedDialogs dialogs;
      MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
      w.show();
      w.HandOverPath(tree.path());
      QCOMPARE(w.cursor().shape(), Qt::WaitCursor);  // until the run's end arrives
      QTRY_COMPARE(w.cursor().shape(), Qt::ArrowCursor);
      QCOMPARE(w.findChild<QAbstractButton*>(QStringLiteral("1006"))->text(),
               QStringLiteral("开始统计"));
      QVERIFY(!w.IsRunStarted());
      QCOMPARE(w.Results()->RowCount(), c.rows);
      QCOMPARE(dialogs.Last(), c.message);
      QCOMPARE(w.BarValue(), c.bar);
      QCOMPARE(w.OffThreadViewCalls(), 0);
      if (c.rows > 0) {
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("1008"))->text(),
                 QStringLiteral("%1 (共%2个文件)").arg(2 * c.rows).arg(c.rows));
      }
    }
  }

  void aRunHeldAtItsSecondFileShowsProgressAndStopsOnTheSecondPress() {
    for (const char* progress : {"1", "0"}) {
      QTemporaryDir tree;
      for (const char* f : {"a.c", "b.c", "c.c", "d.c"}) Write(tree.filePath(f), "int x;\n\n");
      Write(Settings(), (std::string("[OTHER]\r\nShowProcPercent=") + progress + "\r\n").c_str());
      ScriptedDialogs dialogs;
      MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
      w.show();
      std::promise<void> reached, go_on;
      std::shared_future<void> released = go_on.get_future().share();
      struct Release {  // whatever happens, the held run goes on before the window goes
        std::promise<void>& go_on;
        bool done = false;
        ~Release() {
          if (!done) go_on.set_value();
        }
      } release{go_on};
      w.SetRunGate([&](size_t accepted) {
        if (accepted == 2) {
          reached.set_value();
          released.wait();
        }
      });
      w.HandOverPath(tree.path());
      reached.get_future().wait();  // the run holds after its second file
      QTRY_COMPARE(w.Results()->RowCount(), 2);
      QTest::qWait(120);  // a few ticks of the bar's timer
      const int bar = w.BarValue();
      if (*progress == '1') {
        QVERIFY2(bar > 0 && bar < 10000, qPrintable(QString::number(bar)));
      } else {
        QCOMPARE(bar, 0);
      }
      w.RunCommand(1006);  // the second press stops the run
      QVERIFY(w.Flags().stop_request != 0);
      release.done = true;
      go_on.set_value();
      QTRY_COMPARE(w.cursor().shape(), Qt::ArrowCursor);
      QCOMPARE(w.Results()->RowCount(), 2);
      QCOMPARE(w.findChild<QLabel*>(QStringLiteral("1008"))->text(), QStringLiteral("用户中断"));
      QCOMPARE(w.BarValue(), *progress == '1' ? 10000 : 0);
      QVERIFY(dialogs.calls.empty());
    }
  }

  void barScalesAnyRangeIntoItsTenThousandSteps() {
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    QCOMPARE(w.BarValueFor(5000000000ULL, 2500000000ULL), 5000);
    QCOMPARE(w.BarValueFor(5000000000ULL, 6000000000ULL), 10000);  // outgrew its pre-count
    QCOMPARE(w.BarValueFor(0, 5), 0);
    QCOMPARE(w.BarValueFor(3, 1), 3333);
  }

  void keysEscIgnoredEnterExitsUnlessAButtonHasFocus() {
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.show();
    auto* start = w.findChild<QAbstractButton*>(QStringLiteral("1006"));
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Return);
    QCOMPARE(dialogs.Last(), QStringLiteral("错误: 请先选择统计文件名或文件目录！"));
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Return);
    QVERIFY(!w.isVisible());
  }

  void handOverWaitsForAnOpenModalDialog() {
    QTemporaryDir tree;
    Write(tree.filePath(QStringLiteral("a.c")), "int a;\n");
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.show();
    auto* edit = w.findChild<QLineEdit*>(QStringLiteral("1000"));
    QDialog modal(&w);
    QTimer::singleShot(0, &modal, [&] {
      w.HandOverPath(tree.path());
      QVERIFY(edit->text().isEmpty());
      QVERIFY(!w.IsRunStarted());
      modal.reject();
    });
    modal.exec();
    QTRY_COMPARE(edit->text(), tree.path());
    QTRY_COMPARE(w.Results()->RowCount(), 1);
  }

  void aSecondStartHandsItsPathOver() {
    QTemporaryDir runtime, tree;
    Write(tree.filePath(QStringLiteral("src/a.c")), "int a;\n");
    std::string error;
    // Where a start with XDG_RUNTIME_DIR set looks for the running window.
    auto server = tv::InstanceServer::Start(runtime.filePath("tallyvane").toStdString(), &error);
    QVERIFY2(server != nullptr, error.c_str());
    ScriptedDialogs dialogs;
    MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
    w.show();
    w.ServeHandOvers(server.get());
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(tree.path());  // the path is relative to the second start
    QMessageBox box(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("t"),
                    QMessageBox::Ok, &w);
    QTimer::singleShot(0, &box, [&] {
      second.start(QString::fromLatin1(TV_PROGRAM_PATH), {QStringLiteral("src")});
      if (!second.waitForFinished(10000)) second.kill();
      QCOMPARE(second.exitStatus(), QProcess::NormalExit);
      QCOMPARE(second.exitCode(), 0);
      QTest::qWait(300);  // the path arrived but waits for the message box
      QCOMPARE(w.Results()->RowCount(), 0);
      box.accept();
    });
    box.exec();
    QTRY_COMPARE(w.findChild<QLineEdit*>(QStringLiteral("1000"))->text(), tree.filePath("src"));
    QTRY_COMPARE(w.Results()->RowCount(), 1);
  }

  void exitClosesTheWindow() {
    for (const char* how : {"button", "menu"}) {
      ScriptedDialogs dialogs;
      MainWindow w({Settings().toStdString(), tv::CodePage::Gbk}, dialogs);
      w.show();
      w.Flags().counting = 1;
      Trigger(w, QString::fromLatin1(how), QString::fromLatin1(*how == 'b' ? "1018" : "32779"));
      QVERIFY(!w.isVisible());
      QVERIFY(dialogs.calls.empty());
    }
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
