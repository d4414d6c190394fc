// The folder chooser with its history in a test's own INI file: loading, OK, writing back.
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

class FolderChooserTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString History() const { return dir_.filePath(QStringLiteral("history.ini")); }
  void WriteHistory(const QStringList& lines) const {  // as another tool would: CR LF
    std::ofstream(History().toStdString(), std::ios::binary)
        << ("[FolderHistory]\r\n" + lines.join("\r\n") + "\r\n").toStdString();
  }
  QStringList Keys() const {  // the history file's keys in key order, as "key=value"
    QSettings ini(History(), QSettings::IniFormat);
    QStringList keys = ini.allKeys();
    for (QString& k : keys) k = k.split(QChar('/')).last() + QChar('=') + ini.value(k).toString();
    return keys;
  }

 private slots:
  void loadsTheHistoryAcceptsOnlyAnExistingFolderAndWritesItOnTop() {
    const QString a = dir_.filePath("a"), src = dir_.filePath("x/src"),
                  cap = dir_.filePath("x/Src");
    for (const QString& folder : {a, src, cap}) QVERIFY(QDir().mkpath(folder));
    WriteHistory({"Folder0000=" + a, "Folder0001=" + dir_.filePath("gone"), "Folder0002=" + src,
                  "Folder0003=" + cap, "Folder=" + cap});
    const QStringList before = Keys();
    tv::test::ScriptedDialogs dialogs;
    tv::FolderChooserDialog chooser(nullptr, dialogs, QStringLiteral("选择目录:"), a, History());
    QComboBox* combo = chooser.HistoryCombo();
    auto* ok = chooser.findChild<QPushButton*>(QStringLiteral("1003"));
    auto* box = chooser.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    // Case matters in names; the history row replaces the file name's, OK replaces "Choose".
    chooser.show();
    QCOMPARE(
        (QVariantList{combo->count(), combo->itemText(0), combo->itemText(1), combo->itemText(2),
                      combo->currentIndex(), combo->maxVisibleItems(), combo->objectName(),
                      ok->text(), chooser.windowTitle(), QDir(chooser.directory()).absolutePath(),
                      combo->isVisible(), ok->isVisible(),
                      box->button(QDialogButtonBox::Cancel)->isVisible(),
                      box->button(QDialogButtonBox::Open)->isVisible(),
                      chooser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->isVisible()}),
        (QVariantList{3, a, src, cap, 2, 20, "1002", "OK", "选择目录:", a, true, true, true, false,
                      false}));
    emit combo->activated(1);  // picking an item only opens its folder
    QCOMPARE(QDir(chooser.directory()).absolutePath(), src);
    // OK refuses what is no folder (chosen ""); it accepts one, relative to the folder shown.
    const std::pair<QString, QString> cases[] = {{a + "x", ""}, {History(), ""},
                                                 {"  ", ""},    {"../Src", cap},
                                                 {src, src},    {"  " + a + "/ ", a}};
    const QString refusal = QStringLiteral("Tallyvane: The folder '%1' isn't accessible.");
    for (const auto& [text, chosen] : cases) {
      chooser.show();
      combo->setEditText(text);
      ok->click();
      const bool refused = chosen.isEmpty();
      QCOMPARE((QVariantList{chooser.isVisible(), chooser.result(), chooser.ChosenFolder()}),
               (QVariantList{refused, refused ? 0 : int(QDialog::Accepted), chosen}));
      QCOMPARE(dialogs.Last(), refused ? refusal.arg(text.trimmed()) : QString());
      if (refused) QCOMPARE(dialogs.calls.back().icon, tv::MessageIcon::None);
      dialogs.calls.clear();
      QCOMPARE(Keys().mid(0, refused ? 5 : 2),  // nothing written, or the folder written on top
               (refused ? before : QStringList{"Folder=" + chosen, "Folder0000=" + chosen}));
    }
    QCOMPARE(Keys(), (QStringList{"Folder=" + a, "Folder0000=" + a, "Folder0001=" + src,
                                  "Folder0002=" + cap}));  // the gone folder and stale key left out

    // Without a last text the first item stands in the edit field, else the last text, item or not.
    WriteHistory({"Folder0000=" + a});
    tv::FolderChooserDialog bare(nullptr, dialogs, QString(), a, History());
    WriteHistory({"Folder0000=" + a, "Folder=" + dir_.filePath("typed")});
    tv::FolderChooserDialog again(nullptr, dialogs, QString(), a, History());
    QCOMPARE((QStringList{bare.HistoryCombo()->currentText(), again.HistoryCombo()->currentText()}),
             (QStringList{a, dir_.filePath("typed")}));
    QCOMPARE(again.HistoryCombo()->count(), 1);
  }
};

QTEST_MAIN(FolderChooserTest)
#include "folder_chooser_test.moc"
