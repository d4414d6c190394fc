// Setup.ini: the default file, where it lives, and the line-scanning reader,
// the flag rule and the countable-file rules of the counting code, whose
// cases are in tests/data/settings/settings-cases.txt.
#include "settings/settings.h"

#include <array>

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
}

TEST(SettingsPath, BesideAPortableCopyElseInTheConfigurationFolder) {
  test::TempDir dir;
  const std::string root = dir.Path() + "/";
  auto at = [&](const std::string& p) { return p[0] == '/' ? p : root + p; };
  // Files laid, the program's folder, where Setup.ini is and which manual is found.
  const std::vector<std::array<std::string, 4>> cases = {
      {"p/Help.html", "p/", "beside", "p/Help.html"},
      {"i/share/doc/tallyvane/Help.html", "i/bin/", "config", "i/share/doc/tallyvane/Help.html"},
      {"j/share/doc/tallyvane/Help.html j/bin/Setup.ini", "j/bin/", "beside",
       "j/share/doc/tallyvane/Help.html"},
      {"k/share/doc/tallyvane/Help.html k/bin/Help.html", "k/bin/", "beside", "k/bin/Help.html"},
      {"", "/usr/local/bin/", "config", "/usr/local/bin/Help.html"},
      {"", "/opt/tallyvane/bin/", "config", "/opt/tallyvane/bin/Help.html"},
  };
  for (const auto& [files, folder, settings, manual] : cases) {
    std::istringstream laid(files);
    for (std::string f; laid >> f;) test::WriteFile(root + f, "");
    EXPECT_EQ(SettingsPathFor(at(folder), root + "c/"),
              settings == "beside" ? at(folder) + "Setup.ini" : root + "c/tallyvane/Setup.ini");
    EXPECT_EQ(ManualPath(at(folder)), at(manual));
  }
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

}  // namespace
}  // namespace tv
