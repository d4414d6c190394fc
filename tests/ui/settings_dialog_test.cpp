// The settings dialog opened from the window's settings commands, over a
// temporary Setup.ini and home folder, with scripted message boxes and a
// recording desktop (so no launcher is ever marked on the real desktop).
#include "ui/settings_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/main_window.h"

using namespace Qt::StringLiterals;
using tv::test::ReadBytes;
using tv::test::WriteBytes;

class SettingsDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir home_;
  QByteArray old_home_;
  tv::test::ScriptedDialogs dialogs_;
  tv::test::RecordingDesktop desktop_;

  QString Home(const QString& relative) const { return home_.filePath(relative); }
  // Runs the window's command `command` and gives the dialog it opened.
  tv::SettingsDialog* Open(tv::MainWindow& w, int command) {
    dialogs_.calls.clear();
    desktop_.calls.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // closed ones go
    w.RunCommand(command);
    auto* dialog = w.findChildren<tv::SettingsDialog*>().value(0);
    return dialog != nullptr && dialog->isVisible() && dialog->isModal() ? dialog : nullptr;
  }
  template <typename T = QAbstractButton>
  static T* Child(QWidget* dialog, const char* id) {
    return dialog->findChild<T*>(QString::fromLatin1(id));
  }

 private slots:
  void initTestCase() {
    old_home_ = qgetenv("HOME");
    qputenv("HOME", home_.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QVERIFY(WriteBytes(Home(u".config/user-dirs.dirs"_s), "XDG_DESKTOP_DIR=\"$HOME/桌 面\"\n"));
  }
  void cleanupTestCase() { qputenv("HOME", old_home_); }

  // Cancel after changes, and a save into a folder that is a regular file,
  // leave the files as they were; the failed save keeps the dialog open.
  void nothingIsWrittenOnCancelOrFailure() {
    QVERIFY(WriteBytes(Home(u"blocker"_s), "a file where the settings folder should be"));
    for (const char* button : {"2", "1006"}) {
      const QString ini = Home(*button == '2' ? u"cancel/Setup.ini"_s : u"blocker/Setup.ini"_s);
      tv::MainWindow w({ini.toStdString()}, dialogs_);
      w.SetDesktop(desktop_);
      auto state = [&] {
        return ReadBytes(ini) + ReadBytes(Home(u"blocker"_s)) +
               ReadBytes(Home(u"桌 面/Tallyvane.desktop"_s));
      };
      const QByteArray before = state();
      tv::SettingsDialog* dialog = Open(w, 32786);
      QVERIFY(dialog != nullptr);
      for (auto* edit : dialog->findChildren<QLineEdit*>()) edit->setText(u".x;"_s);
      // Cancel ticks every box; the failing save no desktop entry.
      for (auto* box : dialog->findChildren<QCheckBox*>()) {
        box->setChecked(*button == '2' || box->objectName() < "1033"_L1);
      }
      Child(dialog, button)->click();
      QCOMPARE(state(), before);
      QCOMPARE(dialog->isVisible(), *button != '2');
      QCOMPARE(dialogs_.Last(), *button == '2' ? QString()
                                               : u"保存设置: 参数设置保存失败！\n"_s + ini +
                                                     u": cannot create: Not a directory"_s);
      if (!dialogs_.calls.empty()) QCOMPARE(dialogs_.calls.back().icon, tv::MessageIcon::Stop);
      dialog->reject();
    }
  }

  // Each step ticks the two boxes and saves, or deletes the send-to entry by
  // hand, or puts a file where the desktop folder was; then the files, the
  // setting and the reopened dialog show what really exists.
  void desktopEntriesFollowTheCheckBoxes() {
    const QString ini = Home(u"entries/Setup.ini"_s);
    const QString launcher = Home(u"桌 面/Tallyvane.desktop"_s);
    const QString entry = Home(u".local/share/applications/tallyvane-pro.desktop"_s);
    const QString script = Home(u".local/share/nautilus/scripts/Tallyvane Pro"_s);
    tv::MainWindow w({ini.toStdString()}, dialogs_);
    w.SetDesktop(desktop_);
    const struct {
      const char* what;        // "save 11": the boxes 1033 and 1052 as ticked
      bool launcher, send_to;  // what exists afterwards
    } steps[] = {
        {"save 11", true, true},   {"delete the entry", true, false},   {"save 01", false, true},
        {"save 00", false, false}, {"block the desktop", false, false}, {"save 11", false, true}};
    for (const auto& s : steps) {
      const QByteArray what = s.what;
      if (what.startsWith("save")) {
        tv::SettingsDialog* dialog = Open(w, 1019);
        QVERIFY2(dialog != nullptr, s.what);
        Child<QCheckBox>(dialog, "1033")->setChecked(what[5] == '1');
        Child<QCheckBox>(dialog, "1052")->setChecked(what[6] == '1');
        Child(dialog, "1006")->click();
        QVERIFY2(!dialog->isVisible(), s.what);
        QCOMPARE(dialogs_.calls.at(0).text, u"参数设置保存成功！"_s);
        // A launcher that could not be made is reported after the save.
        const bool failed = what[5] == '1' && !s.launcher;
        QCOMPARE(dialogs_.calls.size(), failed ? size_t{2} : size_t{1});
        if (failed) QVERIFY(dialogs_.Last().startsWith(u"保存设置: 桌面快捷方式图标未能创建："_s));
        QCOMPARE(desktop_.Last(), s.launcher ? u"trusted "_s + launcher : QString());
        QCOMPARE(QFile::exists(script), s.send_to);
        QVERIFY(ReadBytes(ini).contains(s.launcher ? "ShortCut=1\r\n" : "ShortCut=0\r\n"));
      } else if (what == "delete the entry") {
        QVERIFY(QFile::remove(entry));
      } else {
        QVERIFY(QDir(Home(u"桌 面"_s)).removeRecursively());
        QVERIFY(WriteBytes(Home(u"桌 面"_s), "a file where the desktop folder should be"));
      }
      QVERIFY2(QFile::exists(launcher) == s.launcher && QFile::exists(entry) == s.send_to, s.what);
      tv::SettingsDialog* reopened = Open(w, 32786);
      QVERIFY2(Child<QCheckBox>(reopened, "1033")->isChecked() == s.launcher, s.what);
      QVERIFY2(Child<QCheckBox>(reopened, "1052")->isChecked() == s.send_to, s.what);
      reopened->reject();
    }
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
