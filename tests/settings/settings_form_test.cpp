// The settings dialog's form read from and written to Setup.ini; the cases
// are in tests/data/settings/settings-form-cases.txt.
#include "settings/settings_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace tv {
namespace {

// A field "@NAME" stands for the bytes of that file under tests/data.
std::string Expand(const std::string& field) {
  return field.starts_with('@') ? test::ReadFile(TV_TEST_DATA_DIR "/" + field.substr(1)) : field;
}

TEST(SettingsForm, LoadsAndSavesItsValuesInOrder) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("settings/settings-form-cases.txt")) {
    SCOPED_TRACE(c.line);
    test::TempDir dir;
    const std::string& op = c.in.at(0);
    std::string path = dir / "Setup.ini";
    if (c.in.at(1) == "<in-file>") {
      test::WriteFile(dir / "file", "x");
      path = dir / "file/Setup.ini";
    } else {
      test::LayTableFile(path, c.in[1]);
    }
    auto read = [&] {
      return std::filesystem::is_regular_file(path) ? test::ReadFile(path) : "<no file>";
    };
    const std::string before = read();
    if (op == "load") {
      const SettingsForm form = LoadSettingsForm(path, CodePage::Gbk);
      std::vector<std::string> want;
      for (const std::string& field : c.out) want.push_back(Expand(field));
      EXPECT_EQ(std::vector<std::string>(form.values.begin(), form.values.end()), want);
      continue;
    }
    SettingsForm form = LoadSettingsForm(path, CodePage::Gbk);
    if (op == "save") std::copy(c.in.begin() + 2, c.in.end(), form.values.begin());
    ASSERT_EQ(c.in.size(), op == "save" ? 2 + kSettingsFieldCount : 2);
    std::string error;
    const bool saved = SaveSettingsForm(path, form, CodePage::Gbk, error);
    const bool fails = c.out.at(0) == "<fails>";
    EXPECT_EQ(saved, !fails) << error;
    EXPECT_EQ(error.empty(), !fails);
    EXPECT_EQ(read(), fails ? before : Expand(c.out[0]));
  }
}

}  // namespace
}  // namespace tv
