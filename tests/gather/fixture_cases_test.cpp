// The cases under tests/data/gather (see the README there): project files,
// selection files and folder walks, each an input and the paths it gathers.
#include <algorithm>
#include <cctype>

#include "gather_fixture.h"
#include "runs/project_files.h"
#include "runs/selection_files.h"

namespace tv::test {
namespace {

/// Every NAME under tests/data/gather that has a "NAME.expected" beside it.
std::vector<std::string> Inputs() {
  std::vector<std::string> inputs;
  for (const auto& e : std::filesystem::recursive_directory_iterator(DataPath(""))) {
    const std::string p = e.path().string();
    if (p.ends_with(".expected")) inputs.push_back(p.substr(0, p.size() - 9));
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

/// `text` with every "{dir}" replaced by `dir`.
std::string InFolder(const std::string& dir, std::string text) {
  for (size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class FixtureTest : public GatherTest, public ::testing::WithParamInterface<std::string> {};

// The case's folder is copied, so that the entries git cannot hold can be
// made beside its files and "{dir}" can name the copy.
TEST_P(FixtureTest, GathersTheExpectedPathsInOrder) {
  const std::filesystem::path input(GetParam());
  const std::string dir = tree_ / input.parent_path().filename().string();
  std::filesystem::copy(input.parent_path(), dir, std::filesystem::copy_options::recursive);
  Make(ReadFile(dir + "/links-and-fifos"), dir);
  ctx_.settings_path = dir + "/Setup.ini";
  ctx_.rules = ReadCountableRules(ctx_.settings_path);
  stop_ = std::filesystem::exists(dir + "/stop");
  const std::string copy = dir + "/" + input.filename().string();
  if (std::filesystem::is_regular_file(copy)) WriteFile(copy, InFolder(dir, ReadFile(copy)));
  RunList list;
  if (GetParam().starts_with(DataPath("project/"))) {
    AddProjectMembers(copy, list, CodePage::Gbk);
  } else if (GetParam().starts_with(DataPath("folder-list/"))) {
    // The input lists the folders that are written to the settings file.
    ctx_.settings_path = dir + "/new/Setup.ini";
    const bool existed = std::filesystem::exists(ctx_.settings_path);
    EXPECT_EQ(ReadFolderList(ctx_.settings_path, CodePage::Gbk).has_value(), existed);
    const std::vector<std::string> folders = Lines(ReadFile(copy));
    ASSERT_TRUE(WriteFolderList(ctx_.settings_path, folders, CodePage::Gbk));
    EXPECT_EQ(ReadFile(ctx_.settings_path), InFolder(dir, ReadFile(GetParam() + ".written")));
    EXPECT_THAT(ReadFolderList(ctx_.settings_path, CodePage::Gbk),
                ::testing::Optional(::testing::ElementsAreArray(folders)));
    GatherFolderList(list, ctx_);
  } else {
    GatherSelectionFile(copy, list, ctx_);
  }
  EXPECT_THAT(list.paths(), ::testing::ElementsAreArray(
                                Lines(InFolder(dir, ReadFile(GetParam() + ".expected")))));
}

INSTANTIATE_TEST_SUITE_P(Cases, FixtureTest, ::testing::ValuesIn(Inputs()), [](const auto& info) {
  std::string name = info.param.substr(DataPath("").size());
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

}  // namespace
}  // namespace tv::test
