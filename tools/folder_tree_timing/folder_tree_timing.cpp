// Times the folder tree on big folders: how long the dialog takes to fill
// (beside the bare listing of the big folder, timed in the same run), how
// much memory it adds to the window, how long the event loop is ever kept
// waiting meanwhile, and how long a click that opens the big folder holds
// the window. Prints figures only; nothing is asserted.
//   tallyvane_folder_tree_timing [SUBFOLDERS [SAVED]]
// SUBFOLDERS (default 50000) subfolders of one folder, one of them saved;
// then SAVED (default 10000) saved folders, siblings under one parent.
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "runs/selection_files.h"
#include "support/process_memory.h"
#include "support/scripted_dialogs.h"
#include "ui/folder_tree_dialog.h"

namespace {

double StatusMb(const char* key) {
  return tv::test::StatusKb(key) / 1024.0;
}

// Makes `count` empty subfolders of `parent`, named f0 ... fN-1.
void MakeFolders(const std::string& parent, int count) {
  ::mkdir(parent.c_str(), 0755);
  for (int i = 0; i < count; ++i) ::mkdir((parent + "/f" + std::to_string(i)).c_str(), 0755);
}

struct Figures {
  double seconds = 0, longest_wait_ms = 0, added_mb = 0, close_ms = -1;
};

// Opens the dialog on `settings` and waits until it is filled (or, with
// `close_after_ms`, closes it that long after it opened).
Figures Fill(const std::string& settings, const std::string& home, int close_after_ms = -1,
             tv::FolderTreeDialog::Lister list = {}) {
  tv::test::ScriptedDialogs dialogs;
  QCoreApplication::processEvents();
  const double before = StatusMb("VmRSS:");
  tv::test::RestartPeak();
  Figures f;
  QElapsedTimer since_tick, clock;
  QTimer ticker;
  ticker.setInterval(2);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    f.longest_wait_ms = std::max(f.longest_wait_ms, double(since_tick.restart()));
  });
  clock.start();
  auto* dialog =
      new tv::FolderTreeDialog(settings, tv::CodePage::Gbk, dialogs, nullptr, home, list);
  dialog->show();
  since_tick.start();
  ticker.start();
  while (!dialog->IsFilled() && (close_after_ms < 0 || clock.elapsed() < close_after_ms)) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  f.seconds = clock.nsecsElapsed() / 1e9;
  ticker.stop();
  f.added_mb = StatusMb("VmHWM:") - before;
  QElapsedTimer closing;
  closing.start();
  delete dialog;
  if (close_after_ms >= 0) f.close_ms = closing.nsecsElapsed() / 1e6;
  return f;
}

void Print(const char* what, const Figures& f) {
  std::printf("%-44s %6.2f s  longest wait %5.0f ms  +%6.1f MB peak", what, f.seconds,
              f.longest_wait_ms, f.added_mb);
  if (f.close_ms >= 0) std::printf("  closed in %.1f ms", f.close_ms);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int wide = argc > 1 ? std::atoi(argv[1]) : 50000;
  const int saved = argc > 2 ? std::atoi(argv[2]) : 10000;
  QTemporaryDir dir;
  const std::string home = dir.path().toStdString(), settings = home + "/Setup.ini";
  std::printf("making %d and %d folders in %s\n", wide, saved + 1, home.c_str());
  MakeFolders(home + "/wide", wide);
  MakeFolders(home + "/many", saved + 1);

  // The idle figures: an empty saved list, on a home of two folders.
  tv::WriteFolderList(settings, {}, tv::CodePage::Gbk);
  Print("empty list (idle)", Fill(settings, home));

  QElapsedTimer clock;
  clock.start();
  const std::vector<tv::Subfolder> listing = tv::ListSubfolders(home + "/wide");
  std::printf("%-44s %6.2f s\n", ("bare listing of " + std::to_string(listing.size())).c_str(),
              clock.nsecsElapsed() / 1e9);
  tv::WriteFolderList(settings, {home + "/wide/f1"}, tv::CodePage::Gbk);
  Print(("one saved folder among " + std::to_string(wide)).c_str(), Fill(settings, home));
  // The window's own part: the same with the big listing ready at once.
  Print("the same, its listing ready",
        Fill(settings, home, -1, [&](const std::string& path, const std::atomic<bool>&) {
          return path == home + "/wide" ? listing : tv::ListSubfolders(path);
        }));

  std::vector<std::string> list;
  for (int i = 0; i < saved; ++i) list.push_back(home + "/many/f" + std::to_string(i));
  tv::WriteFolderList(settings, list, tv::CodePage::Gbk);
  Print((std::to_string(saved) + " saved folders").c_str(), Fill(settings, home));
  Print("the same, closed 300 ms after opening", Fill(settings, home, 300));

  // Last, as it leaves memory behind: a click that opens the big folder.
  tv::WriteFolderList(settings, {}, tv::CodePage::Gbk);
  {
    tv::test::ScriptedDialogs dialogs;
    tv::FolderTreeDialog dialog(settings, tv::CodePage::Gbk, dialogs, nullptr, home);
    while (!dialog.IsFilled()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double before = StatusMb("VmRSS:");
    clock.restart();
    dialog.Tree()->LoadChildren(dialog.Tree()->ItemFor(QByteArray::fromStdString(home + "/wide")));
    std::printf("%-44s %6.2f s  +%6.1f MB\n", "a click opens it: the window waits",
                clock.nsecsElapsed() / 1e9, StatusMb("VmRSS:") - before);
  }

  return 0;
}
