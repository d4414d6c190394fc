#include "settings/settings.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/file_reader.h"
#include "platform/ini.h"
#include "platform/program_paths.h"
#include "platform/text.h"

namespace tv {

namespace {

bool StartsSection(std::string_view line) {
  std::string_view t = TrimBlanks(line);
  return !t.empty() && t.front() == '[';
}

}  // namespace

std::string SettingsPath() {
  const char* named = std::getenv("TALLYVANE_SETTINGS");
  if (named != nullptr && *named != '\0') return named;
  return SettingsPathFor(ProgramDirectory(), ConfigDirectory());
}

std::string SettingsPathFor(const std::string& program_dir, const std::string& config_dir) {
  const std::string beside = program_dir + std::string(kSettingsFileName);
  if (PathExists(beside)) return beside;
  // An installed program never writes into its own folder, even as root.
  if (!IsInstalledProgram(program_dir) && ::access(program_dir.c_str(), W_OK) == 0) return beside;
  return config_dir + "tallyvane/" + std::string(kSettingsFileName);
}

std::string DefaultSettingsText(CodePage cp) {
  IniDocument doc(cp);
  for (int i = 0; i < 4; ++i) doc.Set(kUserTypeSections[i].section, kKeyType, "");
  doc.Set(kSectionPercent, kKeyFlag, "0");
  doc.Set(kUserTypeSections[4].section, kKeyType, "");
  doc.Set(kSectionCurrentPath, "Path1", "");
  doc.Set(kSectionCurrentPath, "Path2", "");
  doc.Set(kSectionCurrentPath, "Path3", "");
  doc.Set(kSectionCurrentPath, "SelectType", "1");
  doc.Set(kSectionOther, "ShortCut", "0");
  doc.Set(kSectionOther, kKeyIncludeDirectory, "0");
  doc.Set(kSectionOther, kKeyShowProcPercent, "1");
  doc.Set(kSectionOther, "ShowSelFileName", "0");
  return doc.Serialize();
}

bool WriteDefaultSettings(const std::string& path, CodePage cp) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirectories(path.substr(0, slash));
  CreateFileIfMissing(path, DefaultSettingsText(cp));
  return PathExists(path);
}

bool SetupIniReader::Open(CodePage cp) {
  return OpenPath(folder_ + name_, cp);
}

bool SetupIniReader::OpenPath(const std::string& path, CodePage cp) {
  Close();
  std::optional<IniDocument> doc = IniDocument::Load(path, cp);  // any encoding
  if (!doc) return false;
  cp_ = doc->code_page();
  lines_ = doc->lines();
  open_ = true;
  return true;
}

void SetupIniReader::Close() {
  lines_.clear();
  open_ = false;
}

bool SetupIniReader::GetValue(std::string_view section, std::string_view key,
                              std::string& value) const {
  if (!open_) return false;
  size_t i = 0;
  while (i < lines_.size() &&
         !(StartsSection(lines_[i]) && lines_[i].find(section) != std::string::npos)) {
    ++i;
  }
  for (++i; i < lines_.size() && !StartsSection(lines_[i]); ++i) {
    const std::string& line = lines_[i];
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (TrimBlanks(std::string_view(line).substr(0, eq)) != key) continue;
    value = AnsiToUtf8(TrimSpaces(UpToNul(std::string_view(line).substr(eq + 1))), cp_);
    return true;
  }
  return false;
}

std::string GetValueOr(const SetupIniReader& reader, std::string_view section, std::string_view key,
                       std::string_view fallback) {
  std::string value;
  if (!reader.GetValue(section, key, value)) return std::string(fallback);
  return value;
}

bool ReadHonorIgnoreFiles(const std::string& settings_path, CodePage cp) {
  return IsFlagOn(
      ReadProfileString(settings_path, kSectionOther, kKeyHonorIgnoreFiles, "", 256, cp));
}

UserTypeLists ReadUserTypeLists(const SetupIniReader& reader) {
  UserTypeLists lists;
  std::string* out[] = {&lists.cpp, &lists.vb, &lists.delphi, &lists.assembly, &lists.sql};
  for (size_t i = 0; i < kUserTypeSections.size(); ++i) {
    *out[i] = GetValueOr(reader, kUserTypeSections[i].section, kKeyType, "");
  }
  return lists;
}

CountableRules ReadCountableRules(const std::string& settings_path, CodePage cp) {
  CountableRules rules;
  SetupIniReader reader;
  if (!reader.OpenPath(settings_path, cp)) return rules;
  rules.lists = ReadUserTypeLists(reader);
  rules.same_name_rule =
      TrimSpaces(GetValueOr(reader, kSectionCurrentPath, kKeyCountSameFileName, "0")) == "0";
  return rules;
}

}  // namespace tv
