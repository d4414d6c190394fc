// The folder chooser with its history in a test's own INI file: what it
// loads, what OK accepts or refuses, and what it writes back.
#include "ui/controls/folder_chooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "support/scripted_dialogs.h"

using tv::FolderChooserDialog;
using tv::test::ScriptedDialogs;

namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace

class FolderChooserTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString History() const { return dir_.filePath(QStringLiteral("history.ini")); }
  QString Folder(const QString& name) const {
    const QString path = dir_.filePath(name);
    QDir().mkpath(path);
    return path;
  }
  // Writes the history file as another tool would: plain lines, CR LF.
  void WriteHistory(const QStringList& lines) const {
    std::ofstream out(History().toStdString(), std::ios::binary | std::ios::trunc);
    out << "[FolderHistory]\r\n";
    for (const QString& line : lines) out << line.toStdString() << "\r\n";
  }
  QString Value(const QString& key) const {
    QSettings settings(History(), QSettings::IniFormat);
    return settings.value(QStringLiteral("FolderHistory/") + key).toString();
  }

 private slots:
  void init() { QFile::remove(History()); }

  void loadsExistingFoldersAndSelectsTheLastText() {
    const QString a = Folder("a"), src = Folder("x/src"), upper = Folder("x/Src");
    WriteHistory({"Folder0000=" + a, "Folder0001=" + dir_.filePath("gone"), "Folder0002=" + src,
                  "Folder0003=" + upper, "Folder=" + upper});
    ScriptedDialogs dialogs;
    FolderChooserDialog chooser(nullptr, dialogs, QStringLiteral("选择目录:"), a, History());
    QComboBox* combo = chooser.HistoryCombo();
    QCOMPARE(Items(combo), (QStringList{a, src, upper}));  // names differing in case are two
    QCOMPARE(combo->currentIndex(), 2);                    // found exactly, not "src"
    QCOMPARE(combo->maxVisibleItems(), 20);
    QCOMPARE(combo->objectName(), QStringLiteral("1002"));
    QCOMPARE(chooser.findChild<QPushButton*>(QStringLiteral("1003"))->text(), QStringLiteral("OK"));
    QCOMPARE(chooser.windowTitle(), QStringLiteral("选择目录:"));
    QCOMPARE(QDir(chooser.directory()).absolutePath(), a);
    // The history row stands where the file name was; OK replaces "Choose".
    chooser.show();
    QVERIFY(combo->isVisible());
    QVERIFY(!chooser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->isVisible());
    auto* box = chooser.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(!box->button(QDialogButtonBox::Open)->isVisible());
    QVERIFY(box->button(QDialogButtonBox::Cancel)->isVisible());
    QVERIFY(chooser.findChild<QPushButton*>(QStringLiteral("1003"))->isVisible());

    // A last text that is no item stands in the edit field.
    WriteHistory({"Folder0000=" + a, "Folder=" + dir_.filePath("typed")});
    FolderChooserDialog again(nullptr, dialogs, QString(), a, History());
    QCOMPARE(again.HistoryCombo()->count(), 1);
    QCOMPARE(again.HistoryCombo()->currentText(), dir_.filePath("typed"));
  }

  void okAcceptsOnlyAnExistingFolder_data() {
    QTest::addColumn<QString>("text");    // typed into the drop-down; relative to the list's folder
    QTest::addColumn<QString>("chosen");  // "" when refused
    Folder("list/sub");
    QFile file(dir_.filePath("list/file.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QTest::newRow("a folder") << dir_.filePath("list/sub") << dir_.filePath("list/sub");
    QTest::newRow("blanks and a slash around it")
        << "  " + dir_.filePath("list/sub/") + " " << dir_.filePath("list/sub");
    QTest::newRow("relative") << "sub" << dir_.filePath("list/sub");
    QTest::newRow("missing") << dir_.filePath("list/none") << "";
    QTest::newRow("a file") << dir_.filePath("list/file.txt") << "";
    QTest::newRow("blank") << "  "
                           << "";
  }

  void okAcceptsOnlyAnExistingFolder() {
    QFETCH(QString, text);
    QFETCH(QString, chosen);
    const QString earlier = Folder("earlier");
    WriteHistory({"Folder0000=" + earlier, "Folder=" + earlier});
    ScriptedDialogs dialogs;
    FolderChooserDialog chooser(nullptr, dialogs, QString(), dir_.filePath("list"), History());
    chooser.show();
    chooser.HistoryCombo()->setEditText(text);
    chooser.findChild<QPushButton*>(QStringLiteral("1003"))->click();
    if (chosen.isEmpty()) {
      QVERIFY(chooser.isVisible());
      QCOMPARE(dialogs.Last(),
               QStringLiteral("Tallyvane: The folder '%1' isn't accessible.").arg(text.trimmed()));
      QCOMPARE(dialogs.calls.back().icon, tv::MessageIcon::None);
      QCOMPARE(Value("Folder0000"), earlier);  // nothing written
      QCOMPARE(Value("Folder0001"), QString());
    } else {
      QVERIFY(!chooser.isVisible());
      QCOMPARE(chooser.result(), int(QDialog::Accepted));
      QCOMPARE(chooser.ChosenFolder(), chosen);
      QVERIFY(dialogs.calls.empty());
      QCOMPARE(Value("Folder0000"), chosen);
      QCOMPARE(Value("Folder0001"), earlier);
      QCOMPARE(Value("Folder"), chosen);
    }
  }

  void aForeignLongHistoryIsReadToFiftyAndTrimmedOnSave() {
    QStringList lines;
    for (int i = 0; i < 60; ++i) {
      lines << QStringLiteral("Folder%1=%2")
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .arg(Folder(QString::number(i)));
    }
    lines << "Folder0062=" + Folder("62");  // past a gap
    WriteHistory(lines);
    ScriptedDialogs dialogs;
    FolderChooserDialog chooser(nullptr, dialogs, QString(), dir_.path(), History());
    QCOMPARE(chooser.HistoryCombo()->count(), 50);
    QCOMPARE(chooser.HistoryCombo()->itemText(49), dir_.filePath("49"));
    chooser.HistoryCombo()->setEditText(Folder("new"));
    chooser.accept();
    QCOMPARE(Value("Folder0000"), dir_.filePath("new"));
    QCOMPARE(Value("Folder0049"), dir_.filePath("48"));
    QSettings settings(History(), QSettings::IniFormat);
    for (int i = 50; i < 60; ++i) {
      QVERIFY(!settings.contains(
          QStringLiteral("FolderHistory/Folder%1").arg(i, 4, 10, QLatin1Char('0'))));
    }
    QCOMPARE(Value("Folder0062"), dir_.filePath("62"));
  }

  void pickingAnItemOpensItsFolder() {
    const QString a = Folder("a"), b = Folder("b/c");
    WriteHistory({"Folder0000=" + a, "Folder0001=" + b});
    ScriptedDialogs dialogs;
    FolderChooserDialog chooser(nullptr, dialogs, QString(), a, History());
    chooser.show();
    QComboBox* combo = chooser.HistoryCombo();
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    QCOMPARE(QDir(chooser.directory()).absolutePath(), b);
    QVERIFY(chooser.isVisible());  // picking only opens the folder
  }
};

QTEST_MAIN(FolderChooserTest)
#include "folder_chooser_test.moc"
