// The program's places on the user's desktop: a launcher "Tallyvane" in the
// desktop folder, and the "Tallyvane Pro" send-to entry that file managers
// offer for files and folders (an application entry accepting them, and a
// script in the Nautilus scripts folder).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

inline constexpr std::string_view kLauncherName = "Tallyvane";
inline constexpr std::string_view kSendToName = "Tallyvane Pro";

/// The folders the entries go to, ending in "/".
struct DesktopPlaces {
  std::string desktop;       // the launcher's folder
  std::string applications;  // the send-to application entry's folder
  std::string scripts;       // the file manager's scripts folder
  /// The symbolic link the entries name when the program's own path cannot
  /// be named in an entry.
  std::string program_link;

  /// The current user's places: XDG_DESKTOP_DIR of user-dirs.dirs in the
  /// configuration folder (else ~/Desktop); the applications and Nautilus
  /// scripts folders, and tallyvane/bin/tallyvane for the link, under
  /// $XDG_DATA_HOME (else ~/.local/share).
  static DesktopPlaces ForUser();

  std::string LauncherPath() const;
  std::string SendToEntryPath() const;
  std::string SendToScriptPath() const;
};

/// The value of XDG_DESKTOP_DIR in the text of a user-dirs.dirs file, with a
/// leading $HOME replaced by `home` (which ends in "/"), ending in "/";
/// nullopt when the file does not set it to an absolute or $HOME path.
std::optional<std::string> DesktopDirFromUserDirs(std::string_view text, const std::string& home);

/// `arg` as one argument of a desktop entry's Exec line: quoted when it
/// holds a blank or a reserved character, with "%" doubled and the value's
/// own escapes applied.
std::string ExecArgument(std::string_view arg);

/// `arg` as one word of a POSIX shell script: single-quoted.
std::string ShellWord(std::string_view arg);

/// The launcher's text for the program at `program`.
std::string LauncherText(const std::string& program);
/// The send-to application entry's text (it accepts files and folders).
std::string SendToEntryText(const std::string& program);
/// The send-to script: hands its arguments, made absolute, to `program`.
std::string SendToScriptText(const std::string& program);

/// True when a desktop entry can name `path` as its program: the path is
/// UTF-8 text, as the whole entry file must be, and holds no "%", since
/// desktops look for the Exec line's program before "%%" is made "%".
bool EntryCanName(std::string_view path);

/// The path the entries name to start `program`: the program's own path
/// when an entry can name it, else `places.program_link`, made or refreshed
/// to point at the program. Nullopt and the reason when neither will do.
std::optional<std::string> EntryProgram(const DesktopPlaces& places, const std::string& program,
                                        std::string* reason);

/// Each operation returns nullopt on success, else the reason it failed.
/// Removing an entry that does not exist succeeds.
std::optional<std::string> CreateLauncher(const DesktopPlaces& places, const std::string& program);
std::optional<std::string> RemoveLauncher(const DesktopPlaces& places);
std::optional<std::string> CreateSendTo(const DesktopPlaces& places, const std::string& program);
std::optional<std::string> RemoveSendTo(const DesktopPlaces& places);
bool LauncherExists(const DesktopPlaces& places);
/// The send-to entry exists when its application entry does.
bool SendToExists(const DesktopPlaces& places);

/// What making the entries match the settings did.
struct DesktopEntriesOutcome {
  bool launcher_exists = false;  // what the "ShortCut" setting records
  bool launcher_created = false;
  /// One line per failed operation, naming it and giving the reason.
  std::vector<std::string> failures;
};

/// Creates or removes the launcher and the send-to entry as the two check
/// boxes ask; the link goes when no entry made now names it.
DesktopEntriesOutcome ApplyDesktopEntries(const DesktopPlaces& places, const std::string& program,
                                          bool launcher, bool send_to);

}  // namespace tv
