#include "shell/desktop_entries.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/file_reader.h"
#include "platform/ini.h"
#include "platform/program_paths.h"

namespace tv {

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir;
}

// The icon the window uses, by its theme name: the desktop draws it.
constexpr std::string_view kIconName = "accessories-calculator";

std::string EntryHead(std::string_view name, std::string_view comment, const std::string& exec) {
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=";
  text.append(name).append("\nComment=").append(comment);
  text.append("\nExec=").append(exec).append("\nIcon=").append(kIconName);
  text.append("\nTerminal=false\n");
  return text;
}

std::optional<std::string> WriteEntryFile(const std::string& path, const std::string& text,
                                          bool executable) {
  MakeDirectories(path.substr(0, path.rfind('/')));
  std::string error;
  if (!WriteFileAtomically(path, text, &error)) return path + ": " + error;
  if (executable && ::chmod(path.c_str(), 0755) != 0) {
    return path + ": cannot make it executable: " + std::strerror(errno);
  }
  return std::nullopt;
}

std::optional<std::string> RemoveEntryFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) return std::nullopt;
  return path + ": cannot remove: " + std::strerror(errno);
}

}  // namespace

DesktopPlaces DesktopPlaces::ForUser() {
  const std::string home = HomeDirectory();
  DesktopPlaces places;
  std::string dirs;
  std::optional<std::string> desktop;
  if (ReadWholeFile(ConfigDirectory() + "user-dirs.dirs", dirs)) {
    desktop = DesktopDirFromUserDirs(dirs, home);
  }
  places.desktop = desktop ? *desktop : home + "Desktop/";
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::string data_home =
      data != nullptr && data[0] == '/' ? WithSlash(data) : home + ".local/share/";
  places.applications = data_home + "applications/";
  places.scripts = data_home + "nautilus/scripts/";
  places.program_link = data_home + "tallyvane/bin/tallyvane";
  return places;
}

std::string DesktopPlaces::LauncherPath() const {
  return desktop + std::string(kLauncherName) + ".desktop";
}

std::string DesktopPlaces::SendToEntryPath() const {
  return applications + "tallyvane-pro.desktop";
}

std::string DesktopPlaces::SendToScriptPath() const {
  return scripts + std::string(kSendToName);
}

std::optional<std::string> DesktopDirFromUserDirs(std::string_view text, const std::string& home) {
  std::optional<std::string> found;
  for (const std::string& raw : SplitTextLines(text)) {
    std::string_view line = raw;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    // The file is shell syntax: a double-quoted value whose backslashes
    // take the next character literally.
    std::string value;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (c == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (!quoted && (c == ' ' || c == '\t' || c == '#')) {
        break;
      } else {
        value += c;
      }
    }
    if (value == "$HOME" || value.starts_with("$HOME/")) {
      found = WithSlash(home + value.substr(value.size() > 5 ? 6 : 5));
    } else if (value.starts_with('/')) {
      found = WithSlash(value);
    }
  }
  return found;
}

bool EntryCanName(std::string_view path) {
  return IsValidUtf8(path) && path.find('%') == std::string_view::npos;
}

std::optional<std::string> EntryProgram(const DesktopPlaces& places, const std::string& program,
                                        std::string* reason) {
  if (EntryCanName(program)) return program;
  const std::string& link = places.program_link;
  if (link.empty() || !EntryCanName(link)) {
    *reason = program +
              ": a desktop entry cannot name a path that holds \"%\" or is not UTF-8, "
              "nor the link " +
              link + " made in its place";
    return std::nullopt;
  }
  struct stat st;
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    *reason = link + ": is not a link, and is left alone";
    return std::nullopt;
  }
  char target[4096];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (n >= 0 && std::string_view(target, static_cast<size_t>(n)) == program) return link;
  // A new link takes the old one's place in one step.
  MakeDirectories(link.substr(0, link.rfind('/')));
  const std::string fresh = link + ".new" + std::to_string(::getpid());
  ::unlink(fresh.c_str());
  if (::symlink(program.c_str(), fresh.c_str()) != 0 ||
      ::rename(fresh.c_str(), link.c_str()) != 0) {
    *reason = link + ": cannot link it to the program: " + std::strerror(errno);
    ::unlink(fresh.c_str());
    return std::nullopt;
  }
  return link;
}

std::string ExecArgument(std::string_view arg) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  const bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string_view::npos;
  // First the quoting of the Exec line's own rules...
  std::string word;
  if (quote) word += '"';
  for (char c : arg) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) word += '\\';
    word += c;
    if (c == '%') word += '%';
  }
  if (quote) word += '"';
  // ...then the escapes every string value of the file takes.
  std::string value;
  for (char c : word) {
    switch (c) {
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
    }
  }
  return value;
}

std::string ShellWord(std::string_view arg) {
  std::string word = "'";
  for (char c : arg) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  return word + "'";
}

std::string LauncherText(const std::string& program) {
  return EntryHead(kLauncherName, "统计源代码的行数", ExecArgument(program));
}

std::string SendToEntryText(const std::string& program) {
  return EntryHead(kSendToName, "统计所选文件和目录的源代码行数", ExecArgument(program) + " %F") +
         "MimeType=inode/directory;text/plain;application/octet-stream;\n";
}

std::string SendToScriptText(const std::string& program) {
  // The file manager starts the script in the shown folder with the chosen
  // names; each is made absolute by rotating the argument list once, so no
  // name is ever parsed by the shell.
  return "#!/bin/sh\n"
         "# Sends the chosen files and folders to Tallyvane.\n"
         "n=$#\n"
         "while [ \"$n\" -gt 0 ]; do\n"
         "  case $1 in\n"
         "    /*) set -- \"$@\" \"$1\" ;;\n"
         "    *) set -- \"$@\" \"$PWD/$1\" ;;\n"
         "  esac\n"
         "  shift\n"
         "  n=$((n - 1))\n"
         "done\n"
         "exec " +
         ShellWord(program) + " \"$@\"\n";
}

std::optional<std::string> CreateLauncher(const DesktopPlaces& places, const std::string& program) {
  std::string reason;
  const auto named = EntryProgram(places, program, &reason);
  if (!named) return reason;
  return WriteEntryFile(places.LauncherPath(), LauncherText(*named), /*executable=*/true);
}

std::optional<std::string> RemoveLauncher(const DesktopPlaces& places) {
  return RemoveEntryFile(places.LauncherPath());
}

std::optional<std::string> CreateSendTo(const DesktopPlaces& places, const std::string& program) {
  std::string reason;
  const auto named = EntryProgram(places, program, &reason);
  if (!named) return reason;
  if (auto failed = WriteEntryFile(places.SendToScriptPath(), SendToScriptText(*named), true)) {
    return failed;
  }
  return WriteEntryFile(places.SendToEntryPath(), SendToEntryText(*named), false);
}

std::optional<std::string> RemoveSendTo(const DesktopPlaces& places) {
  // The application entry goes first: once it is gone the entry counts as
  // removed, whatever happens to the script.
  if (auto failed = RemoveEntryFile(places.SendToEntryPath())) return failed;
  return RemoveEntryFile(places.SendToScriptPath());
}

bool LauncherExists(const DesktopPlaces& places) {
  return IsRegularFile(places.LauncherPath());
}

bool SendToExists(const DesktopPlaces& places) {
  return IsRegularFile(places.SendToEntryPath());
}

DesktopEntriesOutcome ApplyDesktopEntries(const DesktopPlaces& places, const std::string& program,
                                          bool launcher, bool send_to) {
  DesktopEntriesOutcome outcome;
  auto note = [&](const char* what, const std::optional<std::string>& failed) {
    if (failed) outcome.failures.push_back(std::string(what) + "：" + *failed);
  };
  if (launcher) {
    const auto failed = CreateLauncher(places, program);
    outcome.launcher_created = !failed;
    note("桌面快捷方式图标未能创建", failed);
  } else {
    note("桌面快捷方式图标未能删除", RemoveLauncher(places));
  }
  if (send_to) {
    note("资源管理器快捷操作方式未能加入", CreateSendTo(places, program));
  } else {
    note("资源管理器快捷操作方式未能删除", RemoveSendTo(places));
  }
  // Entries made earlier for another program may name the link; those are
  // replaced above, so nothing needs a link that no entry made now names.
  struct stat st;
  if (((!launcher && !send_to) || EntryCanName(program)) &&
      ::lstat(places.program_link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    ::unlink(places.program_link.c_str());
  }
  outcome.launcher_exists = LauncherExists(places);
  return outcome;
}

}  // namespace tv
