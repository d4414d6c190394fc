// Path functions, which files are counted, and which classifier counts them.
#include "engine/file_types.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "test_util.h"

namespace tv {
namespace {

constexpr std::string_view kFamilyNames[] = {"CFamily", "Sql", "Pascal", "Basic", "Assembly"};

std::string FamilyName(std::optional<LanguageFamily> family) {
  return family ? std::string(kFamilyNames[static_cast<int>(*family)]) : "none";
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
    EXPECT_EQ(got, c.out.empty() ? "" : c.out.at(0));
  }
}

TEST(ExtensionLists, BuiltInListHasItsEighteenEntries) {
  EXPECT_EQ(kBuiltInTypeList,
            ".dsp;.bpr;.vbp;.dpr;.cpp;.c;.h;.asm;.inc;.frm;.bas;.ctl;.cls;.pas;.dfm;.java;.cs;"
            ".sql;");
}

TEST(FileTypes, TableMatchesTheOpenDialogFilter) {
  // The file dialog's filter, pair by pair, is the table's captions and
  // patterns in order.
  const std::string_view filter =
      "VC++ Project File (.dsp)|*.dsp;|VC.Net Project File (.vcproj)|*.vcproj;|C++ Builder "
      "Project File (.bpr)|*.bpr;|C/C++ Source Files (*.c;*.cpp;*.h)\t\t|*.c;*.cpp;*.h;|C++ "
      "Source Files (*.cpp;*.h)|*.cpp;*.h;|C Source Files (*.c;*.h)|*.c;*.h;\t\t|VB Project File "
      "(.vbp)|*.vbp;|VB Group Project File (.vbg)|*.vbg;|VB Source Files "
      "(*.frm;*.bas;*.ctl;*.cls)|*.frm;*.bas;*.ctl;*.cls|ASM Source Files "
      "(*.asm;*.inc)|*.asm;*.inc;|Delphi Project File (.dpr)|*.dpr;\t\t|Delphi Source Files "
      "(*.pas;*.dfm)|*.pas;*.dfm;|Java Source Files (*.java)|*.java;|C# Project File "
      "(.csproj)|*.csproj;|C# Source Files (*.cs)|*.cs;|SQL Files(*.sql)|*.sql;|All Files "
      "(*.*)|*.*||";
  std::string joined;
  std::vector<std::string_view> projects;
  for (size_t i = 0; i < kFileTypes.size(); ++i) {
    EXPECT_EQ(kFileTypes[i].index, static_cast<int>(i) + 1);
    EXPECT_EQ(FamilyOfFileType(kFileTypes[i].index), kFileTypes[i].family);
    joined += std::string(kFileTypes[i].caption) + "|" + std::string(kFileTypes[i].patterns) + "|";
    if (!kFileTypes[i].project_ext.empty()) projects.push_back(kFileTypes[i].project_ext);
  }
  EXPECT_EQ(joined + "|", filter);
  EXPECT_EQ(projects,
            (std::vector<std::string_view>{"dsp", "vcproj", "bpr", "vbp", "vbg", "dpr", "csproj"}));
  EXPECT_EQ(kAllFilesType, 17);
}

}  // namespace
}  // namespace tv
