// What a file pick in the window's file dialog selects: the files to count,
// the folder to remember and the text the window shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "runs/run_list.h"

namespace tv {

/// What the file dialog returned.
struct FilePick {
  int file_type = 1;               // the chosen filter, 1 to 17
  std::vector<std::string> paths;  // the picked files, full paths, in the dialog's order
};

/// A file selection the window keeps until the next selection replaces it.
struct FileSelection {
  int file_type = 1;
  bool all_files = false;                   // filter "All Files": families by extension
  std::vector<std::string> run_list;        // typed filters: the files to count
  std::vector<std::string> selection_list;  // "All Files": every picked file
  std::string directory;                    // the folder the files were picked in, ending in "/"
  std::string text;                         // what the selection field shows
};

inline constexpr std::string_view kWrongTypeText = "所选文件与选择的类型不一致！";
inline constexpr std::string_view kOneProjectOnlyText = "Sorry，你一次只能选择一个项目文件！";

/// The verdict on a pick: accepted with its selection, or refused with the
/// message the window shows (caption "错误").
struct FilePickOutcome {
  bool accepted = false;
  std::string_view message;
  FileSelection selection;
};

/// Applies a pick. A project filter needs exactly one file with the
/// project's extension (any case); its members are read out. Source filters
/// take every picked file as it is; "All Files" keeps the countable ones
/// for counting and all of them for the record. With `show_names` the text
/// lists the file names, each followed by "; "; otherwise it says how many
/// files were selected. `ctx` gives the countable-file rules.
FilePickOutcome ApplyFilePick(const FilePick& pick, bool show_names, const GatherContext& ctx);

}  // namespace tv
