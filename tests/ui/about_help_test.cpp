// The About box's keys and text, and the About and help commands against a
// recording desktop.
#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "support/table_file.h"
#include "support/window_session.h"
#include "ui/about_dialog.h"

class AboutHelpTest : public QObject {
  Q_OBJECT

 private slots:
  // Esc leaves the box open and only OK closes it; no line breaks inside a
  // name, and the sections come in order.
  void aboutClosesOnlyByOkAndHoldsItsSections() {
    tv::AboutDialog about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* text = about.findChild<QPlainTextEdit*>(QStringLiteral("1000"));
    QString before = text->toPlainText();
    QTest::keyClick(&about, Qt::Key_Escape);  // on the box itself
    QVERIFY(about.isVisible());
    about.findChild<QAbstractButton*>(QStringLiteral("1"))->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
    // No line breaks inside a Latin word, name or number ("C++Builder", "v3.7"): the text
    // joins their characters with word joiners.
    auto latin = [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x2000 && !c.isSpace(); };
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
      text->document()->documentLayout()->blockBoundingRect(block);  // lays the block out
      const QString line = block.text();
      for (int i = 1; i < block.layout()->lineCount(); ++i) {
        const int start = block.layout()->lineAt(i).textStart();
        int end = start - 1;  // the last character before the break, joiners skipped
        while (end > 0 && line[end] == QChar(0x2060)) --end;
        QVERIFY2(!latin(line[end]) || !latin(line[start]), qPrintable(line.mid(end - 8, 16)));
      }
    }
    // The text has lines that match the patterns of the sections table, in order.
    before.remove(QChar(0x2060));
    qsizetype at = 0;
    for (QStringList f : tv::test::ReadTable(QStringLiteral("ui/about_sections.tsv"))) {
      f[0].replace("%QT%", QRegularExpression::escape(QString::fromLatin1(qVersion())));
      const QRegularExpressionMatch m =
          QRegularExpression(f[0], QRegularExpression::MultilineOption).match(before, at);
      QVERIFY2(m.hasMatch(), qPrintable(f[0]));
      at = m.capturedEnd();
    }
  }

  // A command of the table with the manual in a folder of its own, missing
  // there, or beside the program (where the build copies it); the sections
  // it opens exist in the manual.
  void commandsOpenTheAboutBoxOrTheManual() {
    const QByteArray manual =
        tv::test::ReadBytes(QStringLiteral(TV_SOURCE_DIR "/manual/Help.html"));
    for (const QStringList& f : tv::test::ReadTable(QStringLiteral("ui/help_commands.tsv"))) {
      if (f[2].startsWith('#')) QVERIFY(manual.contains("id=\"" + f[2].mid(1).toUtf8() + '"'));
      QTemporaryDir manual;
      if (f[1] == "present") QFile(manual.filePath("Help.html")).open(QIODevice::WriteOnly);
      tv::test::WindowSession s(manual.filePath("Setup.ini"));
      if (f[1] != "program") s.w.SetManualFolder(manual.path());
      s.w.RunCommand(f[0].toInt());
      const QString folder = f[1] == "program" ? qApp->applicationDirPath() : manual.path();
      const QString opened = f[2] == "-"
                                 ? QString()
                                 : QStringLiteral("browser file://") + folder + "/Help.html" + f[2];
      const auto* about = s.w.findChild<tv::AboutDialog*>(QStringLiteral("100"));
      const bool modal = about != nullptr && about->isVisible() && about->isModal();
      QVERIFY2(s.desktop.Last() == opened && s.desktop.calls.size() <= 1 &&
                   s.dialogs.Last() == f.value(3) && modal == (f[1] == "about"),
               f.join(' ').toUtf8());
    }
  }
};

QTEST_MAIN(AboutHelpTest)
#include "about_help_test.moc"
