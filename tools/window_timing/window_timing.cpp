// Times the window against the command line on one tree, and how long the
// window's event loop is ever kept waiting during a run; then a sort of
// 100,000 rows. Prints figures only; nothing is asserted.
//   tallyvane_window_timing TREE [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "support/scripted_dialogs.h"
#include "ui/controls/sort_list.h"
#include "ui/main_window.h"

namespace {

// The tests' scripted dialogs: nothing is asked during a timed run, and
// they follow every change of the dialogs interface.
using SilentDialogs = tv::test::ScriptedDialogs;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One window run of `tree`: its seconds and the longest gap between two
// ticks of a 2 ms timer, in milliseconds.
std::pair<double, double> WindowRun(const QString& settings, const QString& tree, bool progress) {
  std::ofstream(settings.toStdString())
      << "[OTHER]\r\nShowProcPercent=" << (progress ? "1" : "0") << "\r\n";
  SilentDialogs dialogs;
  tv::MainWindow w({settings.toStdString(), tv::CodePage::Gbk}, dialogs);
  w.show();
  QElapsedTimer since_tick;
  double longest = 0;
  QTimer ticker;
  ticker.setInterval(2);
  QObject::connect(&ticker, &QTimer::timeout,
                   [&] { longest = std::max(longest, static_cast<double>(since_tick.restart())); });
  QElapsedTimer clock;
  clock.start();
  since_tick.start();
  ticker.start();
  if (tree.isEmpty()) {  // no run: how long the loop waits on this machine anyway
    while (clock.elapsed() < 2000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  } else {
    w.HandOverPath(tree.toStdString());
  }
  // Done when the run has ended and the window has shown all it sent.
  while (w.IsRunStarted() || w.cursor().shape() != Qt::ArrowCursor) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  const double seconds = clock.nsecsElapsed() / 1e9;
  ticker.stop();
  return {seconds, longest};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tallyvane_window_timing TREE [RUNS]\n");
    return 2;
  }
  const QString tree = QString::fromLocal8Bit(argv[1]);
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  QTemporaryDir dir;
  const QString settings = dir.filePath(QStringLiteral("Setup.ini"));

  std::vector<double> cli, off, on, gaps;
  for (int r = 0; r < runs; ++r) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALLYVANE_SETTINGS"), settings);
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(QString::fromLatin1(TV_PROGRAM_PATH),
                  {QStringLiteral("-d"), tree, QStringLiteral("-o"), dir.filePath("r.csv")});
    process.waitForFinished(-1);
    cli.push_back(clock.nsecsElapsed() / 1e9);
    auto [t_off, g_off] = WindowRun(settings, tree, false);
    auto [t_on, g_on] = WindowRun(settings, tree, true);
    off.push_back(t_off);
    on.push_back(t_on);
    gaps.push_back(std::max(g_off, g_on));
  }
  std::printf("command line        %.3f s\n", Median(cli));
  std::printf("window, bar off     %.3f s  (%.2fx the command line)\n", Median(off),
              Median(off) / Median(cli));
  std::printf("window, bar on      %.3f s  (%.2fx the command line)\n", Median(on),
              Median(on) / Median(cli));
  std::printf("longest event-loop wait during a run: %.0f ms (worst of %d runs)\n",
              *std::max_element(gaps.begin(), gaps.end()), runs);
  std::printf("longest event-loop wait in 2 s without a run: %.0f ms\n",
              WindowRun(settings, QString(), false).second);

  tv::SortListCtrl list;
  for (int i = 0; i < 100000; ++i) {
    const std::string n = std::to_string((i * 7919) % 100000);
    list.AddResultRow(tv::ResultRow("/src/f" + n + ".c", n, n + " (50.00%)", "1 (1.00%)",
                                    "2 (2.00%)", std::to_string(i % 100) + ".25%"));
  }
  for (int column : {1, 5, 0}) {
    QElapsedTimer clock;
    clock.start();
    list.SortBy(column, true);
    std::printf("sort of 100,000 rows by column %d: %.3f s\n", column, clock.nsecsElapsed() / 1e9);
  }
  return 0;
}
