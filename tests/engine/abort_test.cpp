// The abort flag of a count: read once per chunk, it ends the count of a
// file at once; left clear it changes nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/count.h"
#include "engine/source_lines.h"
#include "test_util.h"

namespace tv {
namespace {

TEST(AbortTest, ASetFlagEndsTheCountBeforeTheNextChunk) {
  // About 1.5 MB: many chunks of every reader, with code, comments and blanks.
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "int x; /* c */\n\n-- ' ; {c}\n";
  test::TempDir dir;
  const std::string path = dir / "big.src";
  test::WriteFile(path, text);

  struct State {
    const char* name;
    bool pointer;  // an abort flag is passed at all
    int value;
    bool whole;  // the file is counted to its end
  };
  const State states[] = {
      {"no flag", false, 0, true}, {"flag clear", true, 0, true}, {"flag set", true, 1, false}};
  const LanguageFamily families[] = {LanguageFamily::CFamily, LanguageFamily::Sql,
                                     LanguageFamily::Pascal, LanguageFamily::Basic,
                                     LanguageFamily::Assembly};
  const uint64_t lines = CountTextLines(text);
  ASSERT_EQ(lines, 150000u);
  for (const State& s : states) {
    SCOPED_TRACE(s.name);
    std::atomic<int> abort{s.value};
    const std::atomic<int>* flag = s.pointer ? &abort : nullptr;
    EXPECT_EQ(CountFileLines(path, flag), s.whole ? lines : 0u) << "the line count";
    for (LanguageFamily family : families) {
      SCOPED_TRACE(static_cast<int>(family));
      const FileTally whole = CountText(family, text, CodePage::Gbk);
      FileTally tally;
      RunTotals totals;
      std::atomic<uint64_t> progress{0};
      CountFile(family, path, tally, totals, {CodePage::Gbk, &progress, flag});
      if (s.whole) {
        EXPECT_TRUE(tally == whole) << tally.total << " of " << whole.total << " lines";
      } else {
        EXPECT_EQ(tally.total, 0u) << "an aborted file is not read on";
        EXPECT_EQ(totals.code + totals.comment + totals.blank, 0u);
      }
      EXPECT_EQ(progress.load(), tally.total) << "progress matches what was counted";
    }
  }
}

}  // namespace
}  // namespace tv
