// The program's window: the current selection, the results list with its
// totals, the progress bar, and every command with its guard.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "runs/run.h"
#include "runs/selection.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;

namespace tv {

class IconButton;
class InstanceServer;
class SortListCtrl;

/// Where the window keeps its settings and which code page it writes.
struct WindowSettings {
  std::string settings_path;
  CodePage code_page = CodePage::Gbk;
  /// Where the window's size is kept between starts (the user's own
  /// configuration, never Setup.ini); empty keeps none.
  QString size_file = {};
};

inline constexpr char kWindowTitle[] = "Tallyvane v3.7";

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(WindowSettings settings, Dialogs& dialogs, QWidget* parent = nullptr);
  ~MainWindow() override;

  /// The user's file for the window's size: tallyvane/window.ini in the
  /// user's configuration folder.
  static QString DefaultSizeFile();

  /// Replaces the desktop the window opens files and properties through
  /// (the window starts with the real one); `desktop` must outlive the window.
  void SetDesktop(Desktop& desktop) { desktop_ = &desktop; }
  /// The folder that holds the manual (Help.html); "" (the default) is the
  /// program's own folder, else the installed manual (ManualPath).
  void SetManualFolder(const QString& folder) { manual_folder_ = folder; }

  /// A path (its bytes) handed over at start or by a second start: shown in
  /// the selection field and started at once. While a modal dialog is open
  /// or a command is under way, the hand-over waits until it has ended.
  void HandOverPath(const std::string& path);
  /// Brings the window to the front (a second start without a path).
  void Raise();
  /// From now on SIGTERM and SIGHUP (a logout, a kill) close the window as
  /// its close button does, and SIGINT ends the program; every signal that
  /// ends it first removes the temporary files of a save under way.
  void CloseOnEndSignals();
  /// Acts on what later starts send to `server` (which must outlive the
  /// window): a path is handed over, a bare start raises the window.
  void ServeHandOvers(InstanceServer* server);

  /// Runs the command `id` (a control, menu or menu-item id) as if the user
  /// had chosen it.
  void RunCommand(int id);

  bool IsCounting() const { return flags_.counting != 0; }
  bool IsRunStarted() const { return flags_.run_started != 0; }
  SortListCtrl* Results() const { return list_; }
  /// The right-click menu of the results list, its items enabled as the
  /// window's state says; it is shown at `global_pos` unless `show` is false.
  QMenu* PrepareContextMenu();
  /// RunView calls that arrived on a thread other than the window's: always
  /// 0, kept so tests can check it.
  int OffThreadViewCalls() const { return off_thread_calls_; }
  /// The run's flags and state, for tests that fake a run's condition.
  RunFlags& Flags() { return flags_; }
  RunState& State() { return state_; }
  /// Shows the bar for `lines` of a range of `maximum` (tests of the scale).
  int BarValueFor(uint64_t maximum, uint64_t lines) {
    OnProgressRange(maximum, true);
    SetBarFromLines(lines);
    return BarValue();
  }
  int BarValue() const;
  /// Waits until the current run's worker has ended (tests).
  void WaitForRun() { controller_->Wait(); }
  /// Given to every run: called on its thread after each accepted file (tests).
  void SetRunGate(std::function<void(size_t)> gate) { run_gate_ = std::move(gate); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class QueuedView;
  friend class QueuedView;

  void RestoreSize();
  void KeepSize();
  void BuildControls();
  void BuildMenus();
  QAction* AddCommand(QMenu* menu, int id, const QString& text);

  // Commands.
  /// Runs the command of `source` (a button or menu item, named by its id)
  /// once the click that chose it has returned.
  void QueueCommand(QObject* source);
  void DispatchCommand(int id);
  void StartCommand();
  void FileSelectionCommand(bool guarded);
  void SelectionFileCommand();
  void SingleDirectoryCommand();
  void FolderListCommand();
  /// Shows what a selection command changed: the selection's text, the
  /// display emptied, the start button's state, then its message if any.
  void ShowSelectionChange(const SelectionChange& change);
  void FindCommand();
  void SettingsCommand();
  void SaveCommand(bool tested);
  void PrintCommand(bool tested);
  void ViewCommand(bool report_missing);
  void ViewRow(int display_row);
  void PropertiesCommand();
  void AboutCommand();
  void HelpCommand(const QString& fragment);
  SourceFile FileOfRow(const ResultRow& row) const;
  void ShowContextMenu(const QPoint& global_pos);

  // Starting runs.
  bool Launch(RunRequest request);
  void ResetResultsDisplay();
  /// The five totals, each also named with its caption for screen readers.
  void ShowSummary(const SummaryTexts& summary);

  // Messages.
  void Notice(const QString& text);
  void Error(const QString& text);
  bool Guard(const QString& text);  // true when counting: the text was shown
  void FlushHandOver();

  // What the run shows, always on the window's thread.
  void OnSelectionButtonsEnabled(bool enabled);
  void OnStartButtonFace(StartButtonFace face);
  void OnStartButtonEnabled(bool enabled);
  void OnClearResults();
  void OnNotice(const QString& text);
  void OnProgressRange(uint64_t maximum, bool stepping);
  void OnProgressPosition(uint64_t position);
  void OnAddRow(const ResultRow& row);
  void OnSummary(const SummaryTexts& summary);
  void OnRefreshCursor();
  void CheckThread();
  void UpdateProgressBar();
  void SetBarFromLines(uint64_t lines);

  WindowSettings settings_;
  Dialogs& dialogs_;
  QtDesktop own_desktop_;
  Desktop* desktop_ = &own_desktop_;
  QString manual_folder_;
  RunFlags flags_;
  RunState state_;
  std::unique_ptr<QueuedView> view_;
  std::unique_ptr<RunController> controller_;

  // The selection, and a hand-over that waits until the command or modal
  // dialog under way has ended.
  Selection selection_;
  std::string pending_hand_over_;
  // The selection field as the run whose rows are shown started: what a
  // JSON report says was counted.
  QString counted_selection_;
  bool hand_over_waiting_ = false;
  int command_depth_ = 0;
  int end_signal_pipe_[2] = {-1, -1};

  // The progress bar follows the run's line counter on a timer.
  uint64_t progress_maximum_ = 0;
  bool progress_stepping_ = false;
  QTimer* progress_timer_ = nullptr;
  bool showing_found_ = false;  // field 1008 counts the files found while gathering
  int off_thread_calls_ = 0;
  std::function<void(size_t)> run_gate_;
  bool waiting_cursor_ = false;

  QLineEdit* edit_ = nullptr;
  SortListCtrl* list_ = nullptr;
  QProgressBar* bar_ = nullptr;
  std::map<int, IconButton*> buttons_;
  std::map<int, QLabel*> fields_;
  QMenu* directory_menu_ = nullptr;  // 219
  QMenu* context_menu_ = nullptr;    // 132
  QAction* start_action_ = nullptr;  // 32782
};

}  // namespace tv
