// The ANSI code page: its lead-byte rule, searches, case folding and
// conversions.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tv {
namespace {

using namespace std::string_view_literals;
constexpr CodePage kGbk = CodePage::Gbk;
constexpr CodePage kUtf8 = CodePage::Utf8;
constexpr size_t npos = std::string_view::npos;

const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";           // "中文" in GBK
const std::string kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // "中文" in UTF-8
const std::string kReplacement = "\xEF\xBF\xBD";

TEST(CodePageName, ParsesTheEnvironmentValue) {
  EXPECT_EQ(ParseCodePageName(nullptr), kGbk);
  EXPECT_EQ(ParseCodePageName(""), kGbk);
  EXPECT_EQ(ParseCodePageName("utf-8"), kUtf8);
  EXPECT_EQ(ParseCodePageName("UTF-8"), kUtf8);
  EXPECT_EQ(ParseCodePageName("Utf-8"), kUtf8);
  EXPECT_EQ(ParseCodePageName("utf8"), kUtf8);
  EXPECT_EQ(ParseCodePageName("65001"), kUtf8);
  EXPECT_EQ(ParseCodePageName("gbk"), kGbk);
  EXPECT_EQ(ParseCodePageName("936"), kGbk);
  EXPECT_EQ(ParseCodePageName("utf-16"), kGbk);
  EXPECT_EQ(ParseCodePageName("650010"), kGbk);
}

TEST(LeadBytes, OnlyGbkHasThem) {
  EXPECT_FALSE(IsLeadByte(kGbk, 0x80));
  EXPECT_TRUE(IsLeadByte(kGbk, 0x81));
  EXPECT_TRUE(IsLeadByte(kGbk, 0xFE));
  EXPECT_FALSE(IsLeadByte(kGbk, 0xFF));
  EXPECT_FALSE(IsLeadByte(kGbk, '}'));
  EXPECT_FALSE(IsLeadByte(kUtf8, 0xD6));
}

TEST(FindText, NeverMatchesOnASecondByte) {
  EXPECT_EQ(FindText("\x81}", "}", 0, kGbk), npos);
  EXPECT_EQ(FindText("\x81}", "}", 0, kUtf8), 1u);
  EXPECT_EQ(FindText("\x81}}", "}", 0, kGbk), 2u);
  // 0x81 0x81 is one character, so the "}" after it is a real one.
  EXPECT_EQ(FindText("\x81\x81}", "}", 0, kGbk), 2u);
  // Three lead bytes: the third takes the "}" with it.
  EXPECT_EQ(FindText("\x81\x81\x81}", "}", 0, kGbk), npos);
  EXPECT_EQ(FindText("a\xD6\xD0}", "}", 0, kGbk), 3u);
  // A needle that begins with a byte that is also a second byte.
  EXPECT_EQ(FindText("\xD6\xD0\xCE", "\xD0\xCE", 0, kGbk), npos);
  EXPECT_EQ(FindText("\xD6\xD0\xCE", "\xD0\xCE", 0, kUtf8), 1u);
  // "\xD0\xCE" after a whole character is found.
  EXPECT_EQ(FindText("\xD6\xD0"
                     "a\xD0\xCE",
                     "\xD0\xCE", 0, kGbk),
            3u);
  EXPECT_EQ(FindText("\xD6\xD0\xD0", "\xD0", 0, kGbk), 2u);
  EXPECT_EQ(FindText("x\xD0\xCE", "\xD0\xCE", 0, kGbk), 1u);
}

TEST(FindText, FromPositionAndBounds) {
  EXPECT_EQ(FindText("}a}", "}", 0, kGbk), 0u);
  EXPECT_EQ(FindText("}a}", "}", 1, kGbk), 2u);
  EXPECT_EQ(FindText("}a}", "}", 3, kGbk), npos);
  EXPECT_EQ(FindText("}a}", "}", 100, kGbk), npos);
  EXPECT_EQ(FindText("ab//c//", "//", 0, kGbk), 2u);
  EXPECT_EQ(FindText("ab//c//", "//", 3, kGbk), 5u);
  EXPECT_EQ(FindText("///", "//", 1, kGbk), 1u);
  // Starting inside a character does not make its second byte a match.
  EXPECT_EQ(FindText("\x81}}", "}", 1, kGbk), 2u);
  // A lead byte at the very end takes nothing and matches nothing.
  EXPECT_EQ(FindText("a\x81", "}", 0, kGbk), npos);
  EXPECT_EQ(FindText("a\x81", "\x81", 0, kGbk), 1u);
  EXPECT_EQ(FindText("", "}", 0, kGbk), npos);
  EXPECT_EQ(FindText("a\0}"sv, "}", 0, kGbk), 2u);
  EXPECT_TRUE(ContainsText("x */", "*/", kGbk));
  EXPECT_FALSE(ContainsText("x *", "*/", kGbk));
}

TEST(LowerAscii, LowersLettersOutsideDoubleByteCharacters) {
  EXPECT_EQ(LowerAscii("ABC.Cpp", kGbk), "abc.cpp");
  EXPECT_EQ(LowerAscii(kZhongWenGbk + "X", kGbk), kZhongWenGbk + "x");
  // 0x81 0x41 is one GBK character whose second byte looks like "A".
  EXPECT_EQ(LowerAscii("\x81\x41Z", kGbk), "\x81\x41z");
  EXPECT_EQ(LowerAscii("\x81\x41Z", kUtf8), "\x81\x61z");
  EXPECT_EQ(LowerAscii("\xC3\x89Z", kUtf8), "\xC3\x89z");
  EXPECT_EQ(LowerAscii("@[`{", kGbk), "@[`{");
}

TEST(Conversions, GbkToUtf8AndBack) {
  EXPECT_EQ(AnsiToUtf8(kZhongWenGbk, kGbk), kZhongWenUtf8);
  EXPECT_EQ(Utf8ToAnsi(kZhongWenUtf8, kGbk), kZhongWenGbk);
  EXPECT_EQ(AnsiToUtf8("plain ascii", kGbk), "plain ascii");
  EXPECT_EQ(Utf8ToAnsi("plain ascii", kGbk), "plain ascii");
  EXPECT_EQ(AnsiToUtf8("", kGbk), "");
  EXPECT_EQ(AnsiToUtf8("a\0b"sv, kGbk), "a\0b"sv);
  // A character outside GBK survives the round trip through GB18030.
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::string ansi = Utf8ToAnsi(emoji, kGbk);
  EXPECT_NE(ansi, emoji);
  EXPECT_EQ(AnsiToUtf8(ansi, kGbk), emoji);
  const std::string euro = "\xE2\x82\xAC";
  EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi(euro, kGbk), kGbk), euro);
}

TEST(Conversions, InvalidBytes) {
  // A lone lead byte, and a byte that is never valid GBK text.
  EXPECT_EQ(AnsiToUtf8("a\x81", kGbk), "a" + kReplacement);
  EXPECT_EQ(AnsiToUtf8("\xFF"
                       "b",
                       kGbk),
            kReplacement + "b");
  // Invalid UTF-8 becomes "?" in GBK, U+FFFD in UTF-8.
  EXPECT_EQ(Utf8ToAnsi("a\xFF"
                       "b",
                       kGbk),
            "a?b");
  EXPECT_EQ(Utf8ToAnsi("a\xFF"
                       "b",
                       kUtf8),
            "a" + kReplacement + "b");
  EXPECT_EQ(AnsiToUtf8("a\xFF"
                       "b",
                       kUtf8),
            "a" + kReplacement + "b");
  EXPECT_EQ(AnsiToUtf8(kZhongWenUtf8, kUtf8), kZhongWenUtf8);
  EXPECT_EQ(SanitizeUtf8("\xE4\xB8"), kReplacement + kReplacement);
  EXPECT_EQ(SanitizeUtf8(kZhongWenUtf8), kZhongWenUtf8);
}

TEST(CutWithoutSplitting, KeepsWholeCharacters) {
  const std::string gbk = std::string("a") + kZhongWenGbk.substr(0, 2) + "b";  // a 中 b
  EXPECT_EQ(CutWithoutSplitting(gbk, 0, kGbk), 0u);
  EXPECT_EQ(CutWithoutSplitting(gbk, 1, kGbk), 1u);
  EXPECT_EQ(CutWithoutSplitting(gbk, 2, kGbk), 1u);
  EXPECT_EQ(CutWithoutSplitting(gbk, 3, kGbk), 3u);
  EXPECT_EQ(CutWithoutSplitting(gbk, 4, kGbk), 4u);
  EXPECT_EQ(CutWithoutSplitting(gbk, 100, kGbk), 4u);
  const std::string utf8 = std::string("a") + kZhongWenUtf8.substr(0, 3) + "b";  // a 中 b
  EXPECT_EQ(CutWithoutSplitting(utf8, 2, kUtf8), 1u);
  EXPECT_EQ(CutWithoutSplitting(utf8, 3, kUtf8), 1u);
  EXPECT_EQ(CutWithoutSplitting(utf8, 4, kUtf8), 4u);
  // Under GBK the same UTF-8 bytes are other characters: E4 B8 and AD 62.
  EXPECT_EQ(CutWithoutSplitting(utf8, 4, kGbk), 3u);
  // A lead byte at the end is never more than the bytes there are.
  EXPECT_LE(CutWithoutSplitting("ab\x81", 3, kGbk), 3u);
}

}  // namespace
}  // namespace tv
