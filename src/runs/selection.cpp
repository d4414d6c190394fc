#include "runs/selection.h"

#include "platform/text.h"
#include "runs/remembered_paths.h"

namespace tv {

namespace {

// "/" however it is spelt: "//", "/.", "/tmp/..".
bool IsFileSystemRoot(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  int depth = 0;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view part = path.substr(pos, slash - pos);
    if (part == "..") {
      depth = depth > 0 ? depth - 1 : 0;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    pos = slash + 1;
  }
  return depth == 0;
}

}  // namespace

SelectionChange Selection::Select(Kind kind, std::string path, std::string text) {
  kind_ = kind;
  path_ = std::move(path);
  text_ = std::move(text);
  start_enabled_ = true;
  return {true, true, {}};
}

SelectionChange Selection::PickFiles(const std::optional<FilePickOutcome>& outcome) {
  if (!outcome) return {};
  if (!outcome->accepted) {
    // Nothing is left to count: the field is empty, and so is what a press
    // of the start menu item would otherwise still count.
    kind_ = Kind::None;
    files_ = {};
    path_.clear();
    text_.clear();
    start_enabled_ = false;
    return {true, true, outcome->message};
  }
  files_ = outcome->selection;
  return Select(Kind::Files, {}, files_.text);
}

SelectionChange Selection::PickSelectionFile(const std::optional<std::string>& path) {
  if (!path) return {};
  return Select(Kind::SelectionFile, *path, NameToUtf8(*path, cp_));
}

SelectionChange Selection::PickSingleDirectory(const std::optional<std::string>& path) {
  if (!path) return {};
  if (IsFileSystemRoot(*path)) return {false, false, kRootRefusedText};
  return Select(Kind::SingleDirectory, *path, NameToUtf8(*path, cp_));
}

SelectionChange Selection::PickFolderList(const std::optional<std::string>& text) {
  if (!text) return {};
  return Select(Kind::FolderList, {}, *text);
}

SelectionChange Selection::HandOver(std::string path) {
  std::string text = NameToUtf8(path, cp_);
  SelectionChange change = Select(Kind::HandedOver, std::move(path), std::move(text));
  change.reset_display = false;
  return change;
}

StartDecision Selection::Start(bool run_started) const {
  StartDecision d;
  if (run_started) {
    d.action = StartDecision::Action::Stop;
    return d;
  }
  RunRequest& r = d.request;
  switch (kind_) {
    case Kind::HandedOver:
      // An empty hand-over starts nothing.
      if (TrimSpaces(path_).empty()) return d;
      r.type = SelectionForHandedOverPath(path_);
      r.path = path_;
      d.action = StartDecision::Action::Launch;
      return d;
    case Kind::SelectionFile:
      r.type = SelectionType::SelectionFile;
      r.path = path_;
      break;
    case Kind::None:
    case Kind::Files:
    case Kind::SingleDirectory:
    case Kind::FolderList:
      if (TrimSpaces(text_).empty()) {
        d.action = StartDecision::Action::Refuse;
        d.error = kNothingSelectedText;
        return d;
      }
      if (kind_ == Kind::None) return d;
      if (kind_ == Kind::Files) {
        r.type = files_.all_files ? SelectionType::AllFiles : SelectionType::FileList;
        r.file_list = files_.run_list;
        r.selection_list = files_.selection_list;
        r.file_type_filter = files_.file_type;
        d.selection_directory = files_.directory;
      } else {
        r.type = kind_ == Kind::SingleDirectory ? SelectionType::OneDirectory
                                                : SelectionType::FolderList;
        r.path = path_;
      }
      break;
  }
  d.action = StartDecision::Action::Launch;
  d.remember = true;
  return d;
}

}  // namespace tv
