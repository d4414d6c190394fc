#include "runs/remembered_paths.h"

#include "engine/file_types.h"
#include "platform/file_reader.h"
#include "platform/ini.h"
#include "settings/settings.h"

namespace tv {

namespace {

constexpr size_t kRememberedBuffer = 1024;
constexpr size_t kFlagBuffer = 256;

bool Write(const std::string& settings, std::string_view key, std::string_view value, CodePage cp) {
  return WriteProfileString(settings, kSectionCurrentPath, key, value, cp);
}

}  // namespace

bool RememberRunStart(const std::string& settings_path, const RunRequest& request,
                      const std::string& selection_directory, CodePage cp) {
  switch (request.type) {
    case SelectionType::FileList:
    case SelectionType::AllFiles:
      return Write(settings_path, "Path1", selection_directory, cp) &&
             Write(settings_path, "SelectType", std::to_string(request.file_type_filter), cp);
    case SelectionType::OneDirectory:
      return Write(settings_path, "Path2", request.path, cp);
    case SelectionType::SelectionFile:
      return Write(settings_path, "Path3", GetDirectoryPart(request.path), cp);
    case SelectionType::FolderList:
      break;
  }
  return true;
}

std::string ReadRememberedPath(const std::string& settings_path, const std::string& key,
                               CodePage cp) {
  return ReadProfileString(settings_path, kSectionCurrentPath, key, "",
                           PathBufferSize(kRememberedBuffer), cp);
}

bool ReadProgressOption(const std::string& settings_path, CodePage cp) {
  return IsFlagOn(
      ReadProfileString(settings_path, kSectionOther, kKeyShowProcPercent, "", kFlagBuffer, cp));
}

SelectionType SelectionForHandedOverPath(const std::string& path) {
  return IsDirectory(path) ? SelectionType::OneDirectory : SelectionType::AllFiles;
}

}  // namespace tv
