// Setup.ini: the default file, where it lives, and the line-scanning reader,
// the flag rule and the countable-file rules of the counting code, whose
// cases are in tests/data/settings/settings-cases.txt.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/program_paths.h"
#include "test_util.h"

namespace tv {
namespace {

constexpr CodePage kGbk = CodePage::Gbk;

TEST(DefaultSettings, ExactBytesWrittenOnlyWhereNoFileIs) {
  const std::string golden = test::ReadFile(TV_TEST_DATA_DIR "/settings/default-Setup.ini");
  EXPECT_EQ(DefaultSettingsText(kGbk), golden);
  EXPECT_EQ(DefaultSettingsText(CodePage::Utf8), golden);
  // An existing file is never rewritten, whatever it holds.
  for (const std::string before : {"<missing>", "[OTHER]\r\nShowProcPercent=0\r\n", ""}) {
    test::TempDir dir;
    test::LayTableFile(dir / "sub/Setup.ini", before);
    EXPECT_TRUE(WriteDefaultSettings(dir / "sub/Setup.ini", kGbk));
    EXPECT_EQ(test::ReadFile(dir / "sub/Setup.ini"), before == "<missing>" ? golden : before);
  }
  SetupIniReader reader;
  ASSERT_TRUE(reader.OpenPath(TV_TEST_DATA_DIR "/settings/default-Setup.ini", kGbk));
  EXPECT_EQ(GetValueOr(reader, "OTHER", "ShowProcPercent", "0"), "1");
  reader.Close();
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(GetValueOr(reader, "OTHER", "ShowProcPercent", "0"), "0");
}

TEST(SettingsPath, BesideAPortableCopyElseInTheConfigurationFolder) {
  test::TempDir dir;
  const std::string root = dir.Path() + "/", config = root + "config/";
  // Files laid out, the program's folder, and where Setup.ini and the manual
  // are found ("config" is config/tallyvane/Setup.ini, "beside" the folder's own).
  struct Case {
    std::vector<std::string> files;
    std::string program, settings, manual;
  } cases[] = {
      {{}, "build/", "beside", "beside"},
      {{"build/Help.html"}, "build/", "beside", "beside"},
      {{"i/share/doc/tallyvane/Help.html"}, "i/bin/", "config", "i/share/doc/tallyvane/Help.html"},
      {{"i/share/doc/tallyvane/Help.html", "i/bin/Setup.ini"},
       "i/bin/",
       "beside",
       "i/share/doc/tallyvane/Help.html"},
      {{"p/share/doc/tallyvane/Help.html", "p/bin/Help.html"}, "p/bin/", "beside", "beside"},
      {{}, "/usr/local/bin/", "config", "beside"},
      {{}, "/opt/tallyvane/bin/", "config", "beside"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    for (const std::string& f : c.files) test::WriteFile(root + f, "");
    const std::string program = c.program.starts_with('/') ? c.program : root + c.program;
    std::filesystem::create_directories(c.program.starts_with('/') ? root : program);
    EXPECT_EQ(SettingsPathFor(program, config),
              c.settings == "beside" ? program + "Setup.ini" : config + "tallyvane/Setup.ini");
    EXPECT_EQ(ManualPath(program), c.manual == "beside" ? program + "Help.html" : root + c.manual);
    for (const std::string& f : c.files) std::filesystem::remove(root + f);
  }
  const char* old = std::getenv("TALLYVANE_SETTINGS");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TALLYVANE_SETTINGS", "/some/where/else.ini", 1);
  EXPECT_EQ(SettingsPath(), "/some/where/else.ini");
  saved ? ::setenv("TALLYVANE_SETTINGS", saved->c_str(), 1) : ::unsetenv("TALLYVANE_SETTINGS");
}

TEST(SetupIniReader, FindsKeysInTheirSectionAndGivesTheCountableRules) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  SetupIniReader reader;
  std::string laid = "<none laid>";
  for (const test::TableCase& c : test::ReadEscapedTableCases("settings/settings-cases.txt")) {
    SCOPED_TRACE(c.line);
    const std::string& op = c.in.at(0);
    if (op == "flag") {
      EXPECT_EQ(IsFlagOn(c.in.at(1)), c.out.at(0) == "1");
      continue;
    }
    if (c.in.at(1) != laid) {  // the way the counting code opens it
      std::filesystem::remove_all(path);
      test::LayTableFile(path, laid = c.in[1]);
      reader.SetFolder(dir.Path() + "/");
      reader.SetFileName("Setup.ini");
      EXPECT_EQ(reader.Open(kGbk), std::filesystem::is_regular_file(path));
      EXPECT_EQ(reader.IsOpen(), std::filesystem::is_regular_file(path));
    }
    if (op == "read") {
      const std::string want = c.out.empty() ? "" : c.out[0];
      EXPECT_EQ(GetValueOr(reader, c.in.at(2), c.in.at(3), "<none>"), want);
    } else {
      const CountableRules rules = ReadCountableRules(path);
      const std::vector<std::string> seen = {rules.lists.cpp,    rules.lists.vb,
                                             rules.lists.delphi, rules.lists.assembly,
                                             rules.lists.sql,    rules.same_name_rule ? "1" : "0"};
      EXPECT_EQ(seen, c.out);
    }
  }
}

TEST(CountableRulesFromSettings, UserListsReachTheDispatchAndTheCountableTest) {
  test::TempDir dir;
  test::WriteFile(dir / "Setup.ini",
                  "[VB User Defined File Type]\r\nType=.vbx;\r\n"
                  "[ASM User Defined File Type]\r\nType=*.;\r\n");
  const CountableRules rules = ReadCountableRules(dir / "Setup.ini", kGbk);
  EXPECT_EQ(SelectClassifier("v1.2/Makefile", rules.lists, kGbk), LanguageFamily::Assembly);
  EXPECT_TRUE(IsCountableFile("a.vbx", rules, GatheredNames{}, kGbk));
  EXPECT_FALSE(IsCountableFile("a.q", rules, GatheredNames{}, kGbk));
}

}  // namespace
}  // namespace tv
