// Path functions, which files are counted, and which classifier counts them.
#include "engine/file_types.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tv {
namespace {

constexpr CodePage kGbk = CodePage::Gbk;

// ---------------------------------------------------------------- paths

TEST(PathParts, FileExtensionOfTheNameOnly) {
  EXPECT_EQ(GetFileExtension("src/main.cpp", kGbk), "cpp");
  EXPECT_EQ(GetFileExtension("src/Main.CPP", kGbk), "cpp");
  EXPECT_EQ(GetFileExtension("a.tar.GZ", kGbk), "gz");
  EXPECT_EQ(GetFileExtension("x", kGbk), "");
  EXPECT_EQ(GetFileExtension("", kGbk), "");
  EXPECT_EQ(GetFileExtension("x.", kGbk), "");
  EXPECT_EQ(GetFileExtension("/home/u/.bashrc", kGbk), "bashrc");
  // A dot in a folder name is not the file's extension.
  EXPECT_EQ(GetFileExtension("a.b/Makefile", kGbk), "");
  EXPECT_EQ(GetFileExtension("/src/linux-6.1/Kconfig", kGbk), "");
  EXPECT_EQ(GetFileExtension("v1.2/", kGbk), "");
  EXPECT_EQ(GetFileExtension("v1.2/x.H", kGbk), "h");
}

TEST(PathParts, FileExtensionLowersAsciiOnly) {
  // "中.C": the double-byte name stays, the extension is lowered.
  EXPECT_EQ(GetFileExtension("\xD6\xD0.C", kGbk), "c");
  // 0x81 0x41 is one GBK character: its second byte is not a letter.
  EXPECT_EQ(GetFileExtension("a.\x81\x41", kGbk), "\x81\x41");
  EXPECT_EQ(GetFileExtension("a.\x81\x41", CodePage::Utf8), "\x81\x61");
  EXPECT_EQ(GetFileExtension("a.\xC3\x89X", CodePage::Utf8), "\xC3\x89x");
}

TEST(PathParts, NameAndDirectory) {
  EXPECT_EQ(GetFileNamePart("a/b/c.txt"), "c.txt");
  EXPECT_EQ(GetFileNamePart("c.txt"), "c.txt");
  EXPECT_EQ(GetFileNamePart("a/b/"), "");
  EXPECT_EQ(GetFileNamePart("/x"), "x");
  EXPECT_EQ(GetFileNamePart("a\\b.c"), "a\\b.c");
  EXPECT_EQ(GetDirectoryPart("a/b/c.txt"), "a/b/");
  EXPECT_EQ(GetDirectoryPart("c.txt"), "");
  EXPECT_EQ(GetDirectoryPart("/x"), "/");
  EXPECT_EQ(GetDirectoryPart("a/b/"), "a/b/");
  EXPECT_EQ(GetDirectoryPart(""), "");
}

// ---------------------------------------------------------------- lists

TEST(ExtensionLists, EntryNeedsDotExtensionAndSemicolon) {
  EXPECT_TRUE(ListNames(".xyz;", "xyz"));
  EXPECT_TRUE(ListNames(".abc;.xyz;", "xyz"));
  EXPECT_TRUE(ListNames("*.xyz;", "xyz"));
  EXPECT_FALSE(ListNames(".XYZ;", "xyz"));
  EXPECT_FALSE(ListNames(".xyz", "xyz"));
  EXPECT_FALSE(ListNames(".xyzw;", "xyz"));
  EXPECT_FALSE(ListNames(".cpp;", "c"));
  EXPECT_FALSE(ListNames("", "xyz"));
  EXPECT_TRUE(ListNames("*.;", ""));
  EXPECT_TRUE(ListNames(".a;*.;.b;", ""));
  EXPECT_FALSE(ListNames(".a;", ""));
  EXPECT_FALSE(ListNames("", ""));
}

TEST(ExtensionLists, BuiltInListHasItsEighteenEntries) {
  EXPECT_EQ(kBuiltInTypeList,
            ".dsp;.bpr;.vbp;.dpr;.cpp;.c;.h;.asm;.inc;.frm;.bas;.ctl;.cls;.pas;.dfm;.java;.cs;"
            ".sql;");
}

// ---------------------------------------------------------------- countable

CountableRules NoRules() {
  return CountableRules{};
}

TEST(IsCountableFile, BuiltInExtensions) {
  const GatheredNames none;
  for (std::string_view ext : {"dsp", "bpr", "vbp", "dpr", "cpp", "c", "h", "asm", "inc", "frm",
                               "bas", "ctl", "cls", "pas", "dfm", "java", "cs", "sql"}) {
    EXPECT_TRUE(IsCountableFile("dir/file." + std::string(ext), NoRules(), none, kGbk)) << ext;
  }
  for (std::string_view path : {"a.txt", "a.jpx", "a.vbg", "a.vcproj", "a.csproj", "Makefile",
                                "a.b/Makefile", "a.c.bak", "a.cc", "a.hpp", "a.", "c"}) {
    EXPECT_FALSE(IsCountableFile(path, NoRules(), none, kGbk)) << path;
  }
  EXPECT_TRUE(IsCountableFile("src/Main.CPP", NoRules(), none, kGbk));
  EXPECT_TRUE(IsCountableFile("v1.2/x.Sql", NoRules(), none, kGbk));
}

TEST(IsCountableFile, UserLists) {
  const GatheredNames none;
  CountableRules rules;
  rules.lists.vb = ".xyz;";
  EXPECT_TRUE(IsCountableFile("a.xyz", rules, none, kGbk));
  EXPECT_TRUE(IsCountableFile("a.XYZ", rules, none, kGbk));
  rules.lists.vb = ".XYZ;";
  EXPECT_FALSE(IsCountableFile("a.xyz", rules, none, kGbk));
  rules.lists.vb = ".xyz";
  EXPECT_FALSE(IsCountableFile("a.xyz", rules, none, kGbk));
  // Every one of the five lists counts.
  for (int i = 0; i < 5; ++i) {
    CountableRules one;
    std::string* lists[] = {&one.lists.cpp, &one.lists.vb, &one.lists.delphi, &one.lists.assembly,
                            &one.lists.sql};
    *lists[i] = ".q;*.;";
    EXPECT_TRUE(IsCountableFile("d/a.q", one, none, kGbk)) << i;
    EXPECT_TRUE(IsCountableFile("d/Makefile", one, none, kGbk)) << i;
    // A folder with a dot does not give the file an extension.
    EXPECT_TRUE(IsCountableFile("linux-6.1/Makefile", one, none, kGbk)) << i;
    EXPECT_FALSE(IsCountableFile("d/a.r", one, none, kGbk)) << i;
  }
}

TEST(IsCountableFile, SameNameRuleComparesFileNamesCaseSensitively) {
  CountableRules rules;
  rules.same_name_rule = true;
  GatheredNames gathered = {"a.c"};
  EXPECT_FALSE(IsCountableFile("lib/a.c", rules, gathered, kGbk));
  EXPECT_TRUE(IsCountableFile("lib/A.c", rules, gathered, kGbk));
  EXPECT_TRUE(IsCountableFile("lib/b.c", rules, gathered, kGbk));
  // Off: equal names are all counted.
  rules.same_name_rule = false;
  EXPECT_TRUE(IsCountableFile("lib/a.c", rules, gathered, kGbk));
  // The rule does not make an unknown extension countable.
  rules.same_name_rule = true;
  EXPECT_FALSE(IsCountableFile("lib/b.txt", rules, gathered, kGbk));
}

// ---------------------------------------------------------------- dispatch

TEST(SelectClassifier, FixedRows) {
  const UserTypeLists none;
  struct Row {
    std::string_view path;
    LanguageFamily family;
  };
  const Row rows[] = {
      {"a.vbp", LanguageFamily::Basic},      {"a.frm", LanguageFamily::Basic},
      {"a.bas", LanguageFamily::Basic},      {"a.ctl", LanguageFamily::Basic},
      {"a.cls", LanguageFamily::Basic},      {"A.BAS", LanguageFamily::Basic},
      {"a.asm", LanguageFamily::Assembly},   {"a.inc", LanguageFamily::Assembly},
      {"a.dpr", LanguageFamily::Pascal},     {"a.pas", LanguageFamily::Pascal},
      {"a.dfm", LanguageFamily::Pascal},     {"a.java", LanguageFamily::CFamily},
      {"a.jpx", LanguageFamily::CFamily},    {"a.cs", LanguageFamily::CFamily},
      {"a.sql", LanguageFamily::Sql},        {"x/y.SQL", LanguageFamily::Sql},
      {"a.cpp", LanguageFamily::CFamily},    {"a.c", LanguageFamily::CFamily},
      {"a.h", LanguageFamily::CFamily},      {"a.dsp", LanguageFamily::CFamily},
      {"a.bpr", LanguageFamily::CFamily},    {"a.txt", LanguageFamily::CFamily},
      {"Makefile", LanguageFamily::CFamily}, {"a.basx", LanguageFamily::CFamily},
      {"sql.d/x", LanguageFamily::CFamily},  {"pas", LanguageFamily::CFamily},
  };
  for (const Row& r : rows) EXPECT_EQ(SelectClassifier(r.path, none, kGbk), r.family) << r.path;
}

TEST(SelectClassifier, UserListsInOrderAfterTheFixedRows) {
  UserTypeLists lists;
  lists.vb = ".xyz;.cpp;.sql;";
  EXPECT_EQ(SelectClassifier("a.xyz", lists, kGbk), LanguageFamily::Basic);
  // A user list takes .cpp from the default row ...
  EXPECT_EQ(SelectClassifier("a.cpp", lists, kGbk), LanguageFamily::Basic);
  // ... but not a fixed row.
  EXPECT_EQ(SelectClassifier("a.sql", lists, kGbk), LanguageFamily::Sql);
  lists.vb = ".XYZ;";
  EXPECT_EQ(SelectClassifier("a.xyz", lists, kGbk), LanguageFamily::CFamily);

  const struct {
    std::string UserTypeLists::*list;
    LanguageFamily family;
  } each[] = {{&UserTypeLists::cpp, LanguageFamily::CFamily},
              {&UserTypeLists::vb, LanguageFamily::Basic},
              {&UserTypeLists::delphi, LanguageFamily::Pascal},
              {&UserTypeLists::assembly, LanguageFamily::Assembly},
              {&UserTypeLists::sql, LanguageFamily::Sql}};
  for (const auto& e : each) {
    UserTypeLists one;
    one.*e.list = ".q;*.;";
    EXPECT_EQ(SelectClassifier("a.q", one, kGbk), e.family);
    EXPECT_EQ(SelectClassifier("dir/Makefile", one, kGbk), e.family);
    EXPECT_EQ(SelectClassifier("v1.2/Makefile", one, kGbk), e.family);
    EXPECT_EQ(SelectClassifier("a.h", one, kGbk), LanguageFamily::CFamily);
  }
  // The first list that names the extension wins: C++, VB, Delphi, ASM, SQL.
  UserTypeLists all;
  all.sql = all.assembly = ".q;";
  EXPECT_EQ(SelectClassifier("a.q", all, kGbk), LanguageFamily::Assembly);
  all.delphi = ".q;";
  EXPECT_EQ(SelectClassifier("a.q", all, kGbk), LanguageFamily::Pascal);
  all.vb = ".q;";
  EXPECT_EQ(SelectClassifier("a.q", all, kGbk), LanguageFamily::Basic);
  UserTypeLists both;
  both.assembly = "*.;";
  EXPECT_EQ(SelectClassifier("Makefile", both, kGbk), LanguageFamily::Assembly);
  both.cpp = "*.;";
  EXPECT_EQ(SelectClassifier("Makefile", both, kGbk), LanguageFamily::CFamily);
}

// ---------------------------------------------------------------- file types

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
  for (size_t i = 0; i < kFileTypes.size(); ++i) {
    EXPECT_EQ(kFileTypes[i].index, static_cast<int>(i) + 1);
    joined += std::string(kFileTypes[i].caption) + "|" + std::string(kFileTypes[i].patterns) + "|";
  }
  joined += "|";
  EXPECT_EQ(joined, filter);
}

TEST(FileTypes, FamilyOfEachType) {
  using F = LanguageFamily;
  const std::optional<F> expected[] = {
      F::CFamily,   F::CFamily, F::CFamily, F::CFamily, F::CFamily, F::CFamily,  // 1-6
      F::Basic,     F::Basic,   F::Basic,                                        // 7-9
      F::Assembly,                                                               // 10
      F::Pascal,    F::Pascal,                                                   // 11-12
      F::CFamily,   F::CFamily, F::CFamily,                                      // 13-15
      F::Sql,                                                                    // 16
      std::nullopt,                                                              // 17
  };
  for (int i = 1; i <= 17; ++i) {
    EXPECT_EQ(FamilyOfFileType(i), expected[i - 1]) << "type " << i;
    EXPECT_EQ(kFileTypes[i - 1].family, expected[i - 1]) << "type " << i;
  }
  EXPECT_EQ(kAllFilesType, 17);
  for (int i : {0, -1, 18, 1000}) EXPECT_EQ(FamilyOfFileType(i), std::nullopt) << i;
}

TEST(FileTypes, ProjectExtensions) {
  std::vector<std::string_view> projects;
  for (const FileType& t : kFileTypes) {
    if (!t.project_ext.empty()) projects.push_back(t.project_ext);
  }
  EXPECT_EQ(projects,
            (std::vector<std::string_view>{"dsp", "vcproj", "bpr", "vbp", "vbg", "dpr", "csproj"}));
}

TEST(FileTypes, TypedSelectionOverridesTheExtension) {
  // A .sql file chosen under the C/C++ sources type is counted as C; found
  // by extension it is counted as SQL.
  EXPECT_EQ(FamilyOfFileType(4), LanguageFamily::CFamily);
  EXPECT_EQ(SelectClassifier("q.sql", UserTypeLists{}, kGbk), LanguageFamily::Sql);
}

}  // namespace
}  // namespace tv
