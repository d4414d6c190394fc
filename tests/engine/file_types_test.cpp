// Path functions, which files are counted, and which classifier counts them.
#include "engine/file_types.h"

#include <optional>

#include "test_util.h"

namespace tv {
namespace {

constexpr std::string_view kFamilyNames[] = {"CFamily", "Sql", "Pascal", "Basic", "Assembly"};

std::string FamilyName(std::optional<LanguageFamily> family) {
  return family ? std::string(kFamilyNames[static_cast<int>(*family)]) : "none";
}

// The file dialog's filter made of the file types' captions and patterns in
// their order, or (`projects`) their project extensions; each type's index is
// its place.
std::string FileTypesText(bool projects) {
  std::string text;
  for (size_t i = 0; i < kFileTypes.size(); ++i) {
    const FileType& t = kFileTypes[i];
    EXPECT_EQ(t.index, static_cast<int>(i) + 1);
    if (!projects) text += std::string(t.caption) + "|" + std::string(t.patterns) + "|";
    if (projects && !t.project_ext.empty()) text += std::string(t.project_ext) + " ";
  }
  return projects ? text.substr(0, text.size() - 1) : text + "|";
}

// Each row of the table file is one call; its head says how rows are written.
TEST(PathFunctions, GiveTheResultsOfTheTable) {
  std::string UserTypeLists::*const lists[] = {&UserTypeLists::cpp, &UserTypeLists::vb,
                                               &UserTypeLists::delphi, &UserTypeLists::assembly,
                                               &UserTypeLists::sql};
  const std::string_view list_keys[] = {"cpp", "vb", "delphi", "assembly", "sql"};
  for (const test::TableCase& c : test::ReadEscapedTableCases("engine/file_types.tsv")) {
    SCOPED_TRACE(c.line);
    const std::string& call = c.in.at(0);
    const std::string arg = c.in.at(1);
    CodePage cp = CodePage::Gbk;
    CountableRules rules;
    GatheredNames gathered;
    for (std::string_view input : c.in) {
      if (input == "utf-8") cp = CodePage::Utf8;
      const size_t colon = input.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string_view key = input.substr(0, colon), value = input.substr(colon + 1);
      if (key == "same-name" || key == "gathered") gathered.emplace(value);
      rules.same_name_rule |= key == "same-name";
      for (int i = 0; i < 5; ++i) {
        if (key == list_keys[i]) rules.lists.*lists[i] = value;
      }
    }
    std::string got;
    if (call == "extension") got = GetFileExtension(arg, cp);
    if (call == "name") got = GetFileNamePart(arg);
    if (call == "dir") got = GetDirectoryPart(arg);
    if (call == "lists") got = ListNames(arg, c.in.at(2)) ? "yes" : "no";
    if (call == "countable") got = IsCountableFile(arg, rules, gathered, cp) ? "yes" : "no";
    if (call == "select") got = FamilyName(SelectClassifier(arg, rules.lists, cp));
    if (call == "type") got = FamilyName(FamilyOfFileType(std::stoi(arg)));
    if (call == "built-in") got = kBuiltInTypeList;
    if (call == "all-files") got = std::to_string(kAllFilesType);
    if (call == "filter" || call == "projects") got = FileTypesText(call == "projects");
    EXPECT_EQ(got, c.out.empty() ? "" : c.out.at(0));
  }
}

}  // namespace
}  // namespace tv
