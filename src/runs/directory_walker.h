// Walking a folder tree into the list of files a run counts.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "runs/ignore_rules.h"
#include "runs/run_list.h"

struct dirent;

namespace tv {

/// The sub-folder option of the walks: "IncludeDirectory" under "OTHER" of
/// the settings file. The file is read again only when it has changed (its
/// identity, size or times, to the nanosecond) since the last read, so a
/// change still applies from the next folder on while a walk of many
/// folders reads a large file once.
class SubfolderOption {
 public:
  /// True unless the option is "1".
  bool Descend(const std::string& settings_path, CodePage cp);
  /// How many times the settings file was read.
  size_t reads() const { return reads_; }

 private:
  // What stat says of the file; nullopt when there is none.
  struct Stamp {
    dev_t dev;
    ino_t ino;
    off_t size;
    time_t mtime_sec;
    long mtime_nsec;
    time_t ctime_sec;
    long ctime_nsec;
    bool operator==(const Stamp&) const = default;
  };
  std::optional<std::optional<Stamp>> last_;  // unset until the first read
  bool descend_ = true;
  size_t reads_ = 0;
};

/// What the walks of one run share: every folder walked so far, by device
/// and inode, the sub-folder option, and the git repositories met when
/// ignore files are honoured.
struct WalkMemory {
  std::set<std::pair<dev_t, ino_t>> walked;
  SubfolderOption option;
  GitRepositories git;
};

/// Whether the entry `e` of the open folder `dir_fd` is walked as a folder.
/// Links are followed; an entry whose target cannot be examined (a dangling
/// link) is a file.
bool IsFolderEntry(int dir_fd, const struct dirent& e);

/// The order of the entries of one folder: by the bytes of their names with
/// ASCII letters lower-cased, names that differ only in case by their plain
/// bytes.
bool WalkOrderLess(std::string_view a, std::string_view b);

/// Appends the countable files under `dir` to `list`, depth first, each
/// folder's entries in `WalkOrderLess` order. Subfolders are walked unless
/// "IncludeDirectory" under "OTHER" is "1", looked at each time a folder is
/// entered (see SubfolderOption). The stop request is polled before every
/// entry; once it is set the whole walk ends and what was gathered stays.
///
/// Links are followed, but each folder (by device and inode) is walked at
/// most once: by the first route that reaches it in walk order. A link to
/// a folder already walked, or to an ancestor, adds nothing, so no file is
/// gathered twice and no walk can loop. The walks of one run share that
/// memory through `ctx.walks`; without it the walk keeps its own.
///
/// Folders that cannot be opened add nothing. Every entry that is not a
/// folder is offered as a file, including FIFOs, sockets, devices and
/// dangling links: the counter never opens them and shows them as
/// unreadable files. A path ending in "/" is joined to its entries without a
/// second "/".
///
/// With `ctx.honor_ignore_files` a walk inside a git work tree leaves out
/// what git ignores there (`IgnoreRules`): an ignored folder is not entered,
/// and ".git" never is. The walked folder itself is always walked.
void WalkDirectory(const std::string& dir, RunList& list, const GatherContext& ctx);

}  // namespace tv
