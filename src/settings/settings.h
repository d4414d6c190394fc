// Setup.ini: where it lives, its defaults, and the reader the counting code
// uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/file_types.h"
#include "platform/codepage.h"

namespace tv {

inline constexpr std::string_view kSettingsFileName = "Setup.ini";

// Sections and keys.
inline constexpr std::string_view kSectionPercent = "SHOW SINGLE FILE PERCENT";
inline constexpr std::string_view kSectionCurrentPath = "CURRENT PATH";
inline constexpr std::string_view kSectionOther = "OTHER";
inline constexpr std::string_view kSectionSelectedFiles = "Selected Files";
inline constexpr std::string_view kSectionSelectedFolder = "Selected Folder";
inline constexpr std::string_view kKeyType = "Type";
inline constexpr std::string_view kKeyFlag = "Flag";
inline constexpr std::string_view kKeyCountSameFileName = "CountSameFileName";
inline constexpr std::string_view kKeyIncludeDirectory = "IncludeDirectory";
inline constexpr std::string_view kKeyShowProcPercent = "ShowProcPercent";
inline constexpr std::string_view kKeyHonorIgnoreFiles = "HonorIgnoreFiles";

/// The settings file: TALLYVANE_SETTINGS when set, else
/// SettingsPathFor(the program's folder, the configuration folder).
std::string SettingsPath();

/// Where the program in `program_dir` keeps Setup.ini: beside itself when a
/// Setup.ini is already there, or when it is a portable copy (not an
/// installed program) in a folder it may write to; otherwise
/// `config_dir`/tallyvane/Setup.ini. Both folders end in "/".
std::string SettingsPathFor(const std::string& program_dir, const std::string& config_dir);

/// A flag is on only when its value is exactly "1".
inline bool IsFlagOn(std::string_view value) {
  return value == "1";
}

/// The bytes of a new settings file: the fourteen default keys in order.
std::string DefaultSettingsText(CodePage cp);

/// Creates the settings file with its defaults when no file exists at
/// `path`; a file that exists, or that another process creates meanwhile, is
/// never overwritten. True when a file exists afterwards.
bool WriteDefaultSettings(const std::string& path, CodePage cp);

/// The line-scanning reader of the counting code. The file is read once, at
/// Open; each GetValue searches from the top. A key is looked for only in the
/// section found: from the first section line that holds the section name to
/// the next line whose first non-blank character is "[".
class SetupIniReader {
 public:
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  void SetFileName(std::string name) { name_ = std::move(name); }
  /// Reads the file named by folder + file name; false when it cannot be read.
  bool Open(CodePage cp = AnsiCodePage());
  /// Opens the file at `path`.
  bool OpenPath(const std::string& path, CodePage cp = AnsiCodePage());
  /// The value of `key` (exact name, blanks around it ignored), blanks
  /// around the value removed; false when the file is not open or the key is
  /// not in the section.
  bool GetValue(std::string_view section, std::string_view key, std::string& value) const;
  void Close();
  bool IsOpen() const { return open_; }

 private:
  std::string folder_, name_;
  std::vector<std::string> lines_;
  CodePage cp_ = CodePage::Gbk;
  bool open_ = false;
};

/// Reads a value through `reader`, or `fallback` when it is not there.
std::string GetValueOr(const SetupIniReader& reader, std::string_view section, std::string_view key,
                       std::string_view fallback);

/// The rules of the countable-file test as the settings give them now: the
/// five user lists and the same-name rule (on when "CountSameFileName" is
/// "0" after removing spaces, which a file without the key also reads as;
/// off when the settings file is missing).
CountableRules ReadCountableRules(const std::string& settings_path, CodePage cp = AnsiCodePage());

/// Whether folder walks honour ignore files: "HonorIgnoreFiles" under
/// "OTHER" is "1". Off when the key or the file is missing; new settings
/// files do not hold the key.
bool ReadHonorIgnoreFiles(const std::string& settings_path, CodePage cp);

/// The five user lists alone (empty when the file is missing).
UserTypeLists ReadUserTypeLists(const SetupIniReader& reader);

}  // namespace tv
