// The per-line classes the source viewer shows, weighed against the counter.
#include "engine/line_classes.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace tv {
namespace {

FileTally Weigh(const std::vector<LineClass>& classes) {
  FileTally t{.total = classes.size()};
  for (LineClass c : classes) Apply(c, t);
  return t;
}

TEST(LineClasses, FromTextOrFileTheyGiveEveryFixturesTallyAndTheSinkCanStop) {
  const char* const dirs[] = {"cfamily", "sql", "pascal", "basic", "asm"};  // in family order
  const std::string data = std::string(TV_TEST_DATA_DIR) + "/engine/";
  for (int f = 0; f < 5; ++f) {
    const std::vector<std::string> names = test::FolderEntries(data + dirs[f]);
    EXPECT_GE(names.size(), 3u) << dirs[f];
    for (const std::string& name : names) {
      const std::string path = data + dirs[f] + "/" + name, bytes = test::ReadFile(path);
      for (CodePage cp : {CodePage::Gbk, CodePage::Utf8}) {
        SCOPED_TRACE(path + (cp == CodePage::Gbk ? " gbk" : " utf-8"));
        const auto family = static_cast<LanguageFamily>(f);
        const FileTally expected = CountText(family, bytes, cp);
        EXPECT_EQ(Weigh(ClassifyLines(family, bytes, cp)), expected);
        std::vector<LineClass> from_file;
        ASSERT_TRUE(ClassifyFileLines(family, path, cp,
                                      [&](LineClass c) { return from_file.push_back(c), true; }));
        EXPECT_EQ(Weigh(from_file), expected);
      }
    }
  }
  int seen = 0;
  EXPECT_TRUE(ClassifyFileLines(LanguageFamily::CFamily, data + "line_class_cases.tsv",
                                CodePage::Gbk, [&](LineClass) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2);
  EXPECT_FALSE(ClassifyFileLines(LanguageFamily::CFamily, data + "missing.c", CodePage::Gbk, {}));
}

TEST(LineClasses, EachLineKeepsItsOwnClass) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("engine/line_class_cases.tsv")) {
    SCOPED_TRACE(c.line);
    const auto family = static_cast<LanguageFamily>(std::stoi(c.in[0]));
    const std::vector<LineClass> got = ClassifyLines(family, c.in[1], CodePage::Gbk);
    std::string letters;
    for (LineClass k : got) letters += "BKMXD"[static_cast<int>(k)];
    EXPECT_EQ(letters, c.out[0]);
    EXPECT_EQ(Weigh(got), CountText(family, c.in[1], CodePage::Gbk));
  }
}

}  // namespace
}  // namespace tv
