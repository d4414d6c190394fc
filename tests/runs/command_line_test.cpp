#include "runs/command_line.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

using Args = std::vector<std::string>;

TEST(ParseArgumentsTest, OptionsTakeTheValuesThatFollowThem) {
  CommandLineOptions o = ParseArguments({"ignored", "-f", "a.cpp", "b.cpp", "-o", "r.txt"});
  EXPECT_EQ(o.size(), 2u);
  EXPECT_EQ(o["-f"], (Args{"a.cpp", "b.cpp"}));
  EXPECT_EQ(o["-o"], (Args{"r.txt"}));
}

TEST(ParseArgumentsTest, MinusDigitAndLoneMinusAreValues) {
  CommandLineOptions o = ParseArguments({"-f", "-5", "-", "-o"});
  EXPECT_EQ(o["-f"], (Args{"-5", "-"}));
  EXPECT_TRUE(o["-o"].empty());
}

TEST(ParseArgumentsTest, FirstOccurrenceWinsAndEmptyValuesAreDropped) {
  CommandLineOptions o = ParseArguments({"-f", "", "-f", "x.c", "-o", "r.htm"});
  EXPECT_TRUE(o["-f"].empty());
  EXPECT_EQ(o.size(), 2u);
}

TEST(ParseArgumentsTest, NamesAreCaseSensitive) {
  CommandLineOptions o = ParseArguments({"-F", "x.cpp", "-f", "y.cpp"});
  EXPECT_EQ(o["-F"], (Args{"x.cpp"}));
  EXPECT_EQ(o["-f"], (Args{"y.cpp"}));
}

TEST(EvaluateArgumentsTest, CommandLineModeNeedsASourceAndAnOutput) {
  StartupDecision d = EvaluateArguments({"-f", "a.cpp", "-o", "r.txt"});
  EXPECT_TRUE(d.command_line_mode);
  EXPECT_EQ(d.kind, CommandLineKind::File);
  EXPECT_EQ(d.path, "a.cpp");
  EXPECT_EQ(d.output_path, "r.txt");
  EXPECT_FALSE(EvaluateArguments({"-o", "r.txt"}).command_line_mode);
  EXPECT_FALSE(EvaluateArguments({"-f", "a.cpp"}).command_line_mode);
  EXPECT_FALSE(EvaluateArguments({"-x", "1", "-o", "r"}).command_line_mode);
}

TEST(EvaluateArgumentsTest, LaterLookupsReplaceEarlierOnes) {
  StartupDecision d = EvaluateArguments({"-f", "a.cpp", "-d", "/src", "-o", "r.txt"});
  EXPECT_EQ(d.kind, CommandLineKind::Directory);
  EXPECT_EQ(d.path, "/src");
  // "-s" replaces the kind but leaves the command-line path.
  d = EvaluateArguments({"-d", "/src", "-s", "sel.ini", "-o", "r.txt"});
  EXPECT_EQ(d.kind, CommandLineKind::SelectionFile);
  EXPECT_EQ(d.path, "/src");
  EXPECT_EQ(d.selection_path, "sel.ini");
}

TEST(EvaluateArgumentsTest, UpperCaseFormsOnlyWhenLowerIsAbsent) {
  StartupDecision d = EvaluateArguments({"-F", "x.cpp", "-O", "r.csv"});
  EXPECT_TRUE(d.command_line_mode);
  EXPECT_EQ(d.path, "x.cpp");
  EXPECT_EQ(d.output_path, "r.csv");
  d = EvaluateArguments({"-F", "x.cpp", "-f", "y.cpp", "-o", "r"});
  EXPECT_EQ(d.path, "y.cpp");
}

TEST(EvaluateArgumentsTest, AnOptionWithoutValueEndsTheProgram) {
  EXPECT_TRUE(EvaluateArguments({"-o", "r.txt", "-f"}).missing_value);
  EXPECT_TRUE(EvaluateArguments({"-f", "-o", "r.txt"}).missing_value);
  EXPECT_TRUE(EvaluateArguments({"-D"}).missing_value);
  // Options that are not looked up may go without values.
  EXPECT_FALSE(EvaluateArguments({"-x", "-f", "a", "-o", "b"}).missing_value);
}

TEST(EvaluateArgumentsTest, APlainPathIsHandedToTheWindow) {
  StartupDecision d = EvaluateArguments({"/home/u/src"});
  EXPECT_FALSE(d.command_line_mode);
  EXPECT_TRUE(d.handed_over);
  EXPECT_EQ(d.handed_over_path, "/home/u/src");
  EXPECT_FALSE(EvaluateArguments({}).handed_over);
}

TEST(ReportFormatTest, ExtensionChoosesTheFormat) {
  EXPECT_EQ(FormatForPath("r.htm", CodePage::Gbk), ReportFormat::Html);
  EXPECT_EQ(FormatForPath("R.HTM", CodePage::Gbk), ReportFormat::Html);
  EXPECT_EQ(FormatForPath("r.html", CodePage::Gbk), ReportFormat::Excel);
  EXPECT_EQ(FormatForPath("report", CodePage::Gbk), ReportFormat::Excel);
  EXPECT_EQ(FormatForPath("a.csv/report", CodePage::Gbk), ReportFormat::Excel);
  EXPECT_EQ(FormatForPath("r.CSV", CodePage::Gbk), ReportFormat::Csv);
  EXPECT_EQ(FormatForPath("r.txt", CodePage::Gbk), ReportFormat::Txt);
  EXPECT_EQ(FormatForPath("r.xls", CodePage::Gbk), ReportFormat::Excel);
}

TEST(ReportFormatTest, ExtensionIsAppendedByCaseSensitiveSubstring) {
  EXPECT_EQ(WithFormatExtension("R.HTM", ReportFormat::Html), "R.HTM.htm");
  EXPECT_EQ(WithFormatExtension("r.html", ReportFormat::Excel), "r.html.xls");
  EXPECT_EQ(WithFormatExtension("r.htm", ReportFormat::Html), "r.htm");
  EXPECT_EQ(WithFormatExtension("r.xlsx", ReportFormat::Excel), "r.xlsx");
  EXPECT_EQ(WithFormatExtension("a.txt.d/r", ReportFormat::Txt), "a.txt.d/r");
  EXPECT_EQ(WithFormatExtension("report", ReportFormat::Excel), "report.xls");
}

TEST(ResolveOutputPathTest, BareNamesFollowTheKindOfRun) {
  StartupDecision d = EvaluateArguments({"-d", " /src ", "-o", "\treport "});
  EXPECT_EQ(ResolveOutputPath(d, "/home/u/"), "/src/report");
  d = EvaluateArguments({"-d", "/src/", "-o", "res.csv"});
  EXPECT_EQ(ResolveOutputPath(d, "/home/u/"), "/src/res.csv");
  d = EvaluateArguments({"-s", "list.txt", "-o", "res.csv"});
  EXPECT_EQ(ResolveOutputPath(d, "/home/u"), "/home/u/res.csv");
  d = EvaluateArguments({"-f", "a.cpp", "-o", "r.txt"});
  EXPECT_EQ(ResolveOutputPath(d, "/home/u/"), "r.txt");
  d = EvaluateArguments({"-d", "/src", "-o", "out/r.txt"});
  EXPECT_EQ(ResolveOutputPath(d, "/home/u/"), "out/r.txt");
  d = EvaluateArguments({"-d", "/src", "-o", "  "});
  EXPECT_EQ(ResolveOutputPath(d, "/home/u/"), "");
}

}  // namespace
}  // namespace tv
