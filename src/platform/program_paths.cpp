#include "platform/program_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/file_reader.h"

namespace tv {

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir;
}

// The installed manual for the program in `program_dir`:
// ../share/doc/tallyvane/Help.html, its ".." taken off the name (the folder
// comes from the resolved executable path, so it holds no links).
std::string InstalledManualPath(const std::string& program_dir) {
  std::string prefix = program_dir.substr(0, program_dir.size() > 1 ? program_dir.size() - 1 : 1);
  prefix.erase(prefix.rfind('/') + 1);
  return prefix + "share/doc/tallyvane/Help.html";
}

}  // namespace

std::string ProgramDirectory() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string exe(buf, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string ManualPath(const std::string& program_dir) {
  const std::string beside = program_dir + "Help.html";
  if (IsRegularFile(beside)) return beside;
  const std::string installed = InstalledManualPath(program_dir);
  return IsRegularFile(installed) ? installed : beside;
}

bool IsInstalledProgram(const std::string& program_dir) {
  if (program_dir.starts_with("/usr/") || program_dir.starts_with("/opt/")) return true;
  return ManualPath(program_dir) != program_dir + "Help.html";
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return WithSlash(home);
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return WithSlash(pw->pw_dir);
  }
  return "/";
}

std::string ConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return WithSlash(xdg);
  return HomeDirectory() + ".config/";
}

}  // namespace tv
