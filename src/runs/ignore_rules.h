// Which entries of a folder walk git ignores.
#pragma once

#include <map>
#include <string>
#include <string_view>

struct git_repository;
struct git_index;

namespace tv {

/// The git repositories the folder walks of one run meet, each opened once
/// with its index, so a run over many folders of one work tree reads that
/// index once. The user's global excludes are looked up anew for each set.
class GitRepositories {
 public:
  struct Repository {
    git_repository* repo = nullptr;  // null: the folder lies in no work tree
    git_index* index = nullptr;      // null when the index cannot be read
    std::string work_tree;           // its real path, ending in "/"
  };

  GitRepositories() = default;
  ~GitRepositories();
  GitRepositories(const GitRepositories&) = delete;
  GitRepositories& operator=(const GitRepositories&) = delete;

  /// The repository whose work tree or git folder holds `folder`, opened
  /// the first time one of its folders is asked about; null outside any
  /// work tree and for a bare repository.
  const Repository* Find(const std::string& folder);

 private:
  std::map<std::string, Repository> by_git_folder_;
  bool searched_ = false;  // the global excludes were looked up for this set
};

/// What git ignores below one walked folder, asked entry by entry; git
/// itself decides (the .gitignore files on the way down, .git/info/exclude,
/// the user's global excludes). Outside a work tree, without repositories
/// (the rules are off), and when the walked folder is itself ignored (it was
/// named on purpose) or lies inside .git, nothing is ever ignored.
class IgnoreRules {
 public:
  IgnoreRules(const std::string& walked_folder, GitRepositories* repositories);

  /// Whether the walk leaves out the entry at `relative`, its "/"-separated
  /// path below the walked folder. A ".git" entry is always left out; a
  /// tracked file, and a folder that holds tracked files, never are, as
  /// git lists what it tracks whatever the ignore files say.
  bool Ignores(std::string_view relative, bool is_folder) const;

 private:
  bool IgnoredByGit(const std::string& path, bool is_folder) const;

  const GitRepositories::Repository* repo_ = nullptr;
  std::string prefix_;  // the walked folder inside the work tree: "" or ending in "/"
  mutable std::string path_;
};

}  // namespace tv
