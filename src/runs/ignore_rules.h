// Which entries of a folder walk git ignores.
#pragma once

#include <string>
#include <string_view>

struct git_repository;
struct git_index;

namespace tv {

/// What git ignores below one walked folder, asked entry by entry. When the
/// rules are on and the folder lies inside a git work tree, the repository
/// and its index are opened once, here, and kept for the walk; git itself
/// decides (the .gitignore files on the way down, .git/info/exclude, the
/// user's global excludes). Outside a work tree, with the rules off, and
/// when the walked folder is itself ignored (it was named on purpose) or
/// lies inside .git, nothing is ever ignored.
class IgnoreRules {
 public:
  IgnoreRules(const std::string& walked_folder, bool on);
  ~IgnoreRules();
  IgnoreRules(const IgnoreRules&) = delete;
  IgnoreRules& operator=(const IgnoreRules&) = delete;

  /// Whether the walk leaves out the entry at `relative`, its "/"-separated
  /// path below the walked folder. A ".git" entry is always left out; a
  /// tracked file, and a folder that holds tracked files, never are, as
  /// git lists what it tracks whatever the ignore files say.
  bool Ignores(std::string_view relative, bool is_folder) const;

  /// Whether any entry can be left out.
  bool active() const { return repo_ != nullptr; }

 private:
  bool IgnoredByGit(const std::string& path, bool is_folder) const;

  git_repository* repo_ = nullptr;
  git_index* index_ = nullptr;
  std::string prefix_;  // the walked folder inside the work tree: "" or ending in "/"
  bool library_open_ = false;
};

}  // namespace tv
