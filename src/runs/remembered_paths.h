// What a start from the window remembers in the settings ("CURRENT PATH"),
// and the settings a start reads.
#pragma once

#include <string>

#include "platform/codepage.h"
#include "runs/run.h"

namespace tv {

/// Writes the keys a window start remembers: the folder of a file selection
/// ("Path1") with its file type ("SelectType"), the single directory
/// ("Path2"), or the folder of a selection file ("Path3"). A folder-list run
/// writes nothing. False when the settings file cannot be written.
bool RememberRunStart(const std::string& settings_path, const RunRequest& request,
                      const std::string& selection_directory, CodePage cp);

/// A remembered value of "CURRENT PATH" ("Path1", "Path2", "Path3",
/// "SelectType"); empty when missing.
std::string ReadRememberedPath(const std::string& settings_path, const std::string& key,
                               CodePage cp);

/// The progress option of a window start: "ShowProcPercent" under "OTHER"
/// is exactly "1".
bool ReadProgressOption(const std::string& settings_path, CodePage cp);

/// The kind of selection a handed-over path makes: a folder is counted as one
/// directory, anything else as an all-files selection of that one path.
SelectionType SelectionForHandedOverPath(const std::string& path);

}  // namespace tv
