#include "runs/project_files.h"

#include <random>

#include "gather_fixture.h"

namespace tv::test {
namespace {

std::vector<std::string> Members(const std::string& project) {
  RunList list;
  AddProjectMembers(project, list, CodePage::Gbk);
  return list.paths();
}

TEST(ProjectFileTest, KindIsTheLowerCasedExtension) {
  const struct {
    const char* path;
    bool handed_over, project;
  } cases[] = {
      {"/x/a.dsp", true, true},   {"/x/a.bpr", true, true},       {"/x/a.vbp", true, true},
      {"/x/a.vbg", true, true},   {"/x/a.dpr", true, true},       {"/x/a.csproj", true, true},
      {"/x/a.DSP", true, true},   {"/x/a.CsProj", true, true},    {"/x/a.vcproj", false, true},
      {"/x/a.cpp", false, false}, {"/x.dsp/readme", false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsHandedOverProjectFile(c.path, CodePage::Gbk), c.handed_over) << c.path;
    EXPECT_EQ(IsProjectFile(c.path, CodePage::Gbk), c.project) << c.path;
  }
}

TEST(ProjectFileTest, MemberPathTakesExistingEntriesWhateverTheirCase) {
  const std::string dir = DataPath("project/letter-case/");
  EXPECT_EQ(ResolveMemberPath(dir, "SRC\\core\\ENGINE.cpp"), dir + "src/Core/Engine.cpp");
}

TEST(ProjectFileTest, BinaryProjectsNeverHang) {
  TempDir tree;
  std::mt19937 random(7);
  std::string binary(1 << 16, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  for (const char* name : {"b.dsp", "b.vcproj", "b.bpr", "b.vbp", "b.vbg", "b.dpr", "b.csproj"}) {
    WriteFile(tree / name, binary);
    EXPECT_NO_FATAL_FAILURE(Members(tree / name));
  }
  // A project whose main source is itself binary.
  WriteFile(tree / "bin.cpp", binary + "\nUSEUNIT(\"u.cpp\")\n");
  WriteFile(tree / "bin.bpr", "<MAINSOURCE value=\"bin.cpp\"/>");
  EXPECT_THAT(Members(tree / "bin.bpr"), ::testing::ElementsAre(tree / "bin.cpp", tree / "u.cpp"));
}

TEST(ProjectFileTest, HundredThousandMembersComeInOrder) {
  TempDir tree;
  std::string text;
  for (int i = 1; i <= 100000; ++i) text += "SOURCE=.\\dir\\f" + std::to_string(i) + ".cpp\r\n";
  WriteFile(tree / "Dir/f1.cpp", "");
  WriteFile(tree / "big.dsp", text);
  std::vector<std::string> members = Members(tree / "big.dsp");
  ASSERT_EQ(members.size(), 100000u);
  EXPECT_EQ(members.front(), tree / "Dir/f1.cpp");
  EXPECT_EQ(members[41], tree / "Dir/f42.cpp");  // missing, under the resolved folder
  EXPECT_EQ(members.back(), tree / "Dir/f100000.cpp");
}

}  // namespace
}  // namespace tv::test
