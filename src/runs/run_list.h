// The ordered list of files a run counts, and the gathering that fills it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_types.h"

namespace tv {

/// The process-wide stop request a run and its gathering poll.
using StopFlag = std::atomic<int>;

struct WalkMemory;

/// What every gatherer shares: the settings path, the code page, the rules
/// of the countable-file test (read once per gathering), the stop request
/// and the abort flag of a run that is being thrown away; gathering ends
/// early on either.
struct GatherContext {
  std::string settings_path;
  CodePage code_page = CodePage::Gbk;
  CountableRules rules;
  /// Folder walks inside a git work tree skip what git ignores there.
  bool honor_ignore_files = false;
  const StopFlag* stop = nullptr;
  const StopFlag* abort = nullptr;
  /// Shared by the folder walks of one run, so none walks a folder another
  /// walked (see WalkDirectory); null: each walk keeps its own.
  WalkMemory* walks = nullptr;

  bool StopRequested() const {
    return (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) ||
           (abort != nullptr && abort->load(std::memory_order_relaxed) != 0);
  }
};

/// The paths a run counts, in gathering order, duplicates kept, with the set
/// of their file names for the same-name rule.
class RunList {
 public:
  RunList() = default;
  /// A list that also counts the paths appended into `found` as they come,
  /// for the progress shown while gathering.
  explicit RunList(std::atomic<uint64_t>* found) : found_(found) {}

  /// Whether `path` would be appended by AddIfCountable now.
  bool IsCountable(const std::string& path, const GatherContext& ctx) const {
    return IsCountableFile(path, ctx.rules, names_, ctx.code_page);
  }
  /// Appends `path` when it is countable.
  void AddIfCountable(const std::string& path, const GatherContext& ctx) {
    if (IsCountable(path, ctx)) Add(path);
  }
  /// Appends `path` without any test (project members, file selections).
  void Add(const std::string& path) {
    paths_.push_back(path);
    names_.emplace(GetFileNamePart(path));
    if (found_ != nullptr) found_->fetch_add(1, std::memory_order_relaxed);
  }
  void Clear() {
    paths_.clear();
    names_.clear();
  }
  /// Hands the paths over, leaving the list empty.
  std::vector<std::string> TakePaths() {
    names_.clear();
    return std::move(paths_);
  }

  const std::vector<std::string>& paths() const { return paths_; }
  size_t size() const { return paths_.size(); }
  bool empty() const { return paths_.empty(); }

 private:
  std::vector<std::string> paths_;
  GatheredNames names_;
  std::atomic<uint64_t>* found_ = nullptr;
};

}  // namespace tv
