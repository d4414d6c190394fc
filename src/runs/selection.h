// The window's selection: what each pick, cancel, rejection and hand-over
// makes current, what the selection field shows, whether the start button
// may be pressed, and what the start command does with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runs/file_selection.h"
#include "runs/run.h"

namespace tv {

inline constexpr std::string_view kNothingSelectedText = "请先选择统计文件名或文件目录！";
inline constexpr std::string_view kRootRefusedText = "请选择一个文件目录而不是盘符！";

/// What a selection command did. A change asks the window to show the
/// selection's text and the start button's state and, for a pick, to empty
/// the rows, totals and bar; `error`, when not empty, is shown afterwards
/// (caption "错误").
struct SelectionChange {
  bool changed = false;
  bool reset_display = false;
  std::string_view error;
};

/// What the start command does with the selection.
struct StartDecision {
  enum class Action {
    Nothing,  // nothing countable is selected and nothing is said
    Refuse,   // `error` is shown (caption "错误")
    Stop,     // a run is under way: it is asked to stop
    Launch,   // `request` is started
  };
  Action action = Action::Nothing;
  std::string_view error;
  /// The run's type, paths and lists; the caller adds the settings file,
  /// the code page and its hooks.
  RunRequest request;
  /// Whether the start stores its "CURRENT PATH" keys (not for a hand-over),
  /// and the folder a file selection stores as "Path1".
  bool remember = false;
  std::string selection_directory;
};

class Selection {
 public:
  explicit Selection(CodePage cp) : cp_(cp) {}

  /// The file dialog's pick (nullopt: cancelled, nothing changes). An
  /// accepted pick becomes the selection; a refused one empties the field,
  /// disables the start button until the next accepted pick, and leaves
  /// nothing to count.
  SelectionChange PickFiles(const std::optional<FilePickOutcome>& outcome);
  /// A selection file (nullopt: cancelled): counted at the next start,
  /// whatever was selected before.
  SelectionChange PickSelectionFile(const std::optional<std::string>& path);
  /// One folder (nullopt: cancelled); the file system's root is refused and
  /// keeps the previous selection.
  SelectionChange PickSingleDirectory(const std::optional<std::string>& path);
  /// The saved folder list, shown as `text` (nullopt: cancelled).
  SelectionChange PickFolderList(const std::optional<std::string>& text);
  /// A path handed over by a later start, or given at start: it is shown
  /// and becomes the selection, and the window starts at once. The rows of
  /// a run under way stay: that start only stops the run.
  SelectionChange HandOver(std::string path);

  /// The start command. A run under way is asked to stop whatever is
  /// selected, so a run can always be stopped from the start button.
  StartDecision Start(bool run_started) const;

  /// What the selection field shows (UTF-8).
  const std::string& text() const { return text_; }
  bool start_enabled() const { return start_enabled_; }

 private:
  enum class Kind { None, Files, SingleDirectory, FolderList, SelectionFile, HandedOver };

  SelectionChange Select(Kind kind, std::string path, std::string text);

  CodePage cp_;
  Kind kind_ = Kind::None;
  std::string text_;
  bool start_enabled_ = true;
  FileSelection files_;
  std::string path_;  // the folder, selection file or handed-over path, as bytes
};

}  // namespace tv
