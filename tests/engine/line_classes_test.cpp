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

TEST(LineClasses, TheyGiveEveryFixturesTallyAndAStopEndsThemWithinOneChunk) {
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
        EXPECT_EQ(Weigh(ClassifyLines(family, bytes, cp)), CountText(family, bytes, cp));
      }
    }
  }
  std::string lines;
  for (int i = 0; i < 100000; ++i) lines += "x;\n";
  const std::atomic<bool> stop{true};
  EXPECT_EQ(ClassifyLines(LanguageFamily::CFamily, lines, CodePage::Gbk, &stop).size(),
            (kStopCheckBytes + 2) / 3);
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
