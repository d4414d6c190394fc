// Setup.ini: the default file, the line-scanning reader of the counting code,
// the flag rule and the rules of the countable-file test.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/ini.h"
#include "test_util.h"

namespace tv {
namespace {

constexpr CodePage kGbk = CodePage::Gbk;

const std::string kDefaultText =
    "[C++ User Defined File Type]\r\n"
    "Type=\r\n"
    "[VB User Defined File Type]\r\n"
    "Type=\r\n"
    "[Delphi User Defined File Type]\r\n"
    "Type=\r\n"
    "[ASM User Defined File Type]\r\n"
    "Type=\r\n"
    "[SHOW SINGLE FILE PERCENT]\r\n"
    "Flag=0\r\n"
    "[SQL User Defined File Type]\r\n"
    "Type=\r\n"
    "[CURRENT PATH]\r\n"
    "Path1=\r\n"
    "Path2=\r\n"
    "Path3=\r\n"
    "SelectType=1\r\n"
    "[OTHER]\r\n"
    "ShortCut=0\r\n"
    "IncludeDirectory=0\r\n"
    "ShowProcPercent=1\r\n"
    "ShowSelFileName=0\r\n";

// ---------------------------------------------------------------- defaults

TEST(DefaultSettings, ExactBytes) {
  EXPECT_EQ(DefaultSettingsText(kGbk), kDefaultText);
  EXPECT_EQ(DefaultSettingsText(CodePage::Utf8), kDefaultText);
}

TEST(DefaultSettings, SameAsWritingTheFourteenKeysOneByOne) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  const char* const keys[][3] = {
      {"C++ User Defined File Type", "Type", ""},
      {"VB User Defined File Type", "Type", ""},
      {"Delphi User Defined File Type", "Type", ""},
      {"ASM User Defined File Type", "Type", ""},
      {"SHOW SINGLE FILE PERCENT", "Flag", "0"},
      {"SQL User Defined File Type", "Type", ""},
      {"CURRENT PATH", "Path1", ""},
      {"CURRENT PATH", "Path2", ""},
      {"CURRENT PATH", "Path3", ""},
      {"CURRENT PATH", "SelectType", "1"},
      {"OTHER", "ShortCut", "0"},
      {"OTHER", "IncludeDirectory", "0"},
      {"OTHER", "ShowProcPercent", "1"},
      {"OTHER", "ShowSelFileName", "0"},
  };
  for (const auto& k : keys) ASSERT_TRUE(WriteProfileString(path, k[0], k[1], k[2], kGbk));
  EXPECT_EQ(test::ReadFile(path), DefaultSettingsText(kGbk));
}

TEST(DefaultSettings, WrittenOnlyWhenMissing) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  EXPECT_TRUE(WriteDefaultSettings(path, kGbk));
  EXPECT_EQ(test::ReadFile(path), kDefaultText);
  // An existing file is never rewritten, whatever it holds.
  test::WriteFile(path, "[OTHER]\r\nShowProcPercent=0\r\n");
  EXPECT_TRUE(WriteDefaultSettings(path, kGbk));
  EXPECT_EQ(test::ReadFile(path), "[OTHER]\r\nShowProcPercent=0\r\n");
  test::WriteFile(path, "");
  EXPECT_TRUE(WriteDefaultSettings(path, kGbk));
  EXPECT_EQ(test::ReadFile(path), "");
}

TEST(DefaultSettings, ProgressOptionIsOnInAFreshFile) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  ASSERT_TRUE(WriteDefaultSettings(path, kGbk));
  EXPECT_TRUE(IsFlagOn(ReadProfileString(path, "OTHER", "ShowProcPercent", "", 256, kGbk)));
  SetupIniReader reader;
  ASSERT_TRUE(reader.OpenPath(path, kGbk));
  EXPECT_EQ(GetValueOr(reader, "OTHER", "ShowProcPercent", "0"), "1");
  EXPECT_EQ(GetValueOr(reader, "SHOW SINGLE FILE PERCENT", "Flag", "x"), "0");
}

TEST(SettingsPath, EnvironmentNamesTheFile) {
  const char* old = std::getenv("TALLYVANE_SETTINGS");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TALLYVANE_SETTINGS", "/some/where/else.ini", 1);
  EXPECT_EQ(SettingsPath(), "/some/where/else.ini");
  if (saved) {
    ::setenv("TALLYVANE_SETTINGS", saved->c_str(), 1);
  } else {
    ::unsetenv("TALLYVANE_SETTINGS");
  }
}

// ---------------------------------------------------------------- flags

TEST(Flags, OnlyExactlyOneIsOn) {
  EXPECT_TRUE(IsFlagOn("1"));
  for (std::string_view off : {"", "0", " 1", "1 ", "yes", "11", "01", "true", "\t1", "1\r"}) {
    EXPECT_FALSE(IsFlagOn(off)) << "'" << off << "'";
  }
}

// ---------------------------------------------------------------- reader

class SetupIniReaderTest : public testing::Test {
 protected:
  // Writes `text` as Setup.ini and opens a reader on it the way the
  // counting code does: folder, file name, open.
  SetupIniReader& Open(std::string_view text) {
    test::WriteFile(dir_ / "Setup.ini", text);
    reader_.SetFolder(dir_.Path() + "/");
    reader_.SetFileName("Setup.ini");
    EXPECT_TRUE(reader_.Open(kGbk));
    return reader_;
  }
  std::optional<std::string> Get(std::string_view section, std::string_view key) {
    std::string value = "<untouched>";
    if (!reader_.GetValue(section, key, value)) return std::nullopt;
    return value;
  }

  test::TempDir dir_;
  SetupIniReader reader_;
};

TEST_F(SetupIniReaderTest, MissingFileCannotBeOpened) {
  reader_.SetFolder(dir_.Path() + "/");
  reader_.SetFileName("Setup.ini");
  EXPECT_FALSE(reader_.Open(kGbk));
  EXPECT_FALSE(reader_.IsOpen());
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), std::nullopt);
  EXPECT_EQ(GetValueOr(reader_, "OTHER", "ShowProcPercent", "fallback"), "fallback");
}

TEST_F(SetupIniReaderTest, ReadsTheDefaultFileInAnyOrder) {
  Open(kDefaultText);
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), "1");
  EXPECT_EQ(Get("C++ User Defined File Type", "Type"), "");
  EXPECT_EQ(Get("CURRENT PATH", "SelectType"), "1");
  EXPECT_EQ(Get("OTHER", "IncludeDirectory"), "0");
  EXPECT_EQ(Get("SHOW SINGLE FILE PERCENT", "Flag"), "0");
  EXPECT_EQ(Get("CURRENT PATH", "CountSameFileName"), std::nullopt);
  reader_.Close();
  EXPECT_FALSE(reader_.IsOpen());
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), std::nullopt);
}

TEST_F(SetupIniReaderTest, KeySearchStaysInItsSection) {
  Open(
      "[SQL User Defined File Type]\r\n"
      "[CURRENT PATH]\r\n"
      "SelectType=4\r\n"
      "[C++ User Defined File Type]\r\n"
      "Type=.cxx;\r\n");
  EXPECT_EQ(Get("SQL User Defined File Type", "Type"), std::nullopt);
  EXPECT_EQ(Get("C++ User Defined File Type", "Type"), ".cxx;");
}

TEST_F(SetupIniReaderTest, KeyNamesMatchExactly) {
  Open(
      "[SHOW SINGLE FILE PERCENT]\r\n"
      "MyFlag=1\r\n"
      "Flags=1\r\n"
      "flag=1\r\n"
      "[OTHER]\r\n"
      "  ShowProcPercent  =1\r\n");
  EXPECT_EQ(Get("SHOW SINGLE FILE PERCENT", "Flag"), std::nullopt);
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), "1");
}

TEST_F(SetupIniReaderTest, FirstMatchingKeyInTheSectionWins) {
  Open("[OTHER]\r\nShowProcPercent=0\r\nShowProcPercent=1\r\n");
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), "0");
}

TEST_F(SetupIniReaderTest, SectionLineHoldsTheNameAsASubstring) {
  Open("[CURRENT PATH]\r\nPath1=/a\r\n[other]\r\nShowProcPercent=1\r\n");
  // The brackets need not be part of the name, and a part of it will do.
  EXPECT_EQ(Get("PATH", "Path1"), "/a");
  EXPECT_EQ(Get("[CURRENT PATH]", "Path1"), "/a");
  // Case-sensitive.
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), std::nullopt);
  EXPECT_EQ(Get("current path", "Path1"), std::nullopt);
}

TEST_F(SetupIniReaderTest, FirstSectionLineHoldingTheNameIsTheSection) {
  Open(
      "[OTHERS]\r\n"
      "ShowSelFileName=1\r\n"
      "[OTHER]\r\n"
      "ShowSelFileName=0\r\n"
      "ShowProcPercent=1\r\n");
  // "OTHER" is part of "[OTHERS]", which comes first; the search stays there.
  EXPECT_EQ(Get("OTHER", "ShowSelFileName"), "1");
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), std::nullopt);
}

TEST_F(SetupIniReaderTest, ValueLineHoldingTheNameIsNotASectionLine) {
  Open(
      "[CURRENT PATH]\r\n"
      "Path1=/home/OTHER\r\n"
      "ShowProcPercent=0\r\n"
      "[OTHER]\r\n"
      "ShowProcPercent=1\r\n");
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), "1");
}

TEST_F(SetupIniReaderTest, SectionEndsAtTheNextBracketLine) {
  Open(
      "[A]\r\n"
      "p=x[y]\r\n"
      "k=1\r\n"
      "  [B]\r\n"
      "j=2\r\n");
  // A value holding "[" does not end the section; a line starting with it,
  // after blanks, does.
  EXPECT_EQ(Get("A", "k"), "1");
  EXPECT_EQ(Get("A", "j"), std::nullopt);
  EXPECT_EQ(Get("B", "j"), "2");
}

TEST_F(SetupIniReaderTest, ValueLosesSpacesButKeepsTabs) {
  Open(
      "[S]\r\n"
      "a=  .xyz;  \r\n"
      "b=\t.xyz;\t\r\n"
      "c= \t.x; \t \r\n"
      "d=\r\n"
      "e=x = y\r\n");
  EXPECT_EQ(Get("S", "a"), ".xyz;");
  EXPECT_EQ(Get("S", "b"), "\t.xyz;\t");
  EXPECT_EQ(Get("S", "c"), "\t.x; \t");
  EXPECT_EQ(Get("S", "d"), "");
  EXPECT_EQ(Get("S", "e"), "x = y");
}

TEST_F(SetupIniReaderTest, LineEndsAreNotPartOfTheValue) {
  Open("[OTHER]\r\nShowProcPercent=1\r\n[S]\nk=v\nlast=1");
  EXPECT_EQ(Get("OTHER", "ShowProcPercent"), "1");
  EXPECT_TRUE(IsFlagOn(GetValueOr(reader_, "OTHER", "ShowProcPercent", "0")));
  EXPECT_EQ(Get("S", "k"), "v");
  EXPECT_EQ(Get("S", "last"), "1");
}

TEST_F(SetupIniReaderTest, LinesWithoutEqualsAreSkipped) {
  Open("[S]\r\nType\r\n=x\r\nType=.a;\r\n");
  EXPECT_EQ(Get("S", "Type"), ".a;");
}

TEST_F(SetupIniReaderTest, TextIsReadInTheCodePage) {
  Open("\xEF\xBB\xBF[S]\r\nk=\xE4\xB8\xAD\r\n");
  EXPECT_EQ(Get("S", "k"), "\xE4\xB8\xAD");
  Open("[S]\r\nk=.\xD6\xD0;\r\n");
  EXPECT_EQ(Get("S", "k"), ".\xE4\xB8\xAD;");
}

TEST_F(SetupIniReaderTest, OpenPathReadsTheSameFile) {
  test::WriteFile(dir_ / "other.ini", "[S]\r\nk=v\r\n");
  SetupIniReader reader;
  ASSERT_TRUE(reader.OpenPath(dir_ / "other.ini", kGbk));
  EXPECT_EQ(GetValueOr(reader, "S", "k", "d"), "v");
  EXPECT_EQ(GetValueOr(reader, "S", "j", "d"), "d");
  EXPECT_FALSE(reader.OpenPath(dir_ / "missing.ini", kGbk));
  EXPECT_FALSE(reader.OpenPath(dir_.Path(), kGbk));
}

// ---------------------------------------------------------------- rules

TEST(CountableRulesFromSettings, MissingFileTurnsEverythingOff) {
  test::TempDir dir;
  const CountableRules rules = ReadCountableRules(dir / "Setup.ini");
  EXPECT_FALSE(rules.same_name_rule);
  EXPECT_EQ(rules.lists.cpp + rules.lists.vb + rules.lists.delphi + rules.lists.assembly +
                rules.lists.sql,
            "");
}

TEST(CountableRulesFromSettings, SameNameRule) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  struct Case {
    std::string text;
    bool on;
  };
  const Case cases[] = {
      {kDefaultText, true},  // a fresh file has no such key: reads as "0"
      {"[CURRENT PATH]\r\nCountSameFileName=0\r\n", true},
      {"[CURRENT PATH]\r\nCountSameFileName=  0  \r\n", true},
      {"[CURRENT PATH]\r\nCountSameFileName=1\r\n", false},
      {"[CURRENT PATH]\r\nCountSameFileName=\r\n", false},
      {"[CURRENT PATH]\r\nCountSameFileName=\t0\r\n", false},
      {"[CURRENT PATH]\r\nCountSameFileName=00\r\n", false},
      {"", true},
  };
  for (const Case& c : cases) {
    test::WriteFile(path, c.text);
    EXPECT_EQ(ReadCountableRules(path).same_name_rule, c.on) << c.text;
  }
}

TEST(CountableRulesFromSettings, UserListsFromTheirSections) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  test::WriteFile(path,
                  "[C++ User Defined File Type]\r\nType=.cxx;\r\n"
                  "[VB User Defined File Type]\r\nType= .vbx; \r\n"
                  "[Delphi User Defined File Type]\r\nType=.pp;\r\n"
                  "[ASM User Defined File Type]\r\nType=*.;\r\n"
                  "[SQL User Defined File Type]\r\n"
                  "[CURRENT PATH]\r\nSelectType=16\r\n");
  const CountableRules rules = ReadCountableRules(path);
  EXPECT_EQ(rules.lists.cpp, ".cxx;");
  EXPECT_EQ(rules.lists.vb, ".vbx;");
  EXPECT_EQ(rules.lists.delphi, ".pp;");
  EXPECT_EQ(rules.lists.assembly, "*.;");
  EXPECT_EQ(rules.lists.sql, "");
  EXPECT_TRUE(rules.same_name_rule);
  SetupIniReader reader;
  ASSERT_TRUE(reader.OpenPath(path, kGbk));
  const UserTypeLists lists = ReadUserTypeLists(reader);
  EXPECT_EQ(lists.cpp, ".cxx;");
  EXPECT_EQ(lists.assembly, "*.;");
  EXPECT_EQ(lists.sql, "");
  // The lists lead to the dispatch and the countable test.
  EXPECT_EQ(SelectClassifier("v1.2/Makefile", lists, kGbk), LanguageFamily::Assembly);
  EXPECT_TRUE(IsCountableFile("a.vbx", rules, GatheredNames{}, kGbk));
  EXPECT_FALSE(IsCountableFile("a.q", rules, GatheredNames{}, kGbk));
}

}  // namespace
}  // namespace tv
