// The ANSI code page: its lead-byte rule, searches, case folding, cuts and
// conversions, one case a line in tests/data/platform/codepage-cases.txt.
#include "platform/codepage.h"

#include "test_util.h"

namespace tv {
namespace {

size_t Position(const std::string& text) {
  return text == "npos" ? std::string_view::npos : std::stoul(text);
}

TEST(CodePage, SearchesFoldsCutsAndConvertsByTheLeadByteRule) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("platform/codepage-cases.txt")) {
    SCOPED_TRACE(c.line);
    const std::string& op = c.in.at(0);
    const std::string want = c.out.empty() ? "" : c.out[0];
    const CodePage cp = c.in.at(1) == "utf8" ? CodePage::Utf8 : CodePage::Gbk;
    const std::string& text = c.in.at(2);
    if (op == "name") {
      const CodePage named = ParseCodePageName(text == "<null>" ? nullptr : text.c_str());
      EXPECT_EQ(named, want == "utf8" ? CodePage::Utf8 : CodePage::Gbk);
    } else if (op == "lead") {
      EXPECT_EQ(IsLeadByte(cp, static_cast<unsigned char>(text.at(0))), want == "1");
    } else if (op == "find") {
      EXPECT_EQ(FindText(text, c.in.at(3), Position(c.in.at(4)), cp), Position(want));
    } else if (op == "contains") {
      EXPECT_EQ(ContainsText(text, c.in.at(3), cp), want == "1");
    } else if (op == "lower") {
      EXPECT_EQ(LowerAscii(text, cp), want);
    } else if (op == "to-utf8") {
      EXPECT_EQ(AnsiToUtf8(text, cp), want);
    } else if (op == "to-ansi") {
      EXPECT_EQ(Utf8ToAnsi(text, cp), want);
    } else if (op == "shown") {
      EXPECT_EQ(NameToUtf8(text, cp), want);
    } else if (op == "sanitize") {
      EXPECT_EQ(SanitizeUtf8(text), want);
    } else if (op == "cut") {
      EXPECT_EQ(CutWithoutSplitting(text, std::stoul(c.in.at(3)), cp), std::stoul(want));
    } else {
      ADD_FAILURE() << "unknown operation " << op;
    }
  }
}

}  // namespace
}  // namespace tv
