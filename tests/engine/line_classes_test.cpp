// The per-line classes the source viewer shows: for every fixture file, the
// classes applied as they count give the file's tally, from memory and from
// the file alike.
#include "engine/line_classes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_util.h"

namespace tv {
namespace {

FileTally Weigh(const std::vector<LineClass>& classes) {
  FileTally t;
  for (LineClass c : classes) {
    Apply(c, t);
    ++t.total;
  }
  return t;
}

std::string Text(const FileTally& t) {
  return std::to_string(t.total) + " " + std::to_string(t.code) + " " + std::to_string(t.comment) +
         " " + std::to_string(t.blank);
}

TEST(LineClasses, WeighedAsTheyCountGiveEveryFixturesTally) {
  // The fixture folder of each family, in family order.
  const char* const dirs[] = {"cfamily", "sql", "pascal", "basic", "asm"};
  for (int f = 0; f < 5; ++f) {
    const auto family = static_cast<LanguageFamily>(f);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(TV_TEST_DATA_DIR) / "engine" / dirs[f])) {
      const std::string path = entry.path().string(), bytes = test::ReadFile(path);
      ++files;
      for (CodePage cp : {CodePage::Gbk, CodePage::Utf8}) {
        SCOPED_TRACE(path + (cp == CodePage::Gbk ? " gbk" : " utf-8"));
        const std::string expected = Text(CountText(family, bytes, cp));
        EXPECT_EQ(Text(Weigh(ClassifyLines(family, bytes, cp))), expected);
        std::vector<LineClass> from_file;
        ASSERT_TRUE(ClassifyFileLines(family, path, cp, [&](LineClass c) {
          from_file.push_back(c);
          return true;
        }));
        EXPECT_EQ(Text(Weigh(from_file)), expected);
      }
    }
    EXPECT_GE(files, 3) << dirs[f];
  }
}

// Lines the counting loop never shows its classifier (no marker byte) get
// the class the open comment or string gives them, line by line.
TEST(LineClasses, EachLineKeepsItsOwnClass) {
  struct Case {
    LanguageFamily family;
    std::string_view text;
    std::vector<LineClass> expected;
  };
  using L = LineClass;
  const Case cases[] = {
      {LanguageFamily::CFamily,
       "int a;\n/* open\ninside\n*/ b;\n\n// c\r\nx; // y",
       {L::Code, L::Comment, L::Comment, L::CodeAndComment, L::Blank, L::Comment,
        L::CodeAndComment}},
      {LanguageFamily::Sql,
       "select 1;\n-- c\n/*\nplain\n*/",
       {L::Code, L::Comment, L::Comment, L::Comment, L::Comment}},
      {LanguageFamily::Pascal,
       "{ open\nplain\n}\nbegin",
       {L::Comment, L::Comment, L::Comment, L::Code}},
      {LanguageFamily::Basic,
       "a = 1 ' c\n' only\n\nb\x1A' after the end",
       {L::CodeAndComment, L::Comment, L::Blank, L::Code}},
      {LanguageFamily::Assembly,
       "mov ax, 1 ; c\n; only\n   \n",
       {L::CodeAndComment, L::Comment, L::Blank}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    const std::vector<LineClass> got = ClassifyLines(c.family, c.text, CodePage::Gbk);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(Text(Weigh(got)), Text(CountText(c.family, c.text, CodePage::Gbk)));
  }
}

TEST(LineClasses, SinkStopsTheReadingAndAMissingFileFails) {
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "a;\nb;\nc;\n");
  int seen = 0;
  EXPECT_TRUE(ClassifyFileLines(LanguageFamily::CFamily, dir / "a.c", CodePage::Gbk,
                                [&](LineClass) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2);
  EXPECT_FALSE(ClassifyFileLines(LanguageFamily::CFamily, dir / "missing.c", CodePage::Gbk,
                                 [](LineClass) { return true; }));
}

}  // namespace
}  // namespace tv
