// The program's entry: the command-line mode when -f, -d or -s come with
// -o, otherwise the window.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_reader.h"
#include "platform/program_paths.h"
#include "platform/single_instance.h"
#include "runs/command_line.h"
#include "settings/settings.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/qt_translation.h"

namespace {

std::string CurrentFolder() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string("/");
}

// Qt ends the process when no display can be opened; say so in one line
// and show how to count without one instead.
bool DisplayAvailable() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int RunWindow(int argc, char** argv, const tv::StartupDecision& decision) {
  if (!DisplayAvailable()) {
    std::fputs(
        "tallyvane: no display to open the window on (neither DISPLAY nor "
        "WAYLAND_DISPLAY is set); count from the command line instead:\n\n",
        stderr);
    std::fputs(tv::UsageText().c_str(), stderr);
    return 2;
  }
  // One window per user: a second start hands its path (or a request to
  // come to the front) to the running window and ends.
  std::string path;
  if (decision.handed_over && !decision.handed_over_path.empty()) {
    path = tv::AbsoluteHandOverPath(decision.handed_over_path, CurrentFolder());
  }
  tv::InstanceStartup startup = tv::DecideStartupRole(tv::DefaultRuntimeFolder(), path);
  if (startup.role == tv::StartupRole::HandedOver) return 0;
  if (!startup.error.empty()) {
    std::fprintf(stderr, "tallyvane: %s; this window takes no paths from later starts\n",
                 startup.error.c_str());
  }

  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Tallyvane"));
  // The installed menu entry: the desktop shows the window under its name and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.tallyvane.Tallyvane"));
  // Qt's dialogs and buttons in Chinese like the window, before any exists.
  tv::InstallQtTranslation();
  tv::QtDialogs dialogs;
  tv::MainWindow window({tv::SettingsPath(), tv::AnsiCodePage(), tv::MainWindow::DefaultSizeFile()},
                        dialogs);
  window.CloseOnEndSignals();
  window.show();
  if (startup.server != nullptr) window.ServeHandOvers(startup.server.get());
  if (!path.empty()) window.HandOverPath(path);
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help") {
      std::fputs(tv::UsageText().c_str(), stdout);
      // Where the help menu finds the manual: beside the program or installed.
      const std::string manual = tv::ManualPath(tv::ProgramDirectory());
      if (tv::IsRegularFile(manual)) std::printf("User manual: %s\n", manual.c_str());
      return 0;
    }
    if (arg == "--version") {
      std::printf("%s\n", std::string(tv::kVersionText).c_str());
      return 0;
    }
  }
  const tv::StartupDecision decision = tv::EvaluateArguments(args);
  if (decision.missing_value) return 255;
  if (decision.command_line_mode) return tv::RunCommandLine(decision, stdout, stderr);
  return RunWindow(argc, argv, decision);
}
