// Where the program and its files are.
#pragma once

#include <string>

namespace tv {

/// The folder of the running executable, ending in "/".
std::string ProgramDirectory();

/// The manual for the program in `program_dir` (ending in "/"): Help.html
/// beside the program when it is there, else the installed copy under
/// ../share/doc/tallyvane/ when that is there, else Help.html beside the
/// program (the name the missing-file message gives).
std::string ManualPath(const std::string& program_dir);

/// Whether the program in `program_dir` is an installed copy rather than a
/// portable one: it lies under /usr or /opt, or it has no Help.html beside
/// it but finds the installed manual (an install under another prefix, such
/// as ~/.local or a staging folder).
bool IsInstalledProgram(const std::string& program_dir);

/// The user's home folder, ending in "/".
std::string HomeDirectory();

/// The folder for the user's configuration files ($XDG_CONFIG_HOME, else
/// ~/.config), ending in "/".
std::string ConfigDirectory();

}  // namespace tv
