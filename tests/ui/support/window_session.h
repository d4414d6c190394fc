// A shown main window with scripted dialogs and a desktop that records, for
// the widget tests that drive the whole window.
#pragma once

#include <QTest>

#include "support/recording_desktop.h"
#include "support/scripted_dialogs.h"
#include "ui/controls/sort_list.h"
#include "ui/main_window.h"

namespace tv::test {

struct WindowSession {
  ScriptedDialogs dialogs;
  RecordingDesktop desktop;
  MainWindow w;

  /// The window on the settings file `ini`, its desktop recording unless `record` is off.
  explicit WindowSession(const QString& ini, bool record = true)
      : w({ini.toStdString(), CodePage::Gbk}, dialogs) {
    if (record) w.SetDesktop(desktop);
    w.show();
  }
  /// Waits for the run to end and gives the display row of `path`, or -1.
  int RowOf(const QString& path) {
    if (!QTest::qWaitFor([&] { return !w.IsRunStarted(); }, 20000)) return -1;
    QTest::qWait(50);  // the run's last queued rows
    for (int i = w.Results()->RowCount() - 1; i >= 0; --i) {
      if (QString::fromStdString(w.Results()->RowAt(i).path) == path) return i;
    }
    return -1;
  }
};

}  // namespace tv::test
