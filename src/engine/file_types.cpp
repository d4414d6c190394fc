#include "engine/file_types.h"

namespace tv {

std::string GetFileExtension(std::string_view path, CodePage cp) {
  std::string_view name = GetFileNamePart(path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return LowerAscii(name.substr(dot + 1), cp);
}

std::string_view GetFileNamePart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view GetDirectoryPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

bool ListNames(std::string_view list, std::string_view ext) {
  std::string pat;
  pat.reserve(ext.size() + 2);
  pat.push_back('.');
  pat.append(ext);
  pat.push_back(';');
  if (list.find(pat) != std::string_view::npos) return true;
  return ext.empty() && list.find("*.;") != std::string_view::npos;
}

bool IsCountableFile(std::string_view path, const CountableRules& rules,
                     const GatheredNames& gathered, CodePage cp) {
  if (rules.same_name_rule && gathered.count(std::string(GetFileNamePart(path))) != 0) {
    return false;
  }
  const std::string ext = GetFileExtension(path, cp);
  if (ListNames(kBuiltInTypeList, ext)) return true;
  for (int i = 0; i < 5; ++i) {
    if (ListNames(rules.lists.Of(i), ext)) return true;
  }
  return false;
}

LanguageFamily SelectClassifier(std::string_view path, const UserTypeLists& lists, CodePage cp) {
  const std::string ext = GetFileExtension(path, cp);
  if (ext == "vbp" || ext == "frm" || ext == "bas" || ext == "ctl" || ext == "cls") {
    return LanguageFamily::Basic;
  }
  if (ext == "asm" || ext == "inc") return LanguageFamily::Assembly;
  if (ext == "dpr" || ext == "pas" || ext == "dfm") return LanguageFamily::Pascal;
  if (ext == "java" || ext == "jpx" || ext == "cs") return LanguageFamily::CFamily;
  if (ext == "sql") return LanguageFamily::Sql;
  for (int i = 0; i < 5; ++i) {
    if (ListNames(lists.Of(i), ext)) return kUserTypeSections[i].family;
  }
  return LanguageFamily::CFamily;
}

std::optional<LanguageFamily> FamilyOfFileType(int index) {
  if (index < 1 || index > static_cast<int>(kFileTypes.size())) return std::nullopt;
  return kFileTypes[index - 1].family;
}

}  // namespace tv
