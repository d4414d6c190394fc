// Drives the real window with its real dialogs and saves a picture of each
// state: tools/screenshots.sh runs it under Xvfb. Usage:
//   tallyvane_screenshots OUTDIR EXAMPLES_DIR
// Exit status 1 when a picture is blank or a step did not happen.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "platform/codepage.h"
#include "platform/ini.h"
#include "reports/text_reports.h"
#include "runs/selection_files.h"
#include "ui/controls/folder_chooser.h"
#include "ui/controls/sort_list.h"
#include "ui/dialogs.h"
#include "ui/find_dialog.h"
#include "ui/folder_tree_dialog.h"
#include "ui/main_window.h"
#include "ui/properties_dialog.h"
#include "ui/qt_translation.h"
#include "ui/source_viewer.h"

namespace {

QString g_out;
int g_failures = 0;

// Saves `image` as OUTDIR/NAME; a picture of one colour is a failure.
void SaveImage(const QImage& image, const QString& name) {
  bool varied = false;
  const QRgb first = image.isNull() ? 0 : image.pixel(0, 0);
  for (int y = 0; y < image.height() && !varied; y += 2) {
    for (int x = 0; x < image.width() && !varied; x += 2) varied = image.pixel(x, y) != first;
  }
  if (!varied || !image.save(g_out + QLatin1Char('/') + name)) {
    std::fprintf(stderr, "screenshots: %s is blank or could not be saved\n", qPrintable(name));
    ++g_failures;
  }
}

// Saves `widget` as OUTDIR/NAME.
void Save(QWidget* widget, const QString& name) {
  QCoreApplication::processEvents();
  SaveImage(widget->grab().toImage(), name);
}

// Saves what the screen shows in `area` (a widget with its popups or the
// dialogs over it) as OUTDIR/NAME.
void SaveScreen(const QRect& area, const QString& name) {
  QTest::qWait(200);
  SaveImage(QGuiApplication::primaryScreen()
                ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                .toImage(),
            name);
}

// Runs `act` on the next modal dialog once it is shown (a modal dialog blocks
// the caller, so the look and the answer come from a timer).
void WhenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(50);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    QTest::qWait(300);  // the file list fills in the background
    act(modal);
  });
  timer->start();
}

// Waits until the window's run has ended and shown all it sent: its last
// word restores the cursor.
void WaitForRun(const tv::MainWindow& window) {
  if (!QTest::qWaitFor(
          [&] { return !window.IsRunStarted() && window.cursor().shape() != Qt::WaitCursor; },
          10000)) {
    ++g_failures;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tv::InstallQtTranslation();  // as the program does
  if (argc < 3) {
    std::fprintf(stderr, "usage: tallyvane_screenshots OUTDIR EXAMPLES_DIR\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  const QString examples = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
  const QString settings = g_out + QStringLiteral("/Setup.ini");
  QFile::remove(settings);

  tv::QtDialogs dialogs;
  tv::MainWindow window({settings.toStdString(), tv::CodePage::Gbk}, dialogs);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) ++g_failures;
  Save(&window, QStringLiteral("main-empty.png"));

  // Pick the sample sources under "All Files".
  WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) {
      modal->close();
      return;
    }
    dialog->selectNameFilter(dialog->nameFilters().value(2));
    dialog->setDirectory(examples + QStringLiteral("/projects/builder"));
    QTest::qWait(300);
    Save(dialog, QStringLiteral("file-dialog.png"));
    dialog->selectNameFilter(dialog->nameFilters().last());
    dialog->setDirectory(examples + QStringLiteral("/projects/builder"));
    QTest::qWait(300);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QStringLiteral("\"App.cpp\" \"App.h\" \"Unit1.cpp\" \"Unit1.h\" \"Util.cpp\""));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  window.RunCommand(1012);
  window.RunCommand(1006);
  WaitForRun(window);
  QTest::qWait(200);
  Save(&window, QStringLiteral("main-files-counted.png"));

  // The window enlarged after a count with per-file percentages: the list
  // and its name column take the room, and every count shows whole.
  tv::WriteProfileString(settings.toStdString(), "SHOW SINGLE FILE PERCENT", "Flag", "1",
                         tv::CodePage::Gbk);
  window.HandOverPath(examples.toStdString());
  WaitForRun(window);
  window.resize(window.minimumSize() + QSize(320, 200));
  QTest::qWait(300);
  Save(&window, QStringLiteral("main-enlarged.png"));
  window.resize(window.minimumSize());
  tv::WriteProfileString(settings.toStdString(), "SHOW SINGLE FILE PERCENT", "Flag", "0",
                         tv::CodePage::Gbk);

  // Count the whole sample tree as a path handed over at start would be.
  window.HandOverPath(examples.toStdString());
  WaitForRun(window);
  QTest::qWait(200);
  Save(&window, QStringLiteral("main-counted.png"));

  // Sort by the code column with two clicks (descending).
  QHeaderView* header = window.Results()->horizontalHeader();
  const QPoint code_column(header->sectionViewportPosition(2) + 10, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, code_column);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, code_column);
  window.Results()->SelectRow(1);
  Save(&window, QStringLiteral("main-sorted.png"));

  QMenu* menu = window.PrepareContextMenu();
  menu->popup(window.mapToGlobal(QPoint(200, 200)));
  QTest::qWait(200);
  Save(menu, QStringLiteral("context-menu.png"));
  menu->hide();

  auto* directory_menu = window.findChild<QMenu*>(QStringLiteral("219"));
  window.findChild<QAbstractButton*>(QStringLiteral("1013"))->click();
  QTest::qWait(200);
  Save(directory_menu, QStringLiteral("directory-menu.png"));
  directory_menu->hide();

  // The folder chooser with a history of sample folders, its list open;
  // the sample tree is chosen and counted.
  {
    QSettings history(tv::FolderChooserDialog::DefaultHistoryFile(), QSettings::IniFormat);
    const char* folders[] = {"/projects/builder", "/projects", "", "/projects/builder/missing"};
    for (int i = 0; i < 4; ++i) {
      history.setValue(QStringLiteral("FolderHistory/Folder%1").arg(i, 4, 10, QLatin1Char('0')),
                       examples + QString::fromLatin1(folders[i]));
    }
    history.setValue(QStringLiteral("FolderHistory/Folder"), examples + "/projects");
  }
  WhenModal([&](QWidget* modal) {
    auto* chooser = qobject_cast<tv::FolderChooserDialog*>(modal);
    if (chooser == nullptr) {
      modal->close();
      return;
    }
    chooser->setDirectory(examples);
    QTest::qWait(300);
    Save(chooser, QStringLiteral("folder-chooser.png"));
    chooser->HistoryCombo()->showPopup();
    QTest::qWait(300);
    SaveScreen(
        chooser->frameGeometry().united(chooser->HistoryCombo()->view()->window()->frameGeometry()),
        QStringLiteral("folder-chooser-history.png"));
    chooser->HistoryCombo()->hidePopup();
    chooser->HistoryCombo()->setEditText(examples);
    chooser->accept();
  });
  window.RunCommand(32777);
  window.RunCommand(1006);
  WaitForRun(window);
  QTest::qWait(200);

  // Find after a match: the row found is selected in the list behind.
  window.RunCommand(32775);
  if (auto* find = window.findChild<tv::FindDialog*>(QStringLiteral("196"))) {
    if (!QTest::qWaitForWindowExposed(find)) ++g_failures;
    find->findChild<QLineEdit*>(QStringLiteral("1000"))->setText(QStringLiteral("UNIT1"));
    find->findChild<QAbstractButton*>(QStringLiteral("1054"))->click();
    find->move(window.frameGeometry().right() - find->frameGeometry().width() - 40,
               window.frameGeometry().top() + 60);
    QTest::qWait(200);
    Save(find, QStringLiteral("find.png"));
    SaveScreen(window.frameGeometry().united(find->frameGeometry()),
               QStringLiteral("find-over-window.png"));
    find->close();
  } else {
    std::fprintf(stderr, "screenshots: the find dialog did not open\n");
    ++g_failures;
  }

  WhenModal([](QWidget* modal) {
    Save(modal, QStringLiteral("selection-file-dialog.png"));
    modal->close();
  });
  window.RunCommand(32796);

  // The source viewer on one sample of each family, opened from its row.
  const struct {
    const char* file;
    const char* picture;
  } samples[] = {
      {"cpp/shapes.cpp", "viewer-cfamily.png"},  {"sql/schema.sql", "viewer-sql.png"},
      {"pascal/Unit1.pas", "viewer-pascal.png"}, {"basic/Module1.bas", "viewer-basic.png"},
      {"asm/start.asm", "viewer-asm.png"},
  };
  for (const auto& sample : samples) {
    const QString path = examples + QLatin1Char('/') + QString::fromUtf8(sample.file);
    int row = -1;
    for (int i = 0; i < window.Results()->RowCount(); ++i) {
      if (QString::fromStdString(window.Results()->RowAt(i).path) == path) row = i;
    }
    if (row < 0) {
      std::fprintf(stderr, "screenshots: no row for %s\n", qPrintable(path));
      ++g_failures;
      continue;
    }
    window.Results()->SelectRow(row);
    window.RunCommand(1016);
    auto* viewer = window.findChild<tv::SourceViewer*>();
    if (viewer == nullptr || !QTest::qWaitFor([&] { return viewer->ClassesReady(); }, 10000)) {
      ++g_failures;
      continue;
    }
    if (!QTest::qWaitForWindowExposed(viewer)) ++g_failures;
    QTest::qWait(200);
    Save(viewer, QString::fromUtf8(sample.picture));
    delete viewer;
  }

  // The built-in properties of the selected row's file.
  {
    tv::SourceFile file;
    file.row = window.Results()->RowAt(window.Results()->SelectedRow());
    file.path = file.row.path;
    tv::PropertiesDialog properties(file, &window);
    properties.show();
    if (!QTest::qWaitForWindowExposed(&properties)) ++g_failures;
    QTest::qWait(200);
    Save(&properties, QStringLiteral("properties.png"));
  }

  // The About box, opened from its button.
  window.RunCommand(1017);
  if (auto* about = window.findChild<QDialog*>(QStringLiteral("100"))) {
    if (!QTest::qWaitForWindowExposed(about)) ++g_failures;
    QTest::qWait(200);
    Save(about, QStringLiteral("about.png"));
    about->close();
  } else {
    std::fprintf(stderr, "screenshots: the About box did not open\n");
    ++g_failures;
  }

  // The settings dialog, opened from its button, with a user list typed in
  // and closed without saving.
  window.RunCommand(1019);
  if (auto* settings = window.findChild<QDialog*>(QStringLiteral("162"))) {
    if (!QTest::qWaitForWindowExposed(settings)) ++g_failures;
    settings->findChild<QLineEdit*>(QStringLiteral("1021"))->setText(QStringLiteral(".cxx;.hpp;"));
    QTest::qWait(200);
    Save(settings, QStringLiteral("settings.png"));
    settings->reject();
  } else {
    std::fprintf(stderr, "screenshots: the settings dialog did not open\n");
    ++g_failures;
  }

  // The print dialog as the print commands open it, its options shown: one
  // copy, pages 1 to 1. Cancelled.
  WhenModal([&](QWidget* modal) {
    for (auto* button : modal->findChildren<QAbstractButton*>()) {
      if (button->text().contains(QStringLiteral(">>"))) {
        button->click();
      }
    }
    QTest::qWait(300);
    Save(modal, QStringLiteral("print-dialog.png"));
    modal->close();
  });
  window.RunCommand(1031);

  // Saving the results as TXT over an earlier report in the home folder:
  // the save dialog, then the question whether to replace or append.
  {
    window.HandOverPath(examples.toStdString());
    WaitForRun(window);
    QFile earlier(QDir::homePath() + QStringLiteral("/report.txt"));
    if (earlier.open(QIODevice::WriteOnly)) {
      earlier.write(tv::TxtReportText({}, tv::ReportTimeStamp(), false, tv::CodePage::Gbk).c_str());
    }
    earlier.close();
    WhenModal([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) {
        ++g_failures;
        modal->close();
        return;
      }
      dialog->selectNameFilter(dialog->nameFilters().value(3));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
          ->setText(QStringLiteral("report"));
      QTest::qWait(300);
      Save(dialog, QStringLiteral("save-dialog.png"));
      WhenModal([&](QWidget* question) {
        auto* box = qobject_cast<QMessageBox*>(question);
        if (box == nullptr || box->button(QMessageBox::No) == nullptr) {
          ++g_failures;
          question->close();
          return;
        }
        Save(box, QStringLiteral("save-question.png"));
        WhenModal([&](QWidget* done) {
          Save(done, QStringLiteral("save-done.png"));
          done->close();
        });
        box->button(QMessageBox::No)->click();
      });
      QMetaObject::invokeMethod(dialog, "accept");
    });
    window.RunCommand(1015);
    earlier.open(QIODevice::ReadOnly);
    if (earlier.readAll().count(QByteArray(57, '-')) != 4) {
      std::fprintf(stderr, "screenshots: the TXT save did not append a second block\n");
      ++g_failures;
    }
  }

  // Last, as it empties the results: the folder tree over a small project
  // under the home folder, one folder ticked whole, one partly (bold, not
  // ticked), the list of both beside.
  {
    const QString home = QDir::homePath();
    for (const char* f :
         {"src/app/core", "src/app/ui", "src/lib/net", "src/lib/util", "src/docs"}) {
      QDir(home).mkpath(QString::fromLatin1(f));
    }
    tv::WriteFolderList(settings.toStdString(),
                        {(home + "/src/app").toStdString(), (home + "/src/lib/net").toStdString()},
                        tv::CodePage::Gbk);
    WhenModal([&](QWidget* modal) {
      auto* tree = qobject_cast<tv::FolderTreeDialog*>(modal);
      if (tree == nullptr || !QTest::qWaitFor([&] { return tree->IsFilled(); }, 10000)) {
        ++g_failures;
        modal->close();
        return;
      }
      QTreeWidgetItem* lib = tree->Tree()->ItemFor((home + "/src/lib").toUtf8());
      if (lib != nullptr) tree->Tree()->scrollToItem(lib);
      QTest::qWait(200);
      Save(tree, QStringLiteral("folder-tree.png"));
      tree->accept();
    });
    window.RunCommand(32778);
    QTest::qWait(200);
    Save(&window, QStringLiteral("main-folder-list.png"));
  }

  window.close();
  return g_failures == 0 ? 0 : 1;
}
