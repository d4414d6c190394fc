#include "runs/subfolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "runs/directory_walker.h"

namespace tv {

namespace {

bool IsDots(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Calls `visit(dir_fd, name)` for each enterable folder inside the folder `at`
// (relative to `parent`, or absolute) until it returns false.
template <typename Visit>
void ForEachFolder(int parent, const char* at, Visit visit) {
  const int fd = ::openat(parent, at, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    ::close(fd);
    return;
  }
  while (const struct dirent* e = ::readdir(d)) {
    // A folder the user may not enter cannot be counted: it is not shown.
    if (IsDots(e->d_name) || !IsFolderEntry(::dirfd(d), *e) ||
        ::faccessat(::dirfd(d), e->d_name, X_OK, 0) != 0) {
      continue;
    }
    if (!visit(::dirfd(d), e->d_name)) break;
  }
  ::closedir(d);
}

}  // namespace

bool IsEnterableFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::vector<Subfolder> ListSubfolders(const std::string& path, const std::atomic<bool>* stop) {
  std::vector<Subfolder> folders;
  ForEachFolder(AT_FDCWD, path.c_str(), [&](int dir, const char* name) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    Subfolder folder{name, false};
    // One subfolder is enough to show an expand button.
    ForEachFolder(dir, name, [&](int, const char*) {
      folder.has_subfolders = true;
      return false;
    });
    folders.push_back(std::move(folder));
    return true;
  });
  std::sort(folders.begin(), folders.end(),
            [](const Subfolder& a, const Subfolder& b) { return WalkOrderLess(a.name, b.name); });
  return folders;
}

std::string PlainFolderPath(const std::string& folder) {
  if (folder.empty() || folder[0] != '/') return {};
  std::vector<std::string_view> parts;
  const std::string_view text = folder;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('/', at), text.size());
    const std::string_view part = text.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string plain;
  for (std::string_view part : parts) plain.append("/").append(part);
  return plain.empty() ? "/" : plain;
}

std::vector<std::string> TopmostFolders(std::vector<std::string> folders) {
  // Ordered with "/" below every other byte, a folder comes right before
  // everything under it ("/a", "/a/x", "/a b"), so one look back suffices.
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      auto key = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
      return key(x) < key(y);
    });
  });
  std::vector<std::string> topmost;
  for (std::string& folder : folders) {
    if (!topmost.empty()) {
      const std::string& last = topmost.back();
      const bool inside =
          folder.compare(0, last.size(), last) == 0 &&
          (folder.size() == last.size() || last == "/" || folder[last.size()] == '/');
      if (inside) continue;
    }
    topmost.push_back(std::move(folder));
  }
  std::sort(topmost.begin(), topmost.end(), WalkOrderLess);
  return topmost;
}

}  // namespace tv
