// The settings dialog over a temporary Setup.ini and home folder, opened
// from the window's settings commands, with scripted message boxes and a
// recording desktop (so no launcher is ever marked on the real desktop).
#include "ui/settings_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/main_window.h"

using tv::MainWindow;
using tv::SettingsDialog;
using namespace Qt::StringLiterals;

class SettingsDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir home_;
  QByteArray old_home_;
  tv::test::ScriptedDialogs dialogs_;
  tv::test::RecordingDesktop desktop_;

  QString Home(const QString& relative) const { return home_.filePath(relative); }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<no file>"_ba;
  }
  // Opens the dialog through the window's command `id`.
  static SettingsDialog* Open(MainWindow& w, int id) {
    w.RunCommand(id);
    for (auto* dialog : w.findChildren<SettingsDialog*>()) {
      if (dialog->isVisible() && dialog->isModal()) return dialog;
    }
    return nullptr;
  }
  template <typename T = QWidget>
  static T* Child(QWidget* dialog, const char* id) {
    return dialog->findChild<T*>(QString::fromLatin1(id));
  }

 private slots:
  void initTestCase() {
    old_home_ = qgetenv("HOME");
    qputenv("HOME", home_.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
  }
  void cleanupTestCase() { qputenv("HOME", old_home_); }

  void textsAreTheDialogs() {
    tv::SettingsDialog dialog({Home(u"texts.ini"_s).toStdString(), tv::CodePage::Gbk, "", {}},
                              dialogs_, desktop_);
    for (const QStringList& f : tv::test::ReadTable(u"ui/settings_texts.tsv"_s)) {
      const QByteArray id = f[0].toUtf8();
      QString shown;
      if (f[0] == "title"_L1) {
        shown = dialog.windowTitle();
      } else if (f[0] == "label"_L1) {
        for (auto* label : dialog.findChildren<QLabel*>()) {
          if (label->text() == f[1]) shown = f[1];
        }
      } else if (auto* button = Child<QAbstractButton>(&dialog, id)) {
        shown = button->text();
      } else {
        QVERIFY2(Child<QLineEdit>(&dialog, id)->isReadOnly(), id);
        shown = Child<QLineEdit>(&dialog, id)->text();
      }
      QVERIFY2(shown == f[1], id + ": " + shown.toUtf8());
    }
    QVERIFY(!QFile::exists(Home(u"texts.ini"_s)));
  }

  void cancelAfterChangesWritesNothing() {
    const QString ini = Home(u"cancel/Setup.ini"_s);
    MainWindow w({ini.toStdString()}, dialogs_);
    w.SetDesktop(desktop_);
    const QByteArray before = Read(ini);
    SettingsDialog* dialog = Open(w, 32786);
    QVERIFY(dialog != nullptr);
    for (auto* edit : dialog->findChildren<QLineEdit*>()) edit->setText(u".x;"_s);
    for (auto* box : dialog->findChildren<QCheckBox*>()) box->toggle();
    dialogs_.calls.clear();
    Child<QAbstractButton>(dialog, "2")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(Read(ini), before);
    QVERIFY(dialogs_.calls.empty());
    QVERIFY(!QFile::exists(Home(u"Desktop/Tallyvane.desktop"_s)));
    QVERIFY(!QFile::exists(Home(u".local/share/applications/tallyvane-pro.desktop"_s)));
  }

  void failedSaveSaysSoAndStaysOpen() {
    QFile blocker(Home(u"blocker"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("a file where the settings folder should be");
    blocker.close();
    MainWindow w({Home(u"blocker/Setup.ini"_s).toStdString()}, dialogs_);
    w.SetDesktop(desktop_);
    SettingsDialog* dialog = Open(w, 1019);
    QVERIFY(dialog != nullptr);
    Child<QLineEdit>(dialog, "1021")->setText(u".cxx;"_s);
    dialogs_.calls.clear();
    Child<QAbstractButton>(dialog, "1006")->click();
    QCOMPARE(dialogs_.Last(), u"保存设置: 参数设置保存失败！"_s);
    QCOMPARE(dialogs_.calls.back().icon, tv::MessageIcon::Stop);
    QCOMPARE(dialogs_.calls.size(), size_t{1});
    QVERIFY(dialog->isVisible());
    QCOMPARE(Read(Home(u"blocker"_s)), "a file where the settings folder should be"_ba);
    dialog->reject();
  }

  // Each step sets the two check boxes and saves, or deletes the send-to
  // entry by hand; then the files, the setting and the reopened dialog show
  // what really exists.
  void desktopEntriesFollowTheCheckBoxes() {
    const QString ini = Home(u"entries/Setup.ini"_s);
    const QString launcher = Home(u"Desktop/Tallyvane.desktop"_s);
    const QString entry = Home(u".local/share/applications/tallyvane-pro.desktop"_s);
    const QString script = Home(u".local/share/nautilus/scripts/Tallyvane Pro"_s);
    MainWindow w({ini.toStdString()}, dialogs_);
    w.SetDesktop(desktop_);
    const struct Step {
      const char* what;        // "save", "delete by hand" or "block the desktop"
      bool launcher, send_to;  // the boxes ticked, then what exists afterwards
      const char* warning;     // the text the warning after the save starts with
    } steps[] = {
        {"save", true, true, ""},
        {"delete by hand", true, false, ""},
        {"save", false, true, ""},
        {"save", false, false, ""},
        {"block the desktop", false, false, ""},
        {"save", false, true, "桌面快捷方式图标未能创建："},
    };
    for (const Step& s : steps) {
      const QByteArray trace =
          s.what + " "_ba + QByteArray::number(s.launcher) + QByteArray::number(s.send_to);
      dialogs_.calls.clear();
      desktop_.calls.clear();
      const bool tick_launcher = s.launcher || s.warning[0] != '\0';
      if (s.what == "save"_ba) {
        SettingsDialog* dialog = Open(w, 1019);
        QVERIFY2(dialog != nullptr, trace);
        Child<QCheckBox>(dialog, "1033")->setChecked(tick_launcher);
        Child<QCheckBox>(dialog, "1052")->setChecked(s.send_to);
        Child<QAbstractButton>(dialog, "1006")->click();
        QVERIFY2(!dialog->isVisible(), trace);
        QVERIFY2(dialogs_.calls.at(0).text == u"参数设置保存成功！"_s, trace);
        QCOMPARE(dialogs_.calls.size(), s.warning[0] ? size_t{2} : size_t{1});
        if (s.warning[0]) {
          QVERIFY2(dialogs_.Last().startsWith(u"保存设置: "_s + QString::fromUtf8(s.warning)),
                   dialogs_.Last().toUtf8());
          QCOMPARE(dialogs_.calls.back().icon, tv::MessageIcon::Warning);
        }
        QCOMPARE(desktop_.Last(), s.launcher ? u"trusted "_s + launcher : QString());
      } else if (s.what == "delete by hand"_ba) {
        QVERIFY(QFile::remove(entry));
      } else {
        QVERIFY(QDir(Home(u"Desktop"_s)).removeRecursively());
        QFile file(Home(u"Desktop"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
      }
      QVERIFY2(QFile::exists(launcher) == s.launcher, trace);
      QVERIFY2(QFile::exists(entry) == s.send_to, trace);
      if (s.what == "save"_ba) QVERIFY2(QFile::exists(script) == s.send_to, trace);
      const QByteArray shortcut = s.launcher ? "ShortCut=1\r\n" : "ShortCut=0\r\n";
      if (s.what == "save"_ba) QVERIFY2(Read(ini).contains(shortcut), trace);
      SettingsDialog* reopened = Open(w, 32786);
      QVERIFY2(reopened != nullptr, trace);
      QVERIFY2(Child<QCheckBox>(reopened, "1033")->isChecked() == s.launcher, trace);
      QVERIFY2(Child<QCheckBox>(reopened, "1052")->isChecked() == s.send_to, trace);
      reopened->reject();
    }
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
