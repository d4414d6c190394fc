// Counting whole files: the fixture files of every family, the classifier
// contract, the pre-count and the run totals.
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
#include <ostream>
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

// ---------------------------------------------------------------- fixtures

struct Fixture {
  std::string name;  // the family folder and the file name, as a test name
  LanguageFamily family;
  std::string marker;  // the comment marker of the first line
  std::string path;
};

std::vector<Fixture> ListFixtures() {
  const struct {
    const char* dir;
    LanguageFamily family;
    const char* marker;
  } dirs[] = {{"cfamily", LanguageFamily::CFamily, "//"},
              {"sql", LanguageFamily::Sql, "--"},
              {"pascal", LanguageFamily::Pascal, "//"},
              {"basic", LanguageFamily::Basic, "'"},
              {"asm", LanguageFamily::Assembly, ";"}};
  std::vector<Fixture> out;
  for (const auto& d : dirs) {
    std::error_code ec;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(TV_TEST_DATA_DIR) / "engine" / d.dir, ec)) {
      if (entry.is_regular_file()) paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
      std::string name = std::string(d.dir) + "_" + p.filename().string();
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      out.push_back({name, d.family, d.marker, p.string()});
    }
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
  FileTally tally{7, 7, 7, 7};
  RunTotals totals;
  CountFile(f.family, f.path, tally, totals, CountOptions{});
  EXPECT_EQ(tally, expected);
  EXPECT_EQ(CountFileLines(f.path), tally.total);
  EXPECT_EQ(totals.code, tally.code);
  EXPECT_EQ(totals.comment, tally.comment);
  EXPECT_EQ(totals.blank, tally.blank);
  // The same bytes counted in memory give the same tally.
  EXPECT_EQ(CountText(f.family, test::ReadFile(f.path), CodePage::Gbk), expected);
}

INSTANTIATE_TEST_SUITE_P(Engine, FixtureFile, testing::ValuesIn(ListFixtures()),
                         [](const auto& info) { return info.param.name; });

TEST(FixtureFiles, EveryFamilyHasSome) {
  const std::vector<Fixture> all = ListFixtures();
  for (const char* family : {"cfamily_", "sql_", "pascal_", "basic_", "asm_"}) {
    EXPECT_GE(std::count_if(all.begin(), all.end(),
                            [&](const Fixture& f) { return f.name.starts_with(family); }),
              3)
        << family;
  }
}

// ---------------------------------------------------------------- contract

TEST(CountContract, TextsCountedInMemory) {
  const struct {
    LanguageFamily family;
    std::string_view text;
    FileTally expected;
  } rows[] = {
      {LanguageFamily::CFamily, "a\n\nb", {3, 2, 0, 1}},
      {LanguageFamily::CFamily, "\r\n\r\n", {2, 0, 0, 2}},
      {LanguageFamily::CFamily, "a = 1; /* x */ b = 2;\n", {1, 2, 1, 0}},
  };
  for (const auto& r : rows) EXPECT_EQ(CountText(r.family, r.text, CodePage::Gbk), r.expected);
  for (LanguageFamily family : kFamilies) {
    EXPECT_EQ(CountText(family, "", CodePage::Gbk), FileTally{});
    // Lone CRs do not end lines: this is one line.
    EXPECT_EQ(CountText(family, "a\rb\r\rc\r", CodePage::Gbk), (FileTally{1, 1, 0, 0}));
  }
}

// Entries that cannot be read as files count nothing in every family, leave
// the run totals and the progress alone, and hold no line. A symlink loop and
// a path below a regular file fail to open even for root. Both ends of the
// FIFO are held open, so that a read of it would never end on its own.
TEST(CountContract, EntriesThatCannotBeReadCountNothing) {
  test::TempDir dir;
  test::WriteFile(dir / "file.c", "int a;\n");
  ASSERT_EQ(::symlink("loop.c", (dir / "loop.c").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "pipe.c").c_str(), 0600), 0);
  const int fd = ::open((dir / "pipe.c").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "int a;\n", 7), 7);
  // The process's own memory opens as a regular file, but reading it from
  // offset 0 fails.
  const std::string mem = "/proc/self/mem";
  std::vector<std::string> paths = {dir / "missing.c", dir.Path(), dir / "loop.c",
                                    dir / "file.c/x.c", dir / "pipe.c"};
  if (std::filesystem::is_regular_file(mem)) paths.push_back(mem);
  auto counted = std::async(std::launch::async, [&] {
    for (const std::string& path : paths) {
      SCOPED_TRACE(path);
      std::atomic<uint64_t> progress{5};
      CountOptions options;
      options.progress = &progress;
      for (LanguageFamily family : kFamilies) {
        FileTally tally{5, 4, 3, 2};
        RunTotals totals{10, 11, 12, 13};
        CountFile(family, path, tally, totals, options);
        EXPECT_EQ(tally, FileTally{});
        EXPECT_EQ((std::vector<uint64_t>{totals.code, totals.comment, totals.blank, totals.lines}),
                  (std::vector<uint64_t>{10, 11, 12, 13}));
      }
      EXPECT_EQ(progress.load(), 5u);
      EXPECT_EQ(CountFileLines(path), 0u);
      SourceLineReader reader;
      std::string_view line;
      EXPECT_EQ(reader.Open(path), path == mem);
      EXPECT_FALSE(reader.ReadSourceLine(line));
    }
  });
  const bool finished = counted.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  ::close(fd);
  EXPECT_TRUE(finished) << "counting a FIFO blocked";
  counted.get();
}

TEST(CountContract, CodePageOptionReachesTheClassifier) {
  test::TempDir dir;
  test::WriteFile(dir / "g.pas", "{ \x81} x\ny;\n");
  FileTally tally;
  RunTotals totals;
  CountOptions options;
  options.code_page = CodePage::Gbk;
  CountPascalFile(dir / "g.pas", tally, totals, options);
  EXPECT_EQ(tally, (FileTally{2, 0, 2, 0}));
  options.code_page = CodePage::Utf8;
  CountFile(LanguageFamily::Pascal, dir / "g.pas", tally, totals, options);
  EXPECT_EQ(tally, (FileTally{2, 2, 1, 0}));
}

TEST(CountContract, TallyIsZeroedAndTotalsAccumulate) {
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "int a;\n// b\n\nc(); // d\n");
  test::WriteFile(dir / "b.sql", "SELECT 1;\n-- x\n");
  RunTotals totals;
  FileTally tally{100, 100, 100, 100};
  CountFile(LanguageFamily::CFamily, dir / "a.c", tally, totals, CountOptions{});
  EXPECT_EQ(tally, (FileTally{4, 2, 2, 1}));
  CountFile(LanguageFamily::Sql, dir / "b.sql", tally, totals, CountOptions{});
  EXPECT_EQ(tally, (FileTally{2, 1, 1, 0}));
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
  const struct {
    void (*count)(const std::string&, FileTally&, RunTotals&, const CountOptions&);
    LanguageFamily family;
    FileTally expected;
  } entries[] = {
      {CountCFamilyFile, LanguageFamily::CFamily, {6, 5, 1, 0}},
      {CountJavaFile, LanguageFamily::CFamily, {6, 5, 1, 0}},
      {CountSqlFile, LanguageFamily::Sql, {6, 5, 1, 0}},
      {CountPascalFile, LanguageFamily::Pascal, {6, 4, 2, 0}},
      {CountBasicFile, LanguageFamily::Basic, {6, 5, 1, 0}},
      {CountAsmFile, LanguageFamily::Assembly, {6, 5, 1, 0}},
  };
  for (const auto& e : entries) {
    FileTally direct, dispatched;
    RunTotals totals;
    e.count(dir / "f.txt", direct, totals, CountOptions{});
    CountFile(e.family, dir / "f.txt", dispatched, totals, CountOptions{});
    EXPECT_EQ(direct, e.expected);
    EXPECT_EQ(dispatched, e.expected);
    EXPECT_EQ(CountText(e.family, text, CodePage::Gbk), e.expected);
  }
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
  EXPECT_EQ(alone, (FileTally{3, 2, 1, 0}));
  EXPECT_EQ(after, alone);
  CountPascalFile(dir / "next.pas", alone, totals, CountOptions{});
  CountPascalFile(dir / "open.pas", first, totals, CountOptions{});
  CountPascalFile(dir / "next.pas", after, totals, CountOptions{});
  EXPECT_EQ(alone, (FileTally{4, 3, 1, 0}));
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

TEST(Counters, RunTotalsAddPastThirtyTwoBits) {
  RunTotals totals;
  const FileTally big{3'000'000'000u, 3'000'000'000u, 2'500'000'000u, 4'000'000'000u};
  totals.Add(big);
  totals.Add(big);
  EXPECT_EQ(totals.code, 6'000'000'000u);
  EXPECT_EQ(totals.comment, 5'000'000'000u);
  EXPECT_EQ(totals.blank, 8'000'000'000u);
  static_assert(sizeof(FileTally{}.total) >= 8 && sizeof(RunTotals{}.lines) >= 8);
}

}  // namespace
}  // namespace tv
