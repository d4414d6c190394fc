// The real file dialog of the file selection, inspected from a timer while
// it is open: its seventeen filters in order, the remembered filter and
// folder, a file without an extension under "All Files", and Qt's own texts
// in Chinese.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/qt_translation.h"

class FileDialogTest : public QObject {
  Q_OBJECT

  static QString ButtonText(QMessageBox::StandardButton button) {
    QMessageBox box(QMessageBox::Question, "t", "t",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    return box.button(button)->text();
  }

 private slots:
  // Without Qt's translation the buttons read English; with it, Chinese (the window's own test
  // below then sees Qt's dialog in Chinese too).
  void qtTextsReadChineseWhereTheTranslationIs() {
    QTemporaryDir empty;
    QVERIFY(!tv::InstallQtTranslation(empty.path()));
    QCOMPARE(ButtonText(QMessageBox::Yes), QStringLiteral("&Yes"));
    QVERIFY(tv::InstallQtTranslation());
    QCOMPARE(QStringList({ButtonText(QMessageBox::Yes), ButtonText(QMessageBox::No),
                          ButtonText(QMessageBox::Ok), ButtonText(QMessageBox::Cancel)}),
             QStringList({"是(&Y)", "否(&N)", "确定", "取消"}));
  }

  void showsTheFiltersTheRememberedFolderAndFilesWithoutExtension() {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    std::ofstream(dir.filePath("Makefile").toStdString()) << "all:\n";
    std::ofstream(dir.filePath("Setup.ini").toStdString())
        << "[CURRENT PATH]\r\nPath1=" << dir.path().toStdString() << "\r\nSelectType=3\r\n";
    tv::QtDialogs dialogs;
    tv::MainWindow w({dir.filePath("Setup.ini").toStdString(), tv::CodePage::Gbk}, dialogs);
    QStringList filters, listed, types;
    QString first_filter, folder, look_in;
    QTimer::singleShot(100, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      filters = dialog->nameFilters();
      first_filter = dialog->selectedNameFilter();
      folder = dialog->directory().absolutePath();
      dialog->selectNameFilter(filters.last());
      auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
      QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) >= 3);  // sub, Makefile, Setup.ini
      for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
        listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
        types << view->model()->index(r, 2, view->rootIndex()).data().toString();
      }
      look_in = dialog->findChild<QLabel*>(QStringLiteral("lookInLabel"))->text();
      dialog->reject();
    });
    w.RunCommand(1012);
    QCOMPARE(filters.size(), 17);
    QCOMPARE(filters.first(), QStringLiteral("VC++ Project File (.dsp) (*.dsp)"));
    QCOMPARE(filters[3], QStringLiteral("C/C++ Source Files (*.c;*.cpp;*.h) (*.c *.cpp *.h)"));
    QCOMPARE(filters[8],
             QStringLiteral("VB Source Files (*.frm;*.bas;*.ctl;*.cls) (*.frm *.bas *.ctl *.cls)"));
    QCOMPARE(filters.last(), QStringLiteral("All Files (*.*) (*)"));
    QCOMPARE(first_filter, filters[2]);  // "SelectType" 3
    QCOMPARE(folder, dir.path());        // "Path1"
    QVERIFY2(listed.contains(QStringLiteral("Makefile")), qPrintable(listed.join(',')));
    QCOMPARE(look_in, QStringLiteral("查找范围："));
    QCOMPARE(types.value(listed.indexOf(QStringLiteral("sub"))), QStringLiteral("文件夹"));
  }
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
