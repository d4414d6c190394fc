// What the settings dialog shows and saves: the five user extension lists
// and eight flags of Setup.ini, read when the dialog opens and written back
// in one replacement of the file.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace tv {

/// One value of the form: the dialog's control, and where the value lives.
struct SettingsField {
  int control;
  std::string_view section;
  std::string_view key;
  bool is_list;  // an extension list (an edit); else a flag (a check box)
};

inline constexpr size_t kSettingsFieldCount = 13;

/// The form's values in the order they are read and written: the C++, VB,
/// Delphi, assembly and SQL lists, then the flags.
inline constexpr std::array<SettingsField, kSettingsFieldCount> kSettingsFields = {{
    {1021, "C++ User Defined File Type", "Type", true},
    {1022, "VB User Defined File Type", "Type", true},
    {1023, "Delphi User Defined File Type", "Type", true},
    {1024, "ASM User Defined File Type", "Type", true},
    {1027, "SQL User Defined File Type", "Type", true},
    {1026, "SHOW SINGLE FILE PERCENT", "Flag", false},
    {1029, "CURRENT PATH", "CountSameFileName", false},
    {1033, "OTHER", "ShortCut", false},
    {1035, "OTHER", "IncludeDirectory", false},
    {1036, "OTHER", "ShowProcPercent", false},
    {1048, "OTHER", "ShowSelFileName", false},
    {1049, "OTHER", "ViewDefaultProg", false},
    {1053, "OTHER", "HonorIgnoreFiles", false},
}};

/// The index in kSettingsFields of the launcher flag ("ShortCut").
inline constexpr size_t kLauncherField = 7;

/// The values of the form, one per field of kSettingsFields: a list as
/// typed, a flag as "1" (on) or "0" (off).
struct SettingsForm {
  std::array<std::string, kSettingsFieldCount> values;

  bool Flag(size_t field) const { return values[field] == "1"; }
  void SetFlag(size_t field, bool on) { values[field].assign(1, on ? '1' : '0'); }
};

/// Reads the form from the settings file at `path`: missing keys, or a
/// missing file, give empty lists and flags that are off. Lists are read
/// whole, however long.
SettingsForm LoadSettingsForm(const std::string& path, CodePage cp);

/// Applies the form's values to the settings file at `path`, in field
/// order, keeping every other line, and replaces the file once. A flag is
/// written "1" when on, else "0"; a list as typed. False with the reason in
/// `error` when nothing was written: a value holds a line break, the file
/// exists but cannot be read, or the new file cannot be written.
bool SaveSettingsForm(const std::string& path, const SettingsForm& form, CodePage cp,
                      std::string& error);

}  // namespace tv
