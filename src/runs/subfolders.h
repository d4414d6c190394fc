// The folders a folder tree shows: the subfolders of one folder, each with
// whether it has subfolders of its own, and the topmost of a set of folders.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace tv {

struct Subfolder {
  std::string name;
  bool has_subfolders = false;
};

/// True when `path` is a folder the user may enter: `stat` (which follows
/// links) says it is a directory and the user has search permission on it.
bool IsEnterableFolder(const std::string& path);

/// The enterable folders directly inside `path` ("." and ".." left out),
/// in the order a directory walk visits them; empty when `path` cannot be
/// read. The process's current directory is never changed. `stop` (null:
/// never) is read before each subfolder is looked into; once it is set the
/// listing ends with what it found so far.
std::vector<Subfolder> ListSubfolders(const std::string& path,
                                      const std::atomic<bool>* stop = nullptr);

/// `folder` made absolute-looking and plain: repeated and trailing slashes
/// dropped, "." removed and ".." applied lexically; "" when it is not an
/// absolute path.
std::string PlainFolderPath(const std::string& folder);

/// The folders of `folders` that lie neither at nor under another of them,
/// each once, sorted in walk order: "/" and any folder together give "/",
/// so nothing is counted twice.
std::vector<std::string> TopmostFolders(std::vector<std::string> folders);

}  // namespace tv
