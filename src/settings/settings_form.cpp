#include "settings/settings_form.h"

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
  // A file that cannot be read would lose the keys it holds besides the form's.
  std::optional<IniDocument> doc = IniDocument::LoadForChange(path, cp, &error);
  if (doc) {
    for (size_t i = 0; i < kSettingsFieldCount; ++i) {
      const SettingsField& field = kSettingsFields[i];
      doc->Set(field.section, field.key,
               field.is_list ? form.values[i] : std::string(form.Flag(i) ? "1" : "0"));
    }
    if (doc->Save(path, &error)) return true;
  }
  error = path + ": " + error;
  return false;
}

}  // namespace tv
