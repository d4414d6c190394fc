// The two folder pickers. The folder tree on real folders: clicks on real
// items, the saved list reopened and written back, names that are not UTF-8,
// a big folder taken in slices, and a fill cut short by closing the dialog.
// The folder chooser with its history in a test's own INI file: loading, OK,
// writing back.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "runs/selection_files.h"
#include "support/gate.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/controls/folder_chooser.h"
#include "ui/folder_tree_dialog.h"

using tv::FolderTree;
using tv::FolderTreeDialog;
using tv::test::ReadBytes;
using tv::test::WriteBytes;

class FolderPickersTest : public QObject {
  Q_OBJECT

  QTemporaryDir home_;
  QString Home(const QString& path) const {
    return path.startsWith(QLatin1Char('~')) ? home_.path() + path.mid(1) : path;
  }
  QString Settings() const { return home_.filePath(QStringLiteral("Setup.ini")); }
  void SaveList(const QStringList& folders) {
    std::vector<std::string> list;
    for (const QString& f : folders) list.push_back(Home(f).toStdString());
    QVERIFY(tv::WriteFolderList(Settings().toStdString(), list, tv::CodePage::Gbk));
  }
  tv::test::ScriptedDialogs dialogs_;  // new for each test
  std::unique_ptr<FolderTreeDialog> Open(const QByteArray& home = {},
                                         FolderTreeDialog::Lister list = {}) {
    auto dialog = std::make_unique<FolderTreeDialog>(
        Settings().toStdString(), tv::CodePage::Gbk, dialogs_, nullptr,
        (home.isEmpty() ? QFile::encodeName(home_.path()) : home).toStdString(), list);
    dialog->show();
    return dialog;
  }
  QTreeWidgetItem* Item(FolderTreeDialog& dialog, const QString& path) {
    return dialog.Tree()->ItemFor(Home(path).toUtf8());
  }

  QTemporaryDir dir_;
  QString History() const { return dir_.filePath(QStringLiteral("history.ini")); }
  void WriteHistory(const QStringList& lines) const {  // as another tool would: CR LF
    WriteBytes(History(), ("[FolderHistory]\r\n" + lines.join("\r\n") + "\r\n").toStdString());
  }
  QStringList Keys() const {  // the history file's keys in key order, as "key=value"
    QSettings ini(History(), QSettings::IniFormat);
    QStringList keys = ini.allKeys();
    for (QString& k : keys) k = k.split(QChar('/')).last() + QChar('=') + ini.value(k).toString();
    return keys;
  }

 private slots:
  void init() {
    dialogs_ = {};
    for (const char* f : {"proj/a/x", "proj/b", "proj/c", "other"}) QDir(home_.path()).mkpath(f);
    QVERIFY(WriteBytes(Settings(), "[OTHER]\r\n"));
  }

  void clicks() {
    auto dialog = Open();
    QTRY_VERIFY(dialog->IsFilled());
    FolderTree* tree = dialog->Tree();
    Item(*dialog, QStringLiteral("~"))->setExpanded(true);
    for (const QStringList& row : tv::test::ReadTable(QStringLiteral("ui/folder_tree.tsv"))) {
      const QString trace = row.join(QLatin1Char(' '));
      QTreeWidgetItem* item = Item(*dialog, row[1]);
      QVERIFY2(item != nullptr, qPrintable(trace));
      tree->scrollToItem(item);
      const QRect check = tree->CheckRect(item);
      const bool on_check = row[0] == QLatin1String("check");
      if (row[0] == QLatin1String("space")) {
        tree->setCurrentItem(item);
        QTest::keyClick(tree, Qt::Key_Space);
      } else {
        QTest::mouseClick(
            tree->viewport(), row[0] == "right" ? Qt::RightButton : Qt::LeftButton, {},
            on_check ? check.center() : QPoint(check.right() + 30, check.center().y()));
      }
      QStringList listed;
      for (const QString& f : row.mid(3, row.size() - 4)) listed << Home(f);
      QTRY_COMPARE_WITH_TIMEOUT(dialog->ListedFolders(), listed, 1000);
      QString states;
      for (const char* p : {"~/proj", "~/proj/a", "~/proj/b", "~/proj/c"}) {
        QTreeWidgetItem* watched = Item(*dialog, QString::fromLatin1(p));
        states += FolderTree::IsTicked(watched) ? 'T' : FolderTree::IsBold(watched) ? 'B' : '-';
      }
      QVERIFY2(states == row.last(), qPrintable(trace + " gave " + states));
    }
    QVERIFY(dialogs_.calls.empty());
  }

  // Saved folders reopen ticked under the home root; a vanished one is dropped on OK.
  void savedFoldersReopenAndAreWrittenBack() {
    SaveList({"~/proj/a", "~/gone", "~//other/", "relative"});
    auto dialog = Open();
    QVERIFY(!dialog->findChild<QAbstractButton*>(QStringLiteral("1015"))->isEnabled());
    QTRY_VERIFY(dialog->IsFilled());
    const QStringList kept{Home("~/other"), Home("~/proj/a")};
    QCOMPARE(dialog->ListedFolders(), kept);
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("1056"))->text(), "已选择 2 个目录:");
    QCOMPARE(dialog->findChild<QProgressBar*>(QStringLiteral("1005"))->value(), 4);
    QTreeWidgetItem* top = Item(*dialog, "~/proj/a");
    while (top->parent() != nullptr) top = top->parent();
    QCOMPARE(FolderTree::PathOf(top), home_.path().toUtf8());
    QVERIFY(FolderTree::IsBold(top) && !FolderTree::IsTicked(top));
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    dialog->findChild<QAbstractButton*>(QStringLiteral("1015"))->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(dialog->KeptText(), "已选择 2 个统计目录:");
    QVERIFY(tv::ReadFolderList(Settings().toStdString(), tv::CodePage::Gbk) ==
            std::vector<std::string>({kept[0].toStdString(), kept[1].toStdString()}));
    QVERIFY(dialogs_.calls.empty());
  }

  void unreadableListIsSaidAndTheTreeStillServes() {
    QFile::remove(Settings());
    auto dialog = Open();
    QTRY_VERIFY(dialog->IsFilled());
    QCOMPARE(dialogs_.Last(), "Error: 'Setup.ini' doesn't exist or invalid file format");
    dialog->findChild<QAbstractButton*>(QStringLiteral("2"))->click();  // enabled
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(Settings()));
  }

  // A folder of 2,500 subfolders comes in slices: the event loop runs
  // while only part of them are in. A name is bytes (here the home folder's
  // and a subfolder's): shown read as GBK, kept exact, ticked as such.
  // Every folder shares one icon.
  void bigFolderAndNamesThatAreNotUtf8() {
    QTemporaryDir tmp;
    const QByteArray home = QFile::encodeName(tmp.path()) + "/\xd6\xd0", gbk = home + "/\xce\xc4";
    for (int i = -2; i < 2500; ++i) {
      QVERIFY(::mkdir(i == -2   ? home
                      : i == -1 ? gbk
                                : home + '/' + QByteArray::number(i),
                      0755) == 0);
    }
    auto dialog = Open(home);
    QTreeWidgetItem* root = dialog->Tree()->ItemFor(home);
    QSet<int> seen;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { seen << root->childCount(); });
    watch.start(0);
    QTRY_VERIFY(dialog->IsFilled());
    seen.subtract({0, 2501});
    QVERIFY2(!seen.isEmpty(), "no turn of the event loop between the first and the last");
    QTreeWidgetItem* item = dialog->Tree()->ItemFor(gbk);
    QCOMPARE(root->text(0) + item->text(0), tmp.path() + QStringLiteral("/中文"));
    QCOMPARE(item->icon(0).cacheKey(), root->child(0)->icon(0).cacheKey());
    dialog->Tree()->SetTicked(item, true);
    QCOMPARE(dialog->Tree()->TopmostTicked(), std::vector<std::string>{gbk.toStdString()});
  }

  // Closed while the fill lists a folder: the dialog goes at once, the fill
  // sees the stop, and nothing is written.
  void closingDuringTheFill() {
    SaveList({"~/proj/a"});
    const QByteArray before = ReadBytes(Settings());
    auto gate = std::make_shared<tv::test::Gate>();
    auto dialog = Open({}, [gate](const std::string&, const std::atomic<bool>& stop) {
      gate->Pass(stop);
      return std::vector<tv::Subfolder>{};
    });
    QTRY_COMPARE(gate->state, tv::test::Gate::kReached);
    dialog->close();
    QVERIFY(!dialog->IsFilled());
    dialog.reset();
    gate->state = tv::test::Gate::kOpened;
    QTRY_COMPARE_WITH_TIMEOUT(gate->state, tv::test::Gate::kLeft, 30000);
    QVERIFY(!gate->waited_for && gate->stop_seen);
    QCOMPARE(ReadBytes(Settings()), before);
  }

  void loadsTheHistoryAcceptsOnlyAnExistingFolderAndWritesItOnTop() {
    const QString a = dir_.filePath("a"), src = dir_.filePath("x/src"),
                  cap = dir_.filePath("x/Src");
    for (const QString& folder : {a, src, cap}) QVERIFY(QDir().mkpath(folder));
    WriteHistory({"Folder0000=" + a, "Folder0001=" + dir_.filePath("gone"), "Folder0002=" + src,
                  "Folder0003=" + cap, "Folder=" + cap});
    const QStringList before = Keys();
    tv::FolderChooserDialog chooser(nullptr, dialogs_, QStringLiteral("选择目录:"), a, History());
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
      QCOMPARE(dialogs_.Last(), refused ? refusal.arg(text.trimmed()) : QString());
      if (refused) QCOMPARE(dialogs_.calls.back().icon, tv::MessageIcon::None);
      dialogs_.calls.clear();
      QCOMPARE(Keys().mid(0, refused ? 5 : 2),  // nothing written, or the folder written on top
               (refused ? before : QStringList{"Folder=" + chosen, "Folder0000=" + chosen}));
    }
    QCOMPARE(Keys(), (QStringList{"Folder=" + a, "Folder0000=" + a, "Folder0001=" + src,
                                  "Folder0002=" + cap}));  // the gone folder and stale key left out

    // Without a last text the first item stands in the edit field, else the last text, item or not.
    WriteHistory({"Folder0000=" + a});
    tv::FolderChooserDialog bare(nullptr, dialogs_, QString(), a, History());
    WriteHistory({"Folder0000=" + a, "Folder=" + dir_.filePath("typed")});
    tv::FolderChooserDialog again(nullptr, dialogs_, QString(), a, History());
    QCOMPARE((QStringList{bare.HistoryCombo()->currentText(), again.HistoryCombo()->currentText()}),
             (QStringList{a, dir_.filePath("typed")}));
    QCOMPARE(again.HistoryCombo()->count(), 1);
  }
};

QTEST_MAIN(FolderPickersTest)
#include "folder_pickers_test.moc"
