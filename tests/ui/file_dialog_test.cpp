// The real file dialog of the file selection, inspected from a timer while
// it is open: its seventeen filters in order, the remembered filter and
// folder, and a file without an extension under "All Files".
#include <QAbstractItemView>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "ui/dialogs.h"
#include "ui/main_window.h"

class FileDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheFiltersTheRememberedFolderAndFilesWithoutExtension() {
    QTemporaryDir dir;
    std::ofstream(dir.filePath("Makefile").toStdString()) << "all:\n";
    std::ofstream(dir.filePath("Setup.ini").toStdString())
        << "[CURRENT PATH]\r\nPath1=" << dir.path().toStdString() << "\r\nSelectType=3\r\n";
    tv::QtDialogs dialogs;
    tv::MainWindow w({dir.filePath("Setup.ini").toStdString(), tv::CodePage::Gbk}, dialogs);
    QStringList filters, listed;
    QString first_filter, folder;
    QTimer::singleShot(100, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      filters = dialog->nameFilters();
      first_filter = dialog->selectedNameFilter();
      folder = dialog->directory().absolutePath();
      dialog->selectNameFilter(filters.last());
      auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
      QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) > 0);
      for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
        listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
      }
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
  }
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
