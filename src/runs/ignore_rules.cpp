#include "runs/ignore_rules.h"

#include <git2.h>

#include <cstdlib>
#include <memory>

namespace tv {

namespace {

// `path` with its links resolved and a "/" at the end; "" when it cannot be
// resolved.
std::string RealFolder(const char* path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
  if (real == nullptr) return {};
  std::string folder = real.get();
  if (folder.back() != '/') folder.push_back('/');
  return folder;
}

// The library is started once for the whole process and never ended:
// starting it costs as much as a walk of thousands of files (it loads the
// system's certificates), and its state lives as long as the process.
bool LibraryReady() {
  static const bool ready = git_libgit2_init() > 0;
  return ready;
}

}  // namespace

GitRepositories::~GitRepositories() {
  for (auto& [git_folder, r] : by_git_folder_) {
    git_index_free(r.index);
    git_repository_free(r.repo);
  }
}

const GitRepositories::Repository* GitRepositories::Find(const std::string& folder) {
  if (!LibraryReady()) return nullptr;
  if (!searched_) {
    // The library keeps the home folder it saw when it started; the global
    // and per-user excludes are looked up in the home folder of now.
    git_libgit2_opts(GIT_OPT_SET_SEARCH_PATH, GIT_CONFIG_LEVEL_GLOBAL, nullptr);
    git_libgit2_opts(GIT_OPT_SET_SEARCH_PATH, GIT_CONFIG_LEVEL_XDG, nullptr);
    searched_ = true;
  }
  git_buf found = {};
  if (git_repository_discover(&found, folder.c_str(), 0, nullptr) != 0) return nullptr;
  const std::string git_folder(found.ptr, found.size);
  git_buf_dispose(&found);
  auto [it, added] = by_git_folder_.try_emplace(git_folder);
  Repository& r = it->second;
  if (added && git_repository_open(&r.repo, git_folder.c_str()) == 0) {
    const char* work_tree = git_repository_workdir(r.repo);  // null for a bare repository
    if (work_tree != nullptr) r.work_tree = RealFolder(work_tree);
    if (r.work_tree.empty() || git_repository_index(&r.index, r.repo) != 0) r.index = nullptr;
  }
  return r.repo != nullptr && !r.work_tree.empty() ? &r : nullptr;
}

IgnoreRules::IgnoreRules(const std::string& walked_folder, GitRepositories* repositories) {
  if (repositories == nullptr) return;
  const GitRepositories::Repository* r = repositories->Find(walked_folder);
  if (r == nullptr) return;
  const std::string folder = RealFolder(walked_folder.c_str());
  if (!folder.starts_with(r->work_tree)) return;
  prefix_ = folder.substr(r->work_tree.size());
  if (prefix_.starts_with(".git/")) return;
  repo_ = r;
  if (!prefix_.empty() && IgnoredByGit(prefix_, true)) repo_ = nullptr;
}

bool IgnoreRules::Ignores(std::string_view relative, bool is_folder) const {
  if (repo_ == nullptr) return false;
  const size_t slash = relative.rfind('/');
  if (relative.substr(slash == std::string_view::npos ? 0 : slash + 1) == ".git") return true;
  // One buffer for every question: a walk asks about each countable file.
  path_.assign(prefix_).append(relative);
  if (is_folder) path_.push_back('/');  // folder-only patterns match it
  return IgnoredByGit(path_, is_folder);
}

bool IgnoreRules::IgnoredByGit(const std::string& path, bool is_folder) const {
  size_t at = 0;
  if (repo_->index != nullptr) {
    const int found = is_folder ? git_index_find_prefix(&at, repo_->index, path.c_str())
                                : git_index_find(&at, repo_->index, path.c_str());
    if (found == 0) return false;
  }
  int ignored = 0;
  // When git cannot tell, the entry stays: nothing is left out on a doubt.
  return git_ignore_path_is_ignored(&ignored, repo_->repo, path.c_str()) == 0 && ignored == 1;
}

}  // namespace tv
