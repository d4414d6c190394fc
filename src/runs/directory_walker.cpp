#include "runs/directory_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/ini.h"
#include "runs/ignore_rules.h"
#include "settings/settings.h"

namespace tv {

namespace {

unsigned char LowerByte(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

struct Entry {
  std::string name;
  bool is_folder = false;
};

// One folder being walked: its entries in walk order and the next one to take.
struct Level {
  std::string prefix;  // the folder's path followed by "/"
  std::vector<Entry> entries;
  size_t next = 0;
  bool descend = true;
};

// Opens `path` as a folder and lists it unless it was walked already.
// False when nothing is to be walked.
bool Enter(const std::string& path, std::vector<Level>& stack, WalkMemory& memory,
           const GatherContext& ctx) {
  // O_NONBLOCK and O_DIRECTORY: anything that is not a folder is refused
  // without waiting for it.
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  if (!memory.walked.emplace(st.st_dev, st.st_ino).second) {
    ::close(fd);
    return false;
  }
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    ::close(fd);
    return false;
  }
  Level level;
  level.prefix = path;
  if (level.prefix.back() != '/') level.prefix.push_back('/');
  while (const struct dirent* e = ::readdir(d)) {
    std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    level.entries.push_back(Entry{std::string(name), IsFolderEntry(::dirfd(d), *e)});
  }
  ::closedir(d);
  std::sort(level.entries.begin(), level.entries.end(),
            [](const Entry& a, const Entry& b) { return WalkOrderLess(a.name, b.name); });
  // Looked at for every folder, so a change made while a walk runs applies
  // from the next folder on.
  level.descend = memory.option.Descend(ctx.settings_path, ctx.code_page);
  stack.push_back(std::move(level));
  return true;
}

}  // namespace

bool SubfolderOption::Descend(const std::string& settings_path, CodePage cp) {
  struct stat st;
  std::optional<Stamp> now;
  if (::stat(settings_path.c_str(), &st) == 0) {
    now = Stamp{st.st_dev,          st.st_ino,         st.st_size,        st.st_mtim.tv_sec,
                st.st_mtim.tv_nsec, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
  }
  if (last_ && *last_ == now) return descend_;
  last_ = now;
  ++reads_;
  // "1" keeps the walks inside the folders they are given.
  descend_ =
      !IsFlagOn(ReadProfileString(settings_path, kSectionOther, kKeyIncludeDirectory, "", 256, cp));
  return descend_;
}

bool IsFolderEntry(int dir_fd, const struct dirent& e) {
  switch (e.d_type) {
    case DT_DIR:
      return true;
    case DT_LNK:
    case DT_UNKNOWN: {
      struct stat st;
      return ::fstatat(dir_fd, e.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    default:
      return false;
  }
}

bool WalkOrderLess(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = LowerByte(a[i]), y = LowerByte(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void WalkDirectory(const std::string& dir, RunList& list, const GatherContext& ctx) {
  if (dir.empty() || ctx.StopRequested()) return;
  // An explicit stack rather than recursion: a deep tree cannot exhaust the
  // worker's stack, and only one folder is open at a time.
  std::vector<Level> stack;
  WalkMemory own;
  WalkMemory& memory = ctx.walks != nullptr ? *ctx.walks : own;
  Enter(dir, stack, memory, ctx);
  // Entries are asked about by their path below `dir`.
  const IgnoreRules ignore(dir, ctx.honor_ignore_files && !stack.empty() ? &memory.git : nullptr);
  const size_t below = stack.empty() ? 0 : stack.front().prefix.size();
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next == top.entries.size()) {
      stack.pop_back();
      continue;
    }
    if (ctx.StopRequested()) return;
    const Entry& entry = top.entries[top.next++];
    std::string path = top.prefix + entry.name;
    // Git is asked only about what would be walked or taken.
    const std::string_view relative = std::string_view(path).substr(below);
    if (entry.is_folder) {
      // may move `top`; not used after
      if (top.descend && !ignore.Ignores(relative, true)) Enter(path, stack, memory, ctx);
    } else if (list.IsCountable(path, ctx) && !ignore.Ignores(relative, false)) {
      list.Add(path);
    }
  }
}

}  // namespace tv
