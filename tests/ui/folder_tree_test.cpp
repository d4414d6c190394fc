// The folder tree on real folders: clicks on real items, the saved list
// reopened and written back, and a fill cut short by closing the dialog.
#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

#include "runs/selection_files.h"
#include "support/scripted_dialogs.h"
#include "support/table_file.h"
#include "ui/folder_tree_dialog.h"

using tv::FolderTree;
using tv::FolderTreeDialog;
using tv::test::ReadBytes;
using tv::test::WriteBytes;

class FolderTreeTest : public QObject {
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
  std::unique_ptr<FolderTreeDialog> Open(tv::Dialogs& dialogs) {
    auto dialog = std::make_unique<FolderTreeDialog>(Settings().toStdString(), tv::CodePage::Gbk,
                                                     dialogs, nullptr, home_.path());
    dialog->show();
    return dialog;
  }
  QTreeWidgetItem* Item(FolderTreeDialog& dialog, const QString& path) {
    return dialog.Tree()->ItemFor(Home(path).toUtf8());
  }

 private slots:
  void init() {
    for (const char* f : {"proj/a/x", "proj/b", "proj/c", "other"}) QDir(home_.path()).mkpath(f);
    QVERIFY(WriteBytes(Settings(), "[OTHER]\r\n"));
  }

  void clicks() {
    tv::test::ScriptedDialogs dialogs;
    auto dialog = Open(dialogs);
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
    QVERIFY(dialogs.calls.empty());
  }

  // Saved folders reopen ticked under the home root; a vanished one is dropped on OK.
  void savedFoldersReopenAndAreWrittenBack() {
    SaveList({"~/proj/a", "~/gone", "~//other/", "relative"});
    tv::test::ScriptedDialogs dialogs;
    auto dialog = Open(dialogs);
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
    QVERIFY(dialogs.calls.empty());
  }

  void unreadableListIsSaidAndTheTreeStillServes() {
    QFile::remove(Settings());
    tv::test::ScriptedDialogs dialogs;
    auto dialog = Open(dialogs);
    QTRY_VERIFY(dialog->IsFilled());
    QCOMPARE(dialogs.Last(), "Error: 'Setup.ini' doesn't exist or invalid file format");
    dialog->findChild<QAbstractButton*>(QStringLiteral("2"))->click();  // enabled
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(Settings()));
  }

  // Closed while it fills a long list: the fill stops, nothing is written.
  void closingDuringTheFill() {
    QStringList folders;
    for (int i = 0; i < 3000; ++i) {
      folders << QStringLiteral("~/wide/%1/in").arg(i);
      QDir(home_.path()).mkpath(folders.back().mid(2));
    }
    SaveList(folders);
    const QByteArray before = ReadBytes(Settings());
    tv::test::ScriptedDialogs dialogs;
    auto dialog = Open(dialogs);
    auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("1005"));
    QTRY_VERIFY(bar->value() > 0);
    QVERIFY(!dialog->IsFilled());
    dialog->close();
    QTest::qWait(50);
    QVERIFY(!dialog->IsFilled());
    dialog.reset();
    QCOMPARE(ReadBytes(Settings()), before);
  }
};

QTEST_MAIN(FolderTreeTest)
#include "folder_tree_test.moc"
