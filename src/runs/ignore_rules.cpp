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

}  // namespace

IgnoreRules::IgnoreRules(const std::string& walked_folder, bool on) {
  if (!on) return;
  // Started and ended with each walk, so the user's global excludes are
  // looked up anew for every run.
  library_open_ = git_libgit2_init() > 0;
  if (!library_open_ || git_repository_open_ext(&repo_, walked_folder.c_str(), 0, nullptr) != 0) {
    repo_ = nullptr;
    return;
  }
  const char* workdir = git_repository_workdir(repo_);  // null for a bare repository
  const std::string tree = workdir != nullptr ? RealFolder(workdir) : std::string();
  const std::string folder = RealFolder(walked_folder.c_str());
  const bool inside = !tree.empty() && !folder.empty() && folder.starts_with(tree);
  if (inside) prefix_ = folder.substr(tree.size());
  if (!inside || prefix_.starts_with(".git/")) {
    git_repository_free(repo_);
    repo_ = nullptr;
    return;
  }
  if (git_repository_index(&index_, repo_) != 0) index_ = nullptr;
  if (!prefix_.empty() && IgnoredByGit(prefix_, true)) {
    git_index_free(index_);
    index_ = nullptr;
    git_repository_free(repo_);
    repo_ = nullptr;
  }
}

IgnoreRules::~IgnoreRules() {
  git_index_free(index_);
  git_repository_free(repo_);
  if (library_open_) git_libgit2_shutdown();
}

bool IgnoreRules::Ignores(std::string_view relative, bool is_folder) const {
  if (repo_ == nullptr) return false;
  const size_t slash = relative.rfind('/');
  if (relative.substr(slash == std::string_view::npos ? 0 : slash + 1) == ".git") return true;
  std::string path = prefix_;
  path.append(relative);
  if (is_folder) path.push_back('/');  // folder-only patterns match it
  return IgnoredByGit(path, is_folder);
}

bool IgnoreRules::IgnoredByGit(const std::string& path, bool is_folder) const {
  size_t at = 0;
  if (index_ != nullptr) {
    const int found = is_folder ? git_index_find_prefix(&at, index_, path.c_str())
                                : git_index_find(&at, index_, path.c_str());
    if (found == 0) return false;
  }
  int ignored = 0;
  // When git cannot tell, the entry stays: nothing is left out on a doubt.
  return git_ignore_path_is_ignored(&ignored, repo_, path.c_str()) == 0 && ignored == 1;
}

}  // namespace tv
