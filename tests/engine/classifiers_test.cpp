// Line-by-line classification of the five language families: every line of a
// sequence goes through one classifier, so state carried between lines (open
// comments, pending strings, the seen-flags) is part of what is checked.
#include "engine/classifiers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/count.h"

namespace tv {

void PrintTo(LineClass c, std::ostream* os) {
  static const char* const kNames[] = {"Blank", "Code", "Comment", "CodeAndComment",
                                       "DoubleCodeAndComment"};
  *os << kNames[static_cast<int>(c)];
}

namespace {

constexpr LineClass B = LineClass::Blank;
constexpr LineClass K = LineClass::Code;
constexpr LineClass M = LineClass::Comment;
constexpr LineClass KM = LineClass::CodeAndComment;
constexpr LineClass KKM = LineClass::DoubleCodeAndComment;

using Classes = std::vector<LineClass>;

// Classifies `lines` in order with one fresh classifier (one file).
template <class Classifier>
Classes Run(std::vector<std::string_view> lines, CodePage cp = CodePage::Gbk) {
  Classifier classifier(cp);
  Classes out;
  for (std::string_view line : lines) out.push_back(classifier.Classify(line));
  return out;
}

// Each line as the first line of its own file.
template <class Classifier>
LineClass First(std::string_view line, CodePage cp = CodePage::Gbk) {
  return Run<Classifier>({line}, cp)[0];
}

Classes CF(std::vector<std::string_view> l, CodePage cp = CodePage::Gbk) {
  return Run<CFamilyClassifier>(std::move(l), cp);
}
Classes Sql(std::vector<std::string_view> l, CodePage cp = CodePage::Gbk) {
  return Run<SqlClassifier>(std::move(l), cp);
}
Classes Pas(std::vector<std::string_view> l, CodePage cp = CodePage::Gbk) {
  return Run<PascalClassifier>(std::move(l), cp);
}
Classes Bas(std::vector<std::string_view> l, CodePage cp = CodePage::Gbk) {
  return Run<BasicClassifier>(std::move(l), cp);
}
Classes Asm(std::vector<std::string_view> l, CodePage cp = CodePage::Gbk) {
  return Run<AsmClassifier>(std::move(l), cp);
}

// ---------------------------------------------------------------- C family

TEST(CFamilyWorkedLines, EachAtTheStartOfAFile) {
  struct Case {
    std::string_view line;
    LineClass expected;
  };
  const Case cases[] = {
      {"int a;", K},
      {"// note", M},
      {"int a; // note", KM},
      {"/* note */", M},
      {"/* note */ int a;", KM},
      {"int a; /* note */", KM},
      {"int /* note */ a;", KKM},
      {"/* begin", M},
      {"int a; /* begin", KM},
      {"printf(\"x\"); /* note */", KM},
      {"s = \"/*\";", M},
      {"*/", K},
      {"// a /* b", M},
      {"/* a */ int x; /* b */", M},
      {"/*/ a /*/", M},
      {"\f", K},
      {"   \t  ", B},
      {"", B},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(First<CFamilyClassifier>(c.line), c.expected) << "line: " << c.line;
  }
}

TEST(CFamilyBlockComment, OpensAndClosesAcrossLines) {
  EXPECT_EQ(CF({"/* begin", "inside", "", "end */", "int a;"}), (Classes{M, M, B, M, K}));
  EXPECT_EQ(CF({"int a; /* begin", "end */ int a;", "int b;"}), (Classes{KM, KM, K}));
  // Comments do not nest: a second opener inside changes nothing, the first
  // closer ends the comment.
  EXPECT_EQ(CF({"/* a", "/* b", "c */", "int d;"}), (Classes{M, M, M, K}));
  // A line comment marker inside a block comment is just comment text.
  EXPECT_EQ(CF({"/* a", "// b", "x */", "y"}), (Classes{M, M, M, K}));
}

TEST(CFamilyBlockComment, LineCommentBeforeOpenerOpensNothing) {
  EXPECT_EQ(CF({"// a /* b", "int c;"}), (Classes{M, K}));
  EXPECT_EQ(CF({"x = 1; // a /* b", "int c;"}), (Classes{KM, K}));
  // The opener first: the line is a block comment within the line whose
  // right end is not "*/".
  EXPECT_EQ(CF({"/* a */ // b", "int c;"}), (Classes{KM, K}));
}

TEST(CFamilyBlockComment, TwoCodeRuleAndClosedComments) {
  EXPECT_EQ(CF({"a = 1; /* x */ b = 2;", "c;"}), (Classes{KKM, K}));
  // The second comment opens nothing: the next line is outside a comment.
  EXPECT_EQ(CF({"int x; /* a */ y(); /* b", "int z;"}), (Classes{KKM, K}));
  EXPECT_EQ(CF({"/* a */ int x; /* b */", "int z;"}), (Classes{M, K}));
  // A line comment before the block comment decides first.
  EXPECT_EQ(CF({"x // a /* b */ y", "// a /* b */", "int z;"}), (Classes{KM, M, K}));
}

TEST(CFamilyBlockComment, CarriageReturnAtTheEndIsKept) {
  // A lone CR is neither trimmed nor part of the closer.
  EXPECT_EQ(CF({"/* a", "end */\r", "x;"}), (Classes{M, KM, K}));
  EXPECT_EQ(CF({"/* a */\r", "x;"}), (Classes{KM, K}));
}

TEST(CFamilySlashStarSlash, SingleOneOpensEvenWhenClosedLater) {
  EXPECT_EQ(CF({"/*/ note */", "more", "", "end */", "int a;"}), (Classes{M, M, B, M, K}));
  EXPECT_EQ(CF({"/*/", "x", "*/", "y"}), (Classes{M, M, M, K}));
  EXPECT_EQ(CF({"x = 1; /*/ a", "b", "c */ d", "e"}), (Classes{KM, M, KM, K}));
}

TEST(CFamilySlashStarSlash, TwoOfThemUseTheFourWayRuleAndLeaveNoComment) {
  EXPECT_EQ(CF({"/*/ a /*/", "int b;"}), (Classes{M, K}));
  EXPECT_EQ(CF({"x /*/ a /*/ y", "int b;"}), (Classes{KKM, K}));
  EXPECT_EQ(CF({"/*/ a /*/ y", "int b;"}), (Classes{KM, K}));
  EXPECT_EQ(CF({"x /*/ a /*/", "int b;"}), (Classes{KM, K}));
}

TEST(CFamilyBlockComment, CloserOutsideACommentIsCode) {
  EXPECT_EQ(CF({"*/", "x */ y"}), (Classes{K, K}));
}

TEST(CFamilyBlockQuotes, MarkerAfterStringSetsSeenFlag) {
  // The string is closed before the comment: code and comment, and from then
  // on a "/*" inside a string no longer hides the line.
  EXPECT_EQ(CF({"printf(\"x\"); /* note */", "s = \"/*\";", "int a;"}), (Classes{KM, K, K}));
  // Without the flag the same assignment falls through to the comment
  // rules and leaves a string pending.
  EXPECT_EQ(CF({"s = \"/*\";", "int a;", "/* c */", "t = \"\";", "/* d */"}),
            (Classes{M, K, K, K, M}));
}

TEST(CFamilyBlockQuotes, StringClosedThenOpenerLeavesNoBlockComment) {
  // The block check decides the line before the comment rules could open
  // the comment, so the following line is code.
  EXPECT_EQ(CF({"a = \"x\"; /* c", "int b;"}), (Classes{KM, K}));
}

TEST(CFamilyBlockQuotes, SingleQuoteKeepsTheStringPending) {
  // One double quote before "/*": the seen flag is set, the line is code and
  // the string stays pending until a line holding a double quote.
  EXPECT_EQ(CF({"puts(\"a /* b", "int c;", "/* d", "x\";", "/* e"}), (Classes{K, K, K, K, M}));
}

TEST(CFamilyBlockQuotes, QuoteAfterMarkerWithSeenFlag) {
  // With the seen flag set, a line whose "/*" lies inside a string is code,
  // or code and comment when "//" follows its last quote.
  EXPECT_EQ(CF({"f(\"x\"); /* n */", "s = \"/*\"; // c", "s = \"/*\";", "t;"}),
            (Classes{KM, KM, K, K}));
}

TEST(CFamilyBlockQuotes, QuotedWordInsideClosedCommentLeavesStringPending) {
  // The first quote comes after "/*": the position test fails, step 8 counts
  // the line and the block-check string stays pending, so a later comment
  // line without a double quote is code.
  EXPECT_EQ(CF({"x = 1; /* \"q\" */", "int a;", "/* c */", "t = \"\";", "/* d */"}),
            (Classes{M, K, K, K, M}));
}

TEST(CFamilyBlockQuotes, NotAppliedToLinesStartingWithAMarker) {
  EXPECT_EQ(CF({"// \"a\" /* b", "int c;"}), (Classes{M, K}));
  EXPECT_EQ(CF({"/* \"a\" */", "int c;"}), (Classes{M, K}));
}

TEST(CFamilyLineQuotes, MarkerAfterStringSetsSeenFlag) {
  EXPECT_EQ(CF({"printf(\"a\"); // note", "url = \"http://x\";", "int a;"}), (Classes{KM, K, K}));
}

TEST(CFamilyLineQuotes, MarkerInsideStringWithoutFlagLeavesStringPending) {
  EXPECT_EQ(CF({"url = \"http://x\";", "int a;", "// c", "b = \"q\";", "// d"}),
            (Classes{M, K, K, K, M}));
}

TEST(CFamilyLineQuotes, SeenFlagDecidesByMarkerAfterLastQuote) {
  EXPECT_EQ(CF({"f(\"a\"); // n", "g(\"//\", \"x\"); // c", "g(\"//\", \"x\");", "h;"}),
            (Classes{KM, KM, K, K}));
}

TEST(CFamilyLineQuotes, SingleQuoteKeepsTheStringPending) {
  EXPECT_EQ(CF({"printf(\"x // y", "int a;", "// z", "\";", "// w"}), (Classes{K, K, K, K, M}));
}

TEST(CFamilyQuotes, BothStringChecksPendingAtOnce) {
  // Both markers inside one string: both pending flags are set, and each
  // needs its own line with a double quote to clear.
  EXPECT_EQ(CF({"s = \"/* //\";", "a;", "\"", "b;", "c = \"\";", "// d"}),
            (Classes{M, K, K, K, K, M}));
}

TEST(CFamilyQuotes, PendingStringDecidesBeforeBlockClosesTheComment) {
  // Inside a block comment a string check still runs first; while the
  // string is pending, a closing line is code and does not close the
  // comment, which ends only at a later "*/" seen by the comment rules.
  EXPECT_EQ(CF({"/* open", "s = \"/*\";", "end */", "int a;", "t = \"\";", "int b;", "done */",
                "int c;"}),
            (Classes{M, M, K, K, K, M, M, K}));
}

TEST(CFamilyQuotes, StringChecksApplyInsideBlockComment) {
  EXPECT_EQ(CF({"/* open", "printf(\"a\"); /* x", "still", "*/", "y;"}), (Classes{M, KM, M, M, K}));
}

TEST(CFamilyQuotes, SeenFlagsStayForTheFileOnly) {
  CFamilyClassifier first(CodePage::Gbk);
  EXPECT_EQ(first.Classify("printf(\"x\"); /* note */"), KM);
  EXPECT_EQ(first.Classify("s = \"/*\";"), K);
  // A new file starts with every flag clear.
  CFamilyClassifier second(CodePage::Gbk);
  EXPECT_EQ(second.Classify("s = \"/*\";"), M);
}

TEST(CFamilyTrim, BlanksAroundMarkersAreTrimmedFirst) {
  EXPECT_EQ(CF({"  \t// note\t  ", "\t/* a */  ", " \t int a; \t "}), (Classes{M, M, K}));
  // The alternating remainder is a space: not blank, and code.
  EXPECT_EQ(CF({"\t \t \t \t"}), (Classes{K}));
}

TEST(CFamilyBytes, NulBytesAreOrdinaryBytes) {
  using namespace std::string_view_literals;
  EXPECT_EQ(CF({"\0"sv, "int a;\0// x"sv, "//\0"sv, "/*\0"sv, "\0*/"sv}),
            (Classes{K, KM, M, M, M}));
}

TEST(CFamilyBytes, DoubleByteTextPassesThrough) {
  // "中文" in GBK around the markers.
  EXPECT_EQ(CF({"// \xD6\xD0\xCE\xC4", "x = 1; /* \xD6\xD0 */", "\xD6\xD0"}), (Classes{M, KM, K}));
}

// ---------------------------------------------------------------- SQL

TEST(SqlLines, LineComments) {
  EXPECT_EQ(Sql({"-- note", "SELECT 1 -- note", "--", "SELECT 1", "   -- x"}),
            (Classes{M, KM, M, K, M}));
  // "--" inside a quoted string still counts.
  EXPECT_EQ(Sql({"WHERE x = '--'"}), (Classes{KM}));
  // "//" means nothing in SQL.
  EXPECT_EQ(Sql({"SELECT 1 // x", "// x"}), (Classes{K, K}));
}

TEST(SqlLines, LineCommentBeforeOpenerOpensNothing) {
  EXPECT_EQ(Sql({"SELECT 1 -- a /* b", "SELECT 2"}), (Classes{KM, K}));
  EXPECT_EQ(Sql({"-- a /*/", "SELECT 2"}), (Classes{M, K}));
  EXPECT_EQ(Sql({"-- a /* b", "SELECT 2"}), (Classes{M, K}));
}

TEST(SqlLines, BlockComments) {
  EXPECT_EQ(Sql({"/* a */", "SELECT /* a */ 1", "/* a */ SELECT 1", "SELECT 1 /* a */"}),
            (Classes{M, KKM, KM, KM}));
  EXPECT_EQ(Sql({"/* begin", "text", "", "-- x", "end */ SELECT 1", "SELECT 2"}),
            (Classes{M, M, B, M, KM, K}));
  EXPECT_EQ(Sql({"SELECT 1 /* begin", "end */", "SELECT 2"}), (Classes{KM, M, K}));
  EXPECT_EQ(Sql({"*/", "SELECT 2"}), (Classes{K, K}));
}

TEST(SqlLines, QuotesPlayNoPart) {
  EXPECT_EQ(Sql({"SELECT '/*'", "x", "*/", "SELECT \"/*\" /* c */"}), (Classes{KM, M, M, KM}));
}

TEST(SqlLines, SlashStarSlash) {
  EXPECT_EQ(Sql({"/*/ note */", "x", "y */", "z"}), (Classes{M, M, M, K}));
  EXPECT_EQ(Sql({"/*/ a /*/", "z"}), (Classes{M, K}));
  EXPECT_EQ(Sql({"a /*/ b /*/ c", "z"}), (Classes{KKM, K}));
}

// ---------------------------------------------------------------- Pascal

TEST(PascalLines, BraceComments) {
  EXPECT_EQ(Pas({"{ note }", "x := 1;"}), (Classes{M, K}));
  EXPECT_EQ(Pas({"{$R *.res}", "x := 1;"}), (Classes{M, K}));
  EXPECT_EQ(Pas({"{ begin", "text", "", "end } x := 1;", "y := 2;"}), (Classes{M, M, B, KM, K}));
  EXPECT_EQ(Pas({"{ begin", "}", "y := 2;"}), (Classes{M, M, K}));
  // An opener that does not begin the line is not recognised.
  EXPECT_EQ(Pas({"x := 1; { note }", "x := 1; { open", "y := 2;"}), (Classes{K, K, K}));
  // Only "}" closes a brace comment.
  EXPECT_EQ(Pas({"{ a", "b *)", "c }", "d"}), (Classes{M, M, M, K}));
}

TEST(PascalLines, ParenthesisComments) {
  EXPECT_EQ(Pas({"(* note *)", "x := 1;"}), (Classes{M, K}));
  EXPECT_EQ(Pas({"(* begin", "}", "", "end *)", "y;"}), (Classes{M, M, B, M, K}));
  EXPECT_EQ(Pas({"(* a *) x := 1;", "y;"}), (Classes{KM, K}));
  EXPECT_EQ(Pas({"x := 1; (* a", "y;"}), (Classes{K, K}));
}

TEST(PascalLines, LineComments) {
  EXPECT_EQ(Pas({"x := 1; // note", "// note", "s := 'http://x';", "*)", "}"}),
            (Classes{KM, M, KM, K, K}));
}

TEST(PascalLines, BraceLineMarkerBeforeCloserKeepsCommentOpen) {
  EXPECT_EQ(Pas({"{ path a//b }", "x := 1;", "}", "y := 2;"}), (Classes{M, M, M, K}));
  // Without the seen flag a "//" after the closer closes the comment.
  EXPECT_EQ(Pas({"{ c } // d", "x;"}), (Classes{M, K}));
  // Once the flag is set, the same line no longer closes it.
  EXPECT_EQ(Pas({"{ a//b }", "}", "{ c } // d", "x;", "}", "y;"}), (Classes{M, M, M, M, M, K}));
}

TEST(PascalLines, ParenthesisLineMarkerBeforeCloserKeepsCommentOpen) {
  EXPECT_EQ(Pas({"(* a//b *)", "x;", "*)", "y;"}), (Classes{M, M, M, K}));
  EXPECT_EQ(Pas({"(* c *) // d", "x;"}), (Classes{M, K}));
  EXPECT_EQ(Pas({"(* a//b *)", "*)", "(* c *) // d", "x;", "*)", "y;"}),
            (Classes{M, M, M, M, M, K}));
  // The two seen flags are separate.
  EXPECT_EQ(Pas({"{ a//b }", "}", "(* c *) // d", "x;"}), (Classes{M, M, M, K}));
}

TEST(PascalLines, BraceTakesPrecedenceOverParenthesis) {
  // "(*" inside a brace comment sets the parenthesis flag, which outlives
  // the brace comment: the following lines are comment until "*)".
  EXPECT_EQ(Pas({"{ a", "(* b", "}", "y := 1;", "*)", "z := 2;"}), (Classes{M, M, M, M, M, K}));
  // "*)" ends nothing while the brace comment is open.
  EXPECT_EQ(Pas({"{ a", "(* b *)", "c", "}", "d;"}), (Classes{M, M, M, M, M}));
}

TEST(PascalLines, BraceOpenedInsideParenthesisCommentTakesOver) {
  // While the brace comment is open, "*)" closes nothing; after "}" the
  // parenthesis comment is still open.
  EXPECT_EQ(Pas({"(* a", "{ b", "*)", "c", "}", "d", "*)", "e;"}),
            (Classes{M, M, M, M, M, M, M, K}));
  EXPECT_EQ(Pas({"(* a", "{ b }", "c", "*)", "e;"}), (Classes{M, M, M, M, K}));
}

TEST(PascalLines, CloserNotAtEndOfLine) {
  EXPECT_EQ(Pas({"{ a } x", "y;"}), (Classes{KM, K}));
  EXPECT_EQ(Pas({"{ a", "b } c", "d;"}), (Classes{M, KM, K}));
}

TEST(PascalCodePages, GbkSecondByteIsNotACloser) {
  // 0x81 0x7D is one GBK character whose second byte is "}".
  const std::string_view line = "{ \x81} x";
  EXPECT_EQ(Pas({line, "y := 1;", "}", "z;"}, CodePage::Gbk), (Classes{M, M, M, K}));
  EXPECT_EQ(Pas({line, "y := 1;"}, CodePage::Utf8), (Classes{KM, K}));
  // At the end of the line: right1 is "}" but under GBK it closes nothing.
  EXPECT_EQ(Pas({"{ a \x81}", "y;"}, CodePage::Gbk), (Classes{M, M}));
  EXPECT_EQ(Pas({"{ a \x81}", "y;"}, CodePage::Utf8), (Classes{M, K}));
  // Inside an open comment as well.
  EXPECT_EQ(Pas({"{ a", "\xD6\xD0\x81}", "y;"}, CodePage::Gbk), (Classes{M, M, M}));
  EXPECT_EQ(Pas({"{ a", "\xD6\xD0\x81}", "y;"}, CodePage::Utf8), (Classes{M, M, K}));
}

TEST(PascalCodePages, MarkerBeforeTheRealCloser) {
  // Under GBK the first "}" is a second byte, so "//" comes before the
  // closer: the comment stays open. Under UTF-8 the closer comes first.
  EXPECT_EQ(Pas({"{ \x81} // x }", "y;"}, CodePage::Gbk), (Classes{M, M}));
  EXPECT_EQ(Pas({"{ \x81} // x }", "y;"}, CodePage::Utf8), (Classes{M, K}));
}

TEST(PascalCodePages, LeadByteAtEndOfLineTakesNothingFromTheNext) {
  EXPECT_EQ(Pas({"{ a \x81", "}", "y;"}, CodePage::Gbk), (Classes{M, M, K}));
}

TEST(PascalCodePages, AfterADoubleByteCharacterACloserIsFound) {
  // 0xD6 0xD0 is one character; the "}" after it is a real closer.
  EXPECT_EQ(Pas({"{ \xD6\xD0}", "y;"}, CodePage::Gbk), (Classes{M, K}));
  // 0x81 0x81 is one character; the third byte "}" is a real closer.
  EXPECT_EQ(Pas({"{ \x81\x81}", "y;"}, CodePage::Gbk), (Classes{M, K}));
}

// ---------------------------------------------------------------- Basic

TEST(BasicLines, ApostropheComments) {
  EXPECT_EQ(Bas({"' note", "x = 1 ' note", "x = 1", "REM note", "'", "  \t ' x"}),
            (Classes{M, KM, K, K, M, M}));
  EXPECT_EQ(Bas({"", " \t ", "\t \t \t \t"}), (Classes{B, B, K}));
}

TEST(BasicLines, ApostropheInsideString) {
  EXPECT_EQ(Bas({"MsgBox \"it's\""}), (Classes{K}));
  EXPECT_EQ(Bas({"MsgBox \"it's\" ' note"}), (Classes{KM}));
  // The first double quote comes after the apostrophe.
  EXPECT_EQ(Bas({"x = 1 ' say \"hi\""}), (Classes{KM}));
  // No double quote after the apostrophe.
  EXPECT_EQ(Bas({"MsgBox \"a\" & x ' it is"}), (Classes{KM}));
  // An unclosed string: no quote follows the apostrophe.
  EXPECT_EQ(Bas({"MsgBox \"it's"}), (Classes{KM}));
}

TEST(BasicLines, QuoteAfterApostropheWithoutFurtherApostropheIsCode) {
  // The first apostrophe starts a comment in the source, but a quote follows
  // it and no apostrophe follows that quote: the rules count code.
  EXPECT_EQ(Bas({"x = \"a\" ' note \"q\""}), (Classes{K}));
  EXPECT_EQ(Bas({"x = \"a\" ' note \"q\" 'z"}), (Classes{KM}));
}

TEST(BasicLines, EachLineStandsAlone) {
  EXPECT_EQ(Bas({"MsgBox \"a", "it's", "b\""}), (Classes{K, KM, K}));
}

// ---------------------------------------------------------------- Assembly

TEST(AsmLines, SemicolonComments) {
  EXPECT_EQ(Asm({"; note", "    ; note", "mov ax, 1 ; note", "mov ax, 1", ";"}),
            (Classes{M, M, KM, K, M}));
  // A semicolon inside a quoted string counts.
  EXPECT_EQ(Asm({"db 'a;b'"}), (Classes{KM}));
}

TEST(AsmLines, OwnTrimOnlyAtTheStart) {
  EXPECT_EQ(Asm({"\t; note", "\t  ; note", "  \t; note", "\t \t; x"}), (Classes{M, KM, M, KM}));
  EXPECT_EQ(Asm({"   ", "  \t\t", "\t", "\t ", "\t \t", " \t "}), (Classes{B, B, B, K, K, K}));
  EXPECT_EQ(Asm({"mov ax, 1  \t "}), (Classes{K}));
}

TEST(AsmLines, NoStateBetweenLines) {
  EXPECT_EQ(Asm({"/* a", "mov ax, 1", "; b", "x */"}), (Classes{K, K, M, K}));
}

// ---------------------------------------------------------------- all

TEST(AllClassifiers, FormFeedAndCarriageReturnAreNotBlank) {
  for (auto run : {CF, Sql, Pas, Bas, Asm}) {
    EXPECT_EQ(run({"\f", "\r", " \v ", "\x1b"}, CodePage::Gbk), (Classes{K, K, K, K}));
  }
}

TEST(AllClassifiers, EmptyLineInsideOpenCommentIsBlank) {
  EXPECT_EQ(CF({"/* a", "", "*/"}), (Classes{M, B, M}));
  EXPECT_EQ(Sql({"/* a", "", "*/"}), (Classes{M, B, M}));
  EXPECT_EQ(Pas({"{ a", "", "}"}), (Classes{M, B, M}));
  EXPECT_EQ(Pas({"(* a", "  ", "*)"}), (Classes{M, B, M}));
}

}  // namespace
}  // namespace tv
