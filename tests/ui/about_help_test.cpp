// The About box's keys and text, the help commands against a recording
// desktop, and the manual's own links and pictures.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/about_dialog.h"
#include "ui/main_window.h"

class AboutHelpTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tv::WindowSettings Settings() const {
    return {dir_.filePath(QStringLiteral("Setup.ini")).toStdString(), tv::CodePage::Gbk};
  }

 private slots:
  // Each key pressed on the text from the middle of its range: where the
  // text then stands ("same", "up", "down", "top", "bottom"); the dialog
  // stays open and nothing is selected or changed.
  void aboutPassesOnlyTheScrollKeys() {
    tv::AboutDialog about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* text = about.findChild<QPlainTextEdit*>(QStringLiteral("1000"));
    QScrollBar* bar = text->verticalScrollBar();
    QVERIFY(bar->maximum() > 4);
    const QString before = text->toPlainText();
    for (const QStringList& f : tv::test::ReadTable(QStringLiteral("ui/about_keys.tsv"))) {
      const QKeySequence sequence(f[0]);
      const int middle = bar->maximum() / 2;
      bar->setValue(middle);
      text->setFocus();
      QTest::keyClick(text, Qt::Key(sequence[0].key()), sequence[0].keyboardModifiers());
      const int now = bar->value();
      const QString& where = f[1];
      QVERIFY2(where == "same"   ? now == middle
               : where == "up"   ? now < middle
               : where == "down" ? now > middle
               : where == "top"  ? now == 0
                                 : now == bar->maximum(),
               qPrintable(f[0]));
      QVERIFY2(about.isVisible(), qPrintable(f[0]));
      QVERIFY2(!text->textCursor().hasSelection(), qPrintable(f[0]));
      QVERIFY2(text->toPlainText() == before, qPrintable(f[0]));
    }
    // Esc on the button and a right click on the text do nothing either.
    auto* ok = about.findChild<QAbstractButton*>(QStringLiteral("1"));
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QTest::mouseClick(text->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(20, 20),
                           text->viewport()->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(text->viewport(), &menu);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    ok->click();
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }

  // The usage text's sections in their order, with the 19 features numbered.
  void aboutTextHoldsItsSectionsInOrder() {
    const QString text = tv::AboutDialog::UsageText();
    const QStringList heads = {QStringLiteral("当前版本：v3.7 build 0302\n"),
                               QStringLiteral("\n软件功能：\n"),
                               QStringLiteral("\n使用方法：\n"),
                               QStringLiteral("\n※需要说明的几点※\n"),
                               QStringLiteral("\n※注意事项※\n"),
                               QStringLiteral("\n运行环境：Linux"),
                               QStringLiteral("Qt ") + QString::fromLatin1(qVersion()) + "\n",
                               QStringLiteral("\n致谢：\n"),
                               QStringLiteral("\n联系方式：\n"),
                               QStringLiteral("\n后记：\n"),
                               QStringLiteral("\n使用条款：\n")};
    qsizetype at = 0;
    for (const QString& head : heads) {
      const qsizetype found = text.indexOf(head, at);
      QVERIFY2(found >= at, qPrintable(head));
      at = found + head.size();
    }
    const QString features =
        text.section(QStringLiteral("软件功能："), 1).section("使用方法：", 0, 0);
    for (int i = 1; i <= 20; ++i) {
      QCOMPARE(features.contains(QStringLiteral("\n%1. ").arg(i)), i <= 19);
    }
  }

  void aboutOpensModalFromItsButtonAndMenu() {
    for (bool button : {true, false}) {
      tv::test::ScriptedDialogs dialogs;
      tv::MainWindow w(Settings(), dialogs);
      w.show();
      if (button) {
        w.findChild<QAbstractButton*>(QStringLiteral("1017"))->click();
      } else {
        w.menuBar()->findChild<QAction*>(QStringLiteral("32788"))->trigger();
      }
      auto* about = w.findChild<tv::AboutDialog*>(QStringLiteral("100"));
      QVERIFY(about != nullptr && about->isVisible() && about->isModal());
      QVERIFY(dialogs.calls.empty());
    }
  }

  // Each help command with the manual in a chosen folder, missing from it,
  // or beside the program (where the build copies it).
  void helpOpensTheManualOrSaysItIsMissing() {
    for (const QStringList& f : tv::test::ReadTable(QStringLiteral("ui/help_commands.tsv"))) {
      const QByteArray line = f.join(QLatin1Char(' ')).toUtf8();
      QTemporaryDir manual;
      QFile help(manual.filePath("Help.html"));
      if (f[1] == "present") QVERIFY(help.open(QIODevice::WriteOnly));
      help.close();
      tv::test::ScriptedDialogs dialogs;
      tv::test::RecordingDesktop desktop;
      tv::MainWindow w(Settings(), dialogs);
      w.SetDesktop(desktop);
      if (f[1] != "program") w.SetManualFolder(manual.path());
      w.menuBar()->findChild<QAction*>(f[0])->trigger();
      const QString folder =
          f[1] == "program" ? QCoreApplication::applicationDirPath() : manual.path();
      const QString opened = f[2] == "-"
                                 ? QString()
                                 : QStringLiteral("browser file://") + folder + "/Help.html" + f[2];
      QVERIFY2(desktop.Last() == opened, line);
      QVERIFY2(desktop.calls.size() == (opened.isEmpty() ? 0u : 1u), line);
      QVERIFY2(dialogs.Last() == f.value(3), line);
      if (!dialogs.calls.empty()) QCOMPARE(dialogs.calls.back().icon, tv::MessageIcon::Stop);
    }
  }

  // Every picture and in-page link of the manual resolves in the source tree.
  void manualRefersOnlyToWhatExists() {
    QFile file(QStringLiteral(TV_SOURCE_DIR "/manual/Help.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QStringList ids;
    for (const auto& m :
         QRegularExpression(QStringLiteral("\\bid=\"([^\"]+)\"")).globalMatch(html)) {
      ids << m.captured(1);
    }
    int pictures = 0;
    for (const auto& m :
         QRegularExpression(QStringLiteral("\\b(src|href)=\"([^\"]+)\"")).globalMatch(html)) {
      const QString target = m.captured(2);
      if (target.startsWith('#')) {
        QVERIFY2(ids.contains(target.mid(1)), qPrintable(target));
      } else {
        QVERIFY2(!target.contains(':'), qPrintable(target));  // nothing outside the manual
        QVERIFY2(QFile::exists(QStringLiteral(TV_SOURCE_DIR "/manual/") + target),
                 qPrintable(target));
        ++pictures;
      }
    }
    QVERIFY(pictures >= 10);
    for (const char* id : {"about-this-project", "reporting-a-problem"}) {
      QVERIFY2(ids.contains(QString::fromLatin1(id)), id);
    }
  }
};

QTEST_MAIN(AboutHelpTest)
#include "about_help_test.moc"
