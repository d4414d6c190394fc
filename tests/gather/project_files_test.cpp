#include "runs/project_files.h"

#include <sys/stat.h>

#include <random>

#include "gather_fixture.h"

namespace tv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ProjectTest : public GatherTest {
 protected:
  // The members of the project at `relative` (written with `text` first),
  // relative to the tree.
  std::vector<std::string> Members(const std::string& relative, std::string_view text) {
    WriteFile(tree_ / relative, text);
    return Read(relative);
  }
  std::vector<std::string> Read(const std::string& relative) {
    RunList list;
    AddProjectMembers(tree_ / relative, list, CodePage::Gbk);
    return Relative(list);
  }
};

TEST_F(ProjectTest, DspTakesDotBackslashCppAndHeaderSources) {
  EXPECT_THAT(Members("p/app.dsp",
                      "# Microsoft Developer Studio Project File\r\n"
                      "SOURCE=.\\main.cpp\r\n"
                      "SOURCE=.\\main.h\r\n"
                      "SOURCE=.\\util.c\r\n"
                      "SOURCE=\"..\\quoted.cpp\"\r\n"
                      "SOURCE=..\\up.cpp\r\n"
                      "SOURCE=C:\\abs.cpp\r\n"
                      "SOURCE=.\\\r\n"  // nine characters: no name
                      "SOURCE=.\r\n"
                      "  \tSOURCE=.\\Indented.CPP\r\n"  // blanks, then tabs
                      "\t SOURCE=.\\tab_then_blank.cpp\r\n"
                      "source=.\\lower.cpp\r\n"
                      "SOURCE=.\\res\\app.rc\n"
                      "SOURCE=.\\last.h"),  // no line end
              ElementsAre("p/main.cpp", "p/main.h", "p/Indented.CPP", "p/last.h"));
}

TEST_F(ProjectTest, WindowsSeparatorsAndLetterCaseResolveToExistingEntries) {
  Files({"p/src/Core/Engine.cpp", "p/src/Core/util.h", "p/Other.cpp"});
  EXPECT_THAT(Members("p/app.dsp",
                      "SOURCE=.\\SRC\\core\\ENGINE.cpp\r\n"
                      "SOURCE=.\\src\\Core\\util.h\r\n"
                      "SOURCE=.\\SRC\\Missing\\Gone.cpp\r\n"
                      "SOURCE=.\\other.CPP\r\n"),
              ElementsAre("p/src/Core/Engine.cpp", "p/src/Core/util.h", "p/src/Missing/Gone.cpp",
                          "p/Other.cpp"));
  EXPECT_EQ(ResolveMemberPath(tree_ / "p/", "..\\P\\SRC\\core\\engine.CPP"),
            tree_ / "p/../p/src/Core/Engine.cpp");
}

TEST_F(ProjectTest, ExactEntryWinsOverOneThatDiffersInCase) {
  Files({"p/Main.cpp", "p/main.cpp", "p/MAIN.h"});
  EXPECT_EQ(ResolveMemberPath(tree_ / "p/", "main.cpp"), tree_ / "p/main.cpp");
  EXPECT_EQ(ResolveMemberPath(tree_ / "p/", "Main.cpp"), tree_ / "p/Main.cpp");
  // Neither is exact: the first in walk order.
  EXPECT_EQ(ResolveMemberPath(tree_ / "p/", "MAIN.CPP"), tree_ / "p/Main.cpp");
}

TEST_F(ProjectTest, VcprojTakesTheQuotedValue) {
  EXPECT_THAT(Members("app.vcproj",
                      "<Files>\r\n"
                      "\t\t\tRelativePath=\".\\stdafx.cpp\">\r\n"
                      "\t\t\tRelativePath=\".\\stdafx.h\">\r\n"
                      "\t\t\tRelativePath=\".\\app.rc\">\r\n"
                      "\t\t\tRelativePath=\".\\noclose.h\"\r\n"  // ">" on the next line
                      "\t\t\tRelativePath=\r\n"
                      "\t\t\tRelativePath=\"\">\r\n"),
              ElementsAre("./stdafx.cpp", "./stdafx.h", "./noclose.h"));
}

TEST_F(ProjectTest, BprReadsTheMainSourceAndItsUnitsWithExistingHeaders) {
  Files({"App.h", "Unit1.h", "Other.h"});
  WriteFile(tree_ / "App.cpp",
            "#include <vcl.h>\r\n"
            "USEFORM(\"Unit1.cpp\", Form1);\r\n"
            "  USEUNIT(\"Util.cpp\");\r\n"
            "USERES(\"App.res\");\r\n"
            "\tUSEUNIT(\"Other.pas\");\r\n");
  EXPECT_THAT(
      Members("App.bpr",
              "<PROJECT>\r\n"
              "  <MAINSOURCE value=\"App.res\"/>\r\n"  // not a .cpp: go on
              "  <MAINSOURCE value=\"App.cpp\"/>\r\n"
              "  <MAINSOURCE value=\"Second.cpp\"/>\r\n"),
      ElementsAre("App.cpp", "App.h", "Unit1.cpp", "Unit1.h", "Util.cpp", "Other.pas", "Other.h"));
}

TEST_F(ProjectTest, BprHeadersAndUnitsFollowTheResolvedMainSource) {
  Files({"p/source/App.h", "p/source/unit1.h"});
  WriteFile(tree_ / "p/source/App.cpp", "USEFORM(\"Source\\UNIT1.cpp\", Form1);\n");
  Files({"p/source/Unit1.cpp"});
  EXPECT_THAT(
      Members("p/App.bpr", "<MAINSOURCE value=\"SOURCE\\app.cpp\"/>\n"),
      ElementsAre("p/source/App.cpp", "p/source/App.h", "p/source/Unit1.cpp", "p/source/unit1.h"));
}

TEST_F(ProjectTest, BprWithoutItsMainSourceGivesTheMainSourceAlone) {
  EXPECT_THAT(Members("App.bpr", "<MAINSOURCE value=\"App.cpp\"/>\n"), ElementsAre("App.cpp"));
  EXPECT_THAT(Members("B.bpr", "<MAINSOURCE value=\"B.cpp/>\n"), IsEmpty());
}

TEST_F(ProjectTest, VbpTakesFormsModulesControlsAndClassesByExtension) {
  EXPECT_THAT(
      Members("p/app.vbp",
              "Type=Exe\r\n"
              "Form=Form1.frm\r\n"
              "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb\r\n"
              "Module=Module1; Module1.bas\r\n"
              "Class=Class1; Class1.cls \r\n"
              "UserControl=Ctl\\Box.ctl\r\n"
              "Form=Notes.txt\r\n"
              "Module=Bare.bas\r\n"
              "Class=Wrong; Wrong.bas\r\n"
              "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"),
      ElementsAre("p/Form1.frm", "p/Module1.bas", "p/Class1.cls", "p/Ctl/Box.ctl", "p/Bare.bas"));
}

TEST_F(ProjectTest, VbgResolvesEachProjectsMembersAgainstItsOwnFolder) {
  WriteFile(tree_ / "g/sub/App.vbp", "Form=Form1.frm\r\nModule=M; Shared\\M.bas\r\n");
  WriteFile(tree_ / "g/Lib/lib.vbp", "Class=C; C.cls\r\n");
  WriteFile(tree_ / "g/Beside.vbp", "Form=Main.frm\r\n");
  EXPECT_THAT(Members("g/all.vbg",
                      "VBGROUP 5.0\r\n"
                      "StartupProject=sub\\App.vbp\r\n"
                      "Project=LIB\\Lib.vbp\r\n"
                      "Project=Beside.vbp\r\n"
                      "Project=readme.txt\r\n"
                      "Project=missing\\Gone.vbp\r\n"),
              ElementsAre("g/sub/Form1.frm", "g/sub/Shared/M.bas", "g/Lib/C.cls", "g/Main.frm"));
}

TEST_F(ProjectTest, DprTakesTheQuotedPasNamesOfLinesMentioningPas) {
  EXPECT_THAT(Members("app.dpr",
                      "program App;\r\n"
                      "uses\r\n"
                      "  Forms,\r\n"
                      "  Unit1 in 'Unit1.pas' {Form1},\r\n"
                      "  Unit2 in ' sub\\Unit2.pas ',\r\n"
                      "  Unit3 in 'Unit3.PAS',\r\n"  // ".pas" is looked for as written
                      "  { the units live in .pas files }\r\n"
                      "  Notes in 'notes.txt', // not .pas\r\n"
                      "  Open in 'open.pas\r\n"
                      "{$R *.res}\r\n"),
              ElementsAre("Unit1.pas", "sub/Unit2.pas"));
}

TEST_F(ProjectTest, CsprojTakesTheQuotedCsNamesOfRelPathLines) {
  EXPECT_THAT(Members("app.csproj",
                      "<Include>\r\n"
                      "  <File\r\n"
                      "    RelPath = \"Form1.cs\"\r\n"
                      "    RelPath = \"App.ico\"\r\n"
                      "    RelPath = \" Padded.cs \"\r\n"
                      "    RelPath = \"Sub\\Helper.cs\"\r\n"
                      "    SubType = \"Code.cs\"\r\n"
                      "    RelPath = \"Unclosed.cs\r\n"),
              ElementsAre("Form1.cs", "Padded.cs", "Sub/Helper.cs"));
}

TEST_F(ProjectTest, ReaderIsChosenByTheLowerCasedExtension) {
  WriteFile(tree_ / "A.DSP", "SOURCE=.\\a.cpp\r\n");
  WriteFile(tree_ / "a.txt", "SOURCE=.\\a.cpp\r\n");
  EXPECT_THAT(Read("A.DSP"), ElementsAre("a.cpp"));
  EXPECT_THAT(Read("a.txt"), IsEmpty());

  for (const char* ext : {"dsp", "bpr", "vbp", "vbg", "dpr", "csproj", "DSP", "CsProj"}) {
    EXPECT_TRUE(IsHandedOverProjectFile(std::string("/x/a.") + ext, CodePage::Gbk)) << ext;
    EXPECT_TRUE(IsProjectFile(std::string("/x/a.") + ext, CodePage::Gbk)) << ext;
  }
  EXPECT_FALSE(IsHandedOverProjectFile("/x/a.vcproj", CodePage::Gbk));
  EXPECT_TRUE(IsProjectFile("/x/a.vcproj", CodePage::Gbk));
  EXPECT_FALSE(IsProjectFile("/x/a.cpp", CodePage::Gbk));
  EXPECT_FALSE(IsProjectFile("/x.dsp/readme", CodePage::Gbk));
}

TEST_F(ProjectTest, MemberNamesAreReadInTheAnsiCodePageOrAsUtf8AfterAByteOrderMark) {
  // "\x95\x5C" is one GBK character whose second byte is a backslash.
  const std::string odd = AnsiToUtf8("\x95\x5C", CodePage::Gbk);
  EXPECT_THAT(Members("gbk.dsp", "SOURCE=.\\\xD4\xB4.cpp\r\nSOURCE=.\\\x95\x5C.h\r\n"),
              ElementsAre("\xE6\xBA\x90.cpp", odd + ".h"));
  EXPECT_THAT(Members("utf8.dsp", "\xEF\xBB\xBFSOURCE=.\\\xE6\xBA\x90.cpp\r\n"),
              ElementsAre("\xE6\xBA\x90.cpp"));
}

TEST_F(ProjectTest, BadProjectFilesGiveNoMembersAndNeverHang) {
  EXPECT_THAT(Read("missing.dsp"), IsEmpty());
  EXPECT_THAT(Members("empty.vbg", ""), IsEmpty());
  ASSERT_EQ(::mkfifo((tree_ / "pipe.dsp").c_str(), 0600), 0);
  EXPECT_THAT(Read("pipe.dsp"), IsEmpty());
  std::filesystem::create_directories(tree_ / "folder.vbp");
  EXPECT_THAT(Read("folder.vbp"), IsEmpty());

  std::mt19937 random(7);
  std::string binary(1 << 16, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  for (const char* name : {"b.dsp", "b.vcproj", "b.bpr", "b.vbp", "b.vbg", "b.dpr", "b.csproj"}) {
    WriteFile(tree_ / name, binary);
    EXPECT_NO_FATAL_FAILURE(Read(name));
  }
  // A project whose main source is itself binary.
  WriteFile(tree_ / "bin.cpp", binary + "\nUSEUNIT(\"u.cpp\")\n");
  EXPECT_THAT(Members("bin.bpr", "<MAINSOURCE value=\"bin.cpp\"/>"),
              ElementsAre("bin.cpp", "u.cpp"));
}

TEST_F(ProjectTest, HundredThousandMembersComeInOrder) {
  std::string text;
  for (int i = 1; i <= 100000; ++i) text += "SOURCE=.\\dir\\f" + std::to_string(i) + ".cpp\r\n";
  Files({"Dir/f1.cpp"});
  std::vector<std::string> members = Members("big.dsp", text);
  ASSERT_EQ(members.size(), 100000u);
  EXPECT_EQ(members.front(), "Dir/f1.cpp");
  EXPECT_EQ(members[41], "Dir/f42.cpp");  // missing, under the resolved folder
  EXPECT_EQ(members.back(), "Dir/f100000.cpp");
}

}  // namespace
}  // namespace tv::test

namespace tv {
namespace {

TEST(VcprojMendTest, ValueEndsAtItsClosingQuoteWhenTheTagClosesOnTheNextLine) {
  test::TempDir dir;
  test::WriteFile(dir / "p.vcproj",
                  "\t\t\t<File\r\n\t\t\t\tRelativePath=\".\\main.cpp\"\r\n\t\t\t\t>\r\n"
                  "\t\t\t<File\r\n\t\t\t\tRelativePath=\".\\util.h\">\r\n");
  EXPECT_EQ(ReadVcprojMembers(dir / "p.vcproj", CodePage::Gbk),
            (std::vector<std::string>{dir / "./main.cpp", dir / "./util.h"}));
}

}  // namespace
}  // namespace tv
