// A counting run: gathers the files of a selection, counts each with the
// classifier of its family, and reports every visible effect, in order,
// through a RunView.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/count.h"
#include "reports/results.h"
#include "runs/run_list.h"

namespace tv {

/// The kind of selection that feeds a run.
enum class SelectionType { FileList, AllFiles, OneDirectory, FolderList, SelectionFile };

/// The process-wide flags shared by the window and the worker. Each is
/// written by one side and polled by the other.
struct RunFlags {
  std::atomic<int> counting{0};
  std::atomic<int> run_started{0};
  std::atomic<int> stop_request{0};
  std::atomic<int> run_finished{0};
  std::atomic<int> progress_option{0};
  /// Set only when the window closes: the run ends at once, even inside a
  /// file, and makes no further view call. Never cleared.
  std::atomic<int> abort{0};
};

/// The start button's two faces.
enum class StartButtonFace { Start, Stop };

inline constexpr std::string_view kStartCaption = "开始统计";
inline constexpr std::string_view kStopCaption = "停止统计";
inline constexpr std::string_view kNoticeCaption = "提示";
inline constexpr std::string_view kNothingToCountText = "没有适合的统计类型文件！";
inline constexpr std::string_view kStoppedNoticeText = "用户中断！";

/// Everything a run shows. The window queues each call to its own thread in
/// order; the command line keeps only the results; tests record the calls.
class RunView {
 public:
  virtual ~RunView() = default;
  /// The selection buttons (directory and file selection).
  virtual void SetSelectionButtonsEnabled(bool enabled) = 0;
  virtual void SetStartButtonFace(StartButtonFace face) = 0;
  virtual void SetStartButtonEnabled(bool enabled) = 0;
  /// Deletes every row and empties the five summary fields.
  virtual void ClearResults() = 0;
  /// A notice with caption "提示" and the information icon.
  virtual void ShowNotice(std::string_view text) = 0;
  /// Range 0..maximum and position 0; `stepping` when the progress option is on.
  virtual void SetProgressRange(uint64_t maximum, bool stepping) = 0;
  virtual void SetProgressPosition(uint64_t position) = 0;
  virtual void AddRow(const ResultRow& row) = 0;
  virtual void SetSummary(const SummaryTexts& summary) = 0;
  /// The run ended normally: the cursor drops its wait shape.
  virtual void RefreshCursor() = 0;
};

/// What a run counts.
struct RunRequest {
  SelectionType type = SelectionType::OneDirectory;
  /// The folder (OneDirectory), the file (AllFiles from the command line or a
  /// handed-over path) or the selection file (SelectionFile).
  std::string path;
  /// AllFiles from a file dialog: the chosen paths.
  std::vector<std::string> selection_list;
  /// FileList: the prepared list, and the file type that fixes the family.
  std::vector<std::string> file_list;
  int file_type_filter = 0;
  /// The command-line form: no buttons, captions or progress (and so no
  /// pre-count); the rows go to BatchResults only.
  bool command_line = false;
  std::string settings_path;
  CodePage code_page = CodePage::Gbk;
  /// Folder walks skip what git ignores even when "HonorIgnoreFiles" is off.
  bool respect_ignore = false;
  /// Called on the run thread after each accepted file, before the stop
  /// request is looked at, with the number of files accepted so far: tests
  /// hold a run at a known file here.
  std::function<void(size_t accepted)> after_file;
};

/// How a run ended.
enum class RunOutcome {
  Completed,       // every file counted, summary written
  Stopped,         // the count was left early; rows of the counted files remain
  NothingToCount,  // the gathered list was empty
  StoppedEarly,    // stopped before the first row: no rows, no summary
  Aborted,         // the abort flag was seen: the run ended without a further view call
};

/// What a run leaves behind.
struct RunState {
  std::vector<std::string> run_list;
  BatchResults results;
  RunTotals totals;
  /// Lines counted so far, for the window's progress bar (read on a timer);
  /// only with the progress option. It grows by each file's lines as the
  /// file's row is taken, so it never runs ahead of the rows shown.
  std::atomic<uint64_t> progress_lines{0};
  /// Rows taken so far, for the command line's progress indicator.
  std::atomic<uint64_t> files_done{0};
  /// Files found so far while gathering, for the progress shown then.
  std::atomic<uint64_t> files_found{0};
  /// Files gathered so far (known once gathering ends).
  std::atomic<uint64_t> files_total{0};
  /// The files whose reading failed part way (path and errno), in row
  /// order: their rows hold the lines read before the failure. Read once
  /// the run has ended.
  std::vector<std::pair<std::string, int>> read_failures;
};

/// Runs one counting run to its end on the calling thread: the worker.
///
/// Files are counted on several threads a few files ahead of the row shown
/// next; rows, totals and `files_done` follow strictly in list order, and the
/// stop request is read after each row, so a stop leaves exactly the rows
/// that match the summary; the first file always gets its row. With the
/// progress option on, the files' lines are counted first (on several
/// threads too) to size the progress bar, and a stop then ends the run with
/// no rows (StoppedEarly). With it off the bar gets range 0, the line total
/// is the sum of the files' totals, and a stop requested before the count
/// with more than one file gathered ends the run the same way.
RunOutcome ExecuteRun(const RunRequest& request, RunFlags& flags, RunState& state, RunView& view);

/// The name cell of a row: the file name in file-selection runs, the full
/// path in all others.
bool RowShowsFileNameOnly(SelectionType type);

/// Starts runs on a worker thread, one at a time. A start while a run is
/// under way only asks that run to stop.
class RunController {
 public:
  RunController(RunFlags& flags, RunState& state, RunView& view)
      : flags_(flags), state_(state), view_(view) {}
  /// Waits for the current worker.
  ~RunController();

  /// Starts `request` on a new worker, or turns the call into a stop request
  /// when a run was already started. True when a worker was created. `done`
  /// runs on the worker after the run, also after an abort. No run starts
  /// once Abort was called.
  bool StartRun(RunRequest request, std::function<void(RunOutcome)> done = {});
  /// Waits for the current worker, if any.
  void Wait();
  /// For a window that closes: sets the abort flag and the stop request, then
  /// waits for the worker, which ends promptly, even inside a large file.
  /// Afterwards the worker no longer touches the flags, the state or the view.
  void Abort();

 private:
  RunFlags& flags_;
  RunState& state_;
  RunView& view_;
  std::thread worker_;
};

}  // namespace tv
