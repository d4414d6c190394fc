#include "settings/settings_form.h"

#include "platform/atomic_file.h"
#include "platform/file_reader.h"
#include "platform/ini.h"

namespace tv {

SettingsForm LoadSettingsForm(const std::string& path, CodePage cp) {
  SettingsForm form;
  const std::optional<IniDocument> doc = IniDocument::Load(path, cp);
  for (size_t i = 0; i < kSettingsFieldCount; ++i) {
    const SettingsField& field = kSettingsFields[i];
    std::optional<std::string> value;
    if (doc) value = doc->Get(field.section, field.key);
    if (field.is_list) {
      form.values[i] = value.value_or("");
    } else {
      form.SetFlag(i, value == "1");
    }
  }
  return form;
}

bool SaveSettingsForm(const std::string& path, const SettingsForm& form, CodePage cp,
                      std::string& error) {
  for (const std::string& value : form.values) {
    // A line break would end the line early and could start a new section.
    if (value.find_first_of("\r\n") != std::string::npos) {
      error = "a value holds a line break";
      return false;
    }
  }
  std::string bytes;
  if (!ReadWholeFile(path, bytes) && PathExists(path)) {
    // The keys a file holds besides the form's would be lost.
    error = path + ": cannot read the existing file";
    return false;
  }
  IniDocument doc(bytes, cp);
  for (size_t i = 0; i < kSettingsFieldCount; ++i) {
    const SettingsField& field = kSettingsFields[i];
    doc.Set(field.section, field.key,
            field.is_list ? form.values[i] : std::string(form.Flag(i) ? "1" : "0"));
  }
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirectories(path.substr(0, slash));
  if (!WriteFileAtomically(path, doc.Serialize(), &error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace tv
