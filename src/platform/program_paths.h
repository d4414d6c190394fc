// Where the program and its files are.
#pragma once

#include <string>

namespace tv {

/// The folder of the running executable, ending in "/".
std::string ProgramDirectory();

/// The user's home folder, ending in "/".
std::string HomeDirectory();

/// The folder for the user's configuration files ($XDG_CONFIG_HOME, else
/// ~/.config), ending in "/".
std::string ConfigDirectory();

}  // namespace tv
