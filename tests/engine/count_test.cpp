// Counting whole files: the classifier contract, the fixture files of every
// family, the pre-count and the run totals.
#include "engine/count.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "engine/source_lines.h"
#include "test_util.h"

namespace tv {

void PrintTo(const FileTally& t, std::ostream* os) {
  *os << t.total << " " << t.code << " " << t.comment << " " << t.blank;
}

namespace {

constexpr LanguageFamily kFamilies[] = {LanguageFamily::CFamily, LanguageFamily::Sql,
                                        LanguageFamily::Pascal, LanguageFamily::Basic,
                                        LanguageFamily::Assembly};

FileTally Tally(uint64_t total, uint64_t code, uint64_t comment, uint64_t blank) {
  FileTally t;
  t.total = total;
  t.code = code;
  t.comment = comment;
  t.blank = blank;
  return t;
}

std::string Describe(const FileTally& t) {
  std::ostringstream os;
  os << t.total << " " << t.code << " " << t.comment << " " << t.blank;
  return os.str();
}

// ---------------------------------------------------------------- fixtures

struct Fixture {
  std::string family_dir;
  LanguageFamily family;
  std::string marker;  // the comment marker of the first line
  std::string path;
};

std::vector<Fixture> ListFixtures() {
  struct Dir {
    const char* name;
    LanguageFamily family;
    const char* marker;
  };
  const Dir dirs[] = {{"cfamily", LanguageFamily::CFamily, "//"},
                      {"sql", LanguageFamily::Sql, "--"},
                      {"pascal", LanguageFamily::Pascal, "//"},
                      {"basic", LanguageFamily::Basic, "'"},
                      {"asm", LanguageFamily::Assembly, ";"}};
  std::vector<Fixture> out;
  for (const Dir& d : dirs) {
    const std::filesystem::path dir = std::filesystem::path(TV_TEST_DATA_DIR) / "engine" / d.name;
    std::error_code ec;
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      if (entry.is_regular_file()) paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string& p : paths) out.push_back({d.name, d.family, d.marker, p});
  }
  return out;
}

// The counts a fixture states on its own first line, after its comment marker.
bool ExpectedCounts(const Fixture& f, FileTally& expected) {
  const std::string bytes = test::ReadFile(f.path);
  std::string first = bytes.substr(0, bytes.find('\n'));
  if (!first.empty() && first.back() == '\r') first.pop_back();
  if (first.rfind(f.marker, 0) != 0) return false;
  std::istringstream in(first.substr(f.marker.size()));
  return static_cast<bool>(in >> expected.total >> expected.code >> expected.comment >>
                           expected.blank);
}

class FixtureFile : public testing::TestWithParam<Fixture> {};

TEST_P(FixtureFile, CountsMatchItsFirstLine) {
  const Fixture& f = GetParam();
  FileTally expected;
  ASSERT_TRUE(ExpectedCounts(f, expected)) << f.path << ": first line states no counts";
  FileTally tally = Tally(7, 7, 7, 7);
  RunTotals totals;
  CountFile(f.family, f.path, tally, totals, CountOptions{});
  EXPECT_EQ(Describe(tally), Describe(expected)) << f.path;
  EXPECT_EQ(CountFileLines(f.path), tally.total) << f.path;
  EXPECT_EQ(totals.code, tally.code);
  EXPECT_EQ(totals.comment, tally.comment);
  EXPECT_EQ(totals.blank, tally.blank);
  // The same bytes counted in memory give the same tally.
  EXPECT_EQ(Describe(CountText(f.family, test::ReadFile(f.path), CodePage::Gbk)),
            Describe(expected));
}

INSTANTIATE_TEST_SUITE_P(Engine, FixtureFile, testing::ValuesIn(ListFixtures()),
                         [](const testing::TestParamInfo<Fixture>& info) {
                           std::string name =
                               info.param.family_dir + "_" +
                               std::filesystem::path(info.param.path).filename().string();
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(FixtureFiles, EveryFamilyHasSome) {
  const std::vector<Fixture> all = ListFixtures();
  for (const char* family : {"cfamily", "sql", "pascal", "basic", "asm"}) {
    EXPECT_GE(std::count_if(all.begin(), all.end(),
                            [&](const Fixture& f) { return f.family_dir == family; }),
              3)
        << family;
  }
}

// ---------------------------------------------------------------- contract

TEST(CountContract, WorkedFileOfThreeLines) {
  EXPECT_EQ(CountText(LanguageFamily::CFamily, "a\n\nb", CodePage::Gbk), Tally(3, 2, 0, 1));
  EXPECT_EQ(CountText(LanguageFamily::CFamily, "\r\n\r\n", CodePage::Gbk), Tally(2, 0, 0, 2));
  EXPECT_EQ(CountText(LanguageFamily::CFamily, "a = 1; /* x */ b = 2;\n", CodePage::Gbk),
            Tally(1, 2, 1, 0));
  for (LanguageFamily family : kFamilies) {
    EXPECT_EQ(CountText(family, "", CodePage::Gbk), Tally(0, 0, 0, 0));
    // Lone CRs do not end lines: this is one line.
    EXPECT_EQ(CountText(family, "a\rb\r\rc\r", CodePage::Gbk), Tally(1, 1, 0, 0));
  }
}

TEST(CountContract, MissingFileGivesZerosAndLeavesTotalsAlone) {
  test::TempDir dir;
  for (LanguageFamily family : kFamilies) {
    FileTally tally = Tally(5, 4, 3, 2);
    RunTotals totals;
    totals.code = 10;
    totals.comment = 11;
    totals.blank = 12;
    totals.lines = 13;
    CountFile(family, dir / "missing.c", tally, totals, CountOptions{});
    EXPECT_EQ(tally, Tally(0, 0, 0, 0));
    EXPECT_EQ(totals.code, 10u);
    EXPECT_EQ(totals.comment, 11u);
    EXPECT_EQ(totals.blank, 12u);
    EXPECT_EQ(totals.lines, 13u);
    // A folder cannot be counted either.
    CountFile(family, dir.Path(), tally, totals, CountOptions{});
    EXPECT_EQ(tally, Tally(0, 0, 0, 0));
  }
}

TEST(CountContract, UnreadableFileGivesZeros) {
  if (test::RunningAsRoot()) GTEST_SKIP() << "root reads any file";
  test::TempDir dir;
  test::WriteFile(dir / "locked.c", "int a;\n// b\n");
  ASSERT_EQ(::chmod((dir / "locked.c").c_str(), 0), 0);
  FileTally tally = Tally(1, 1, 1, 1);
  RunTotals totals;
  CountCFamilyFile(dir / "locked.c", tally, totals, CountOptions{});
  EXPECT_EQ(tally, Tally(0, 0, 0, 0));
}

TEST(CountContract, FifoIsRefusedWithoutHanging) {
  test::TempDir dir;
  const std::string fifo = dir / "pipe.c";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Hold both ends open so that neither an open nor a read by the code
  // under test would ever end on its own; closing them is the way out if
  // the code wrongly reads the FIFO.
  const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "int a;\n", 7), 7);
  auto result = std::async(std::launch::async, [&] {
    FileTally tally = Tally(1, 1, 1, 1);
    RunTotals totals;
    CountCFamilyFile(fifo, tally, totals, CountOptions{});
    return std::make_pair(tally, CountFileLines(fifo));
  });
  const bool finished = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  ::close(fd);
  EXPECT_TRUE(finished) << "counting a FIFO blocked";
  const auto [tally, lines] = result.get();
  EXPECT_EQ(tally, Tally(0, 0, 0, 0));
  EXPECT_EQ(lines, 0u);
}

TEST(CountContract, ReadErrorEndsTheFile) {
  // The process's own memory file opens as a regular file, but reading it
  // from offset 0 fails.
  if (!std::filesystem::is_regular_file("/proc/self/mem")) GTEST_SKIP();
  FileTally tally = Tally(1, 1, 1, 1);
  RunTotals totals;
  CountCFamilyFile("/proc/self/mem", tally, totals, CountOptions{});
  EXPECT_EQ(tally, Tally(0, 0, 0, 0));
  EXPECT_EQ(CountFileLines("/proc/self/mem"), 0u);
}

TEST(CountContract, CodePageOptionReachesTheClassifier) {
  test::TempDir dir;
  test::WriteFile(dir / "g.pas", "{ \x81} x\ny;\n");
  FileTally tally;
  RunTotals totals;
  CountOptions options;
  options.code_page = CodePage::Gbk;
  CountPascalFile(dir / "g.pas", tally, totals, options);
  EXPECT_EQ(tally, Tally(2, 0, 2, 0));
  options.code_page = CodePage::Utf8;
  CountFile(LanguageFamily::Pascal, dir / "g.pas", tally, totals, options);
  EXPECT_EQ(tally, Tally(2, 2, 1, 0));
}

TEST(CountContract, TallyIsZeroedAndTotalsAccumulate) {
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "int a;\n// b\n\nc(); // d\n");
  test::WriteFile(dir / "b.sql", "SELECT 1;\n-- x\n");
  RunTotals totals;
  FileTally tally = Tally(100, 100, 100, 100);
  CountFile(LanguageFamily::CFamily, dir / "a.c", tally, totals, CountOptions{});
  EXPECT_EQ(tally, Tally(4, 2, 2, 1));
  CountFile(LanguageFamily::Sql, dir / "b.sql", tally, totals, CountOptions{});
  EXPECT_EQ(tally, Tally(2, 1, 1, 0));
  EXPECT_EQ(totals.code, 3u);
  EXPECT_EQ(totals.comment, 3u);
  EXPECT_EQ(totals.blank, 1u);
  // The pre-counted line total is the run's business, not the classifier's.
  EXPECT_EQ(totals.lines, 0u);
}

TEST(CountContract, EachEntryCountsItsOwnFamily) {
  test::TempDir dir;
  // One text whose counts differ in every family.
  const std::string text = "// a\n-- b\n' c\n; d\n{ e }\nx\n";
  test::WriteFile(dir / "f.txt", text);
  struct Entry {
    void (*count)(const std::string&, FileTally&, RunTotals&, const CountOptions&);
    LanguageFamily family;
    FileTally expected;
  };
  const Entry entries[] = {
      {CountCFamilyFile, LanguageFamily::CFamily, Tally(6, 5, 1, 0)},
      {CountJavaFile, LanguageFamily::CFamily, Tally(6, 5, 1, 0)},
      {CountSqlFile, LanguageFamily::Sql, Tally(6, 5, 1, 0)},
      {CountPascalFile, LanguageFamily::Pascal, Tally(6, 4, 2, 0)},
      {CountBasicFile, LanguageFamily::Basic, Tally(6, 5, 1, 0)},
      {CountAsmFile, LanguageFamily::Assembly, Tally(6, 5, 1, 0)},
  };
  for (const Entry& e : entries) {
    FileTally direct, dispatched;
    RunTotals totals;
    e.count(dir / "f.txt", direct, totals, CountOptions{});
    CountFile(e.family, dir / "f.txt", dispatched, totals, CountOptions{});
    EXPECT_EQ(direct, e.expected);
    EXPECT_EQ(dispatched, e.expected);
    EXPECT_EQ(CountText(e.family, text, CodePage::Gbk), e.expected);
  }
  // Which line is the comment: the first for C and Pascal, the second for
  // SQL, the third for Basic, the fourth for assembly.
  EXPECT_EQ(CountText(LanguageFamily::Sql, "-- b\n", CodePage::Gbk), Tally(1, 0, 1, 0));
  EXPECT_EQ(CountText(LanguageFamily::Basic, "// a\n", CodePage::Gbk), Tally(1, 1, 0, 0));
  EXPECT_EQ(CountText(LanguageFamily::Assembly, "' c\n", CodePage::Gbk), Tally(1, 1, 0, 0));
}

TEST(CountContract, CountsNeverDependOnThePreviousFile) {
  test::TempDir dir;
  // Ends inside a block comment with both string flags pending.
  test::WriteFile(dir / "open.c", "s = \"/* //\";\n/* open\n");
  test::WriteFile(dir / "next.c", "int a;\n*/\ns = \"/*\";\n");
  test::WriteFile(dir / "open.pas", "{ a//b }\n(* c\n");
  test::WriteFile(dir / "next.pas", "x;\n}\n{ c } // d\ny;\n");
  RunTotals totals;
  FileTally first, alone, after;
  CountCFamilyFile(dir / "next.c", alone, totals, CountOptions{});
  CountCFamilyFile(dir / "open.c", first, totals, CountOptions{});
  CountCFamilyFile(dir / "next.c", after, totals, CountOptions{});
  EXPECT_EQ(alone, Tally(3, 2, 1, 0));
  EXPECT_EQ(after, alone);
  CountPascalFile(dir / "next.pas", alone, totals, CountOptions{});
  CountPascalFile(dir / "open.pas", first, totals, CountOptions{});
  CountPascalFile(dir / "next.pas", after, totals, CountOptions{});
  EXPECT_EQ(alone, Tally(4, 3, 1, 0));
  EXPECT_EQ(after, alone);
}

TEST(CountContract, ProgressAdvancesOncePerLine) {
  test::TempDir dir;
  std::string text;
  for (int i = 0; i < 10000; ++i) text += (i % 3 == 0) ? "\n" : "int a; // b\n";
  test::WriteFile(dir / "big.c", text);
  test::WriteFile(dir / "small.c", "a\nb\nc");
  std::atomic<uint64_t> progress{5};
  CountOptions options;
  options.progress = &progress;
  FileTally tally;
  RunTotals totals;
  CountCFamilyFile(dir / "big.c", tally, totals, options);
  EXPECT_EQ(progress.load(), 5u + 10000u);
  CountAsmFile(dir / "small.c", tally, totals, options);
  EXPECT_EQ(progress.load(), 5u + 10003u);
  // A file that cannot be opened adds nothing.
  CountSqlFile(dir / "missing.sql", tally, totals, options);
  EXPECT_EQ(progress.load(), 5u + 10003u);
}

TEST(CountContract, PreCountEqualsClassifierTotal) {
  test::TempDir dir;
  const std::string texts[] = {
      "",
      "a",
      "a\r\n\r\nb\rc",
      std::string("x\0y\n\n", 5),
      "a\nb\x1a\nc\n",
      std::string(70000, ' ') + "\r\n" + std::string(70000, '\t'),
  };
  int n = 0;
  for (const std::string& text : texts) {
    const std::string path = dir / (std::to_string(n++) + ".t");
    test::WriteFile(path, text);
    for (LanguageFamily family : kFamilies) {
      FileTally tally;
      RunTotals totals;
      CountFile(family, path, tally, totals, CountOptions{});
      EXPECT_EQ(CountFileLines(path), tally.total) << testing::PrintToString(text);
      EXPECT_EQ(CountTextLines(text), tally.total);
    }
  }
}

// ---------------------------------------------------------------- counters

TEST(Counters, RunTotalsAddPastThirtyTwoBits) {
  RunTotals totals;
  const FileTally big = Tally(3'000'000'000u, 3'000'000'000u, 2'500'000'000u, 4'000'000'000u);
  totals.Add(big);
  totals.Add(big);
  EXPECT_EQ(totals.code, 6'000'000'000u);
  EXPECT_EQ(totals.comment, 5'000'000'000u);
  EXPECT_EQ(totals.blank, 8'000'000'000u);
  static_assert(sizeof(FileTally{}.total) >= 8 && sizeof(RunTotals{}.lines) >= 8);
}

}  // namespace
}  // namespace tv
