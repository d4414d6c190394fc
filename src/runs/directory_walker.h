// Walking a folder tree into the list of files a run counts.
#pragma once

#include <string>
#include <string_view>

#include "runs/run_list.h"

struct dirent;

namespace tv {

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
/// "IncludeDirectory" under "OTHER" is "1", read again each time a folder is
/// entered. The stop request is polled before every entry; once it is set
/// the whole walk ends and what was gathered stays.
///
/// Links are followed. A folder that is already being walked further up the
/// current path (the same device and inode) is not entered again, so a link
/// back to an ancestor cannot loop; a folder reached by two different routes
/// is walked twice. Folders that cannot be opened add nothing. Every entry
/// that is not a folder is offered as a file, including FIFOs, sockets,
/// devices and dangling links: the counter never opens them and shows them
/// as unreadable files. A path ending in "/" is joined to its entries
/// without a second "/".
///
/// With `ctx.honor_ignore_files` a walk inside a git work tree leaves out
/// what git ignores there (`IgnoreRules`): an ignored folder is not entered,
/// and ".git" never is. The walked folder itself is always walked.
void WalkDirectory(const std::string& dir, RunList& list, const GatherContext& ctx);

}  // namespace tv
