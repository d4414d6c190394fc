// Selection files (lists of files and folders to count) and the folder list
// kept in the settings file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "runs/run_list.h"

namespace tv {

inline constexpr std::string_view kKeyTotalFileNum = "TotalFileNum";
inline constexpr std::string_view kKeyFilePrefix = "File";
inline constexpr std::string_view kKeyTotalFolderNum = "TotalFolderNum";
inline constexpr std::string_view kKeyFolderPrefix = "Folder";

/// C's decimal conversion of a count: blanks skipped, an optional sign, then
/// the leading digits; anything else gives 0. Negative counts give 0, counts
/// beyond the int range give its largest value.
long long ParseCount(std::string_view text);

/// The values of a numbered list in one section of an INI file: the count
/// key gives N, and the keys prefix + k (k = 1 to N, in decimal) give the
/// entries, in number order. Keys that are missing are left out (they would
/// read as empty), so the work follows the keys present, not N. Each value
/// is cut to the path buffer, has blanks and tabs removed at both ends, and
/// names the entry on disk that shows as it (see PathResolver), whatever
/// bytes its names are made of. Nullopt when the file cannot be read.
std::optional<std::vector<std::string>> ReadNumberedList(const std::string& ini_path,
                                                         std::string_view section,
                                                         std::string_view count_key,
                                                         std::string_view prefix, CodePage cp);

/// Gathers a selection file: first every listed file that is countable, then
/// the walk of every listed folder (one final "/" removed). A missing or
/// unreadable file gathers nothing.
void GatherSelectionFile(const std::string& selection_path, RunList& list,
                         const GatherContext& ctx);

/// Walks every folder of the "Selected Folder" list of the settings file.
void GatherFolderList(RunList& list, const GatherContext& ctx);

/// The folders of the "Selected Folder" list of the settings file, as found
/// on disk; nullopt when the settings file cannot be read.
std::optional<std::vector<std::string>> ReadFolderList(const std::string& settings_path,
                                                       CodePage cp);

/// Replaces the "Selected Folder" list of the settings file: the section is
/// removed and written again at the end of the file with "TotalFolderNum"
/// and Folder1 to FolderN, in one atomic replacement. A folder whose name
/// holds a line break cannot be stored in the file: nothing is written and
/// the answer is false, as it is when the file cannot be written.
bool WriteFolderList(const std::string& settings_path, const std::vector<std::string>& folders,
                     CodePage cp, std::string* error = nullptr);

}  // namespace tv
