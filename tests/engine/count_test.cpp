// Counting whole files: the fixture files of every family, the classifier
// contract and the run totals.
#include "engine/count.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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
  if (t.read_error != 0) *os << " (read error " << t.read_error << ")";
}

namespace {

// Each fixture file states its own counts on its first line, after its
// family's comment marker.
TEST(FixtureFiles, CountAsTheirFirstLineStates) {
  // The folder and comment marker of each family, in family order.
  const char* const dirs[][2] = {
      {"cfamily", "//"}, {"sql", "--"}, {"pascal", "//"}, {"basic", "'"}, {"asm", ";"}};
  for (int family = 0; family < 5; ++family) {
    const auto [dir, comment] = dirs[family];
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(TV_TEST_DATA_DIR) / "engine" / dir)) {
      const std::string path = entry.path().string(), bytes = test::ReadFile(path);
      SCOPED_TRACE(path);
      ++files;
      std::istringstream first(bytes.substr(0, bytes.find('\n')));
      std::string marker;
      FileTally expected;
      first >> marker >> expected.total >> expected.code >> expected.comment >> expected.blank;
      if (!first || marker != comment) {
        ADD_FAILURE() << "the first line states no counts";
        continue;
      }
      FileTally tally{7, 7, 7, 7};
      RunTotals totals;
      CountFile(static_cast<LanguageFamily>(family), path, tally, totals, CountOptions{});
      EXPECT_EQ(tally, expected);
      EXPECT_EQ(CountFileLines(path), tally.total);
      EXPECT_EQ((std::vector<uint64_t>{totals.code, totals.comment, totals.blank}),
                (std::vector<uint64_t>{tally.code, tally.comment, tally.blank}));
      // The same bytes counted in memory give the same tally.
      EXPECT_EQ(CountText(static_cast<LanguageFamily>(family), bytes, CodePage::Gbk), expected);
    }
    EXPECT_GE(files, 3) << dir;
  }
}

// ---------------------------------------------------------------- contract

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
      const CountOptions options{CodePage::Gbk, &progress};
      for (int family = 0; family < 5; ++family) {
        FileTally tally{5, 4, 3, 2};
        RunTotals totals{10, 11, 12, 13};
        CountFile(static_cast<LanguageFamily>(family), path, tally, totals, options);
        // Only the read that fails after the open is told apart from an empty file.
        EXPECT_EQ(tally, (FileTally{0, 0, 0, 0, path == mem ? EIO : 0}));
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

// The files of one run, in order and through one set of run totals: each
// entry, CountFile and CountText give the same tally whatever was counted
// before, and the progress grows by each file's lines.
TEST(CountContract, FilesOfARun) {
  using Entry = void (*)(const std::string&, FileTally&, RunTotals&, const CountOptions&);
  using F = LanguageFamily;
  std::string big;
  for (int i = 0; i < 10000; ++i) big += (i % 3 == 0) ? "\n" : "int a; // b\n";
  const std::string mixed = "// a\n-- b\n' c\n; d\n{ e }\nx\n";  // counts differ by family
  const std::string next_c = "int a;\n*/\ns = \"/*\";\n", next_pas = "x;\n}\n{ c } // d\ny;\n";
  struct Row {
    Entry count;
    LanguageFamily family;
    std::string text;
    FileTally expected;
    CodePage cp = CodePage::Gbk;
  };
  std::vector<Row> rows = {
      {CountCFamilyFile, F::CFamily, mixed, {6, 5, 1, 0}},
      {CountJavaFile, F::CFamily, mixed, {6, 5, 1, 0}},
      {CountSqlFile, F::Sql, mixed, {6, 5, 1, 0}},
      {CountPascalFile, F::Pascal, mixed, {6, 4, 2, 0}},
      {CountBasicFile, F::Basic, mixed, {6, 5, 1, 0}},
      {CountAsmFile, F::Assembly, mixed, {6, 5, 1, 0}},
      // The same file alone and after one that ends inside a comment with the
      // string flags pending (C) or the seen flags set (Pascal).
      {CountCFamilyFile, F::CFamily, next_c, {3, 2, 1, 0}},
      {CountCFamilyFile, F::CFamily, "s = \"/* //\";\n/* open\n", {2, 1, 1, 0}},
      {CountCFamilyFile, F::CFamily, next_c, {3, 2, 1, 0}},
      {CountPascalFile, F::Pascal, next_pas, {4, 3, 1, 0}},
      {CountPascalFile, F::Pascal, "{ a//b }\n(* c\n", {2, 0, 2, 0}},
      {CountPascalFile, F::Pascal, next_pas, {4, 3, 1, 0}},
      // The code page of the options reaches the classifier.
      {CountPascalFile, F::Pascal, "{ \x81} x\ny;\n", {2, 0, 2, 0}},
      {CountPascalFile, F::Pascal, "{ \x81} x\ny;\n", {2, 2, 1, 0}, CodePage::Utf8},
      {CountCFamilyFile, F::CFamily, "int a;\n// b\n\nc(); // d\n", {4, 2, 2, 1}},
      {CountSqlFile, F::Sql, "SELECT 1;\n-- x\n", {2, 1, 1, 0}},
      {CountCFamilyFile, F::CFamily, "a\n\nb", {3, 2, 0, 1}},
      {CountCFamilyFile, F::CFamily, "\r\n\r\n", {2, 0, 0, 2}},
      {CountCFamilyFile, F::CFamily, "a = 1; /* x */ b = 2;\n", {1, 2, 1, 0}},
      {CountCFamilyFile, F::CFamily, big, {10000, 6666, 6666, 3334}},
      {CountAsmFile, F::Assembly, "a\nb\nc", {3, 3, 0, 0}},
  };
  const Entry by_family[] = {CountCFamilyFile, CountSqlFile, CountPascalFile, CountBasicFile,
                             CountAsmFile};
  for (int f = 0; f < 5; ++f) {
    // Lone CRs do not end lines: this is one line.
    rows.push_back({by_family[f], static_cast<F>(f), "a\rb\r\rc\r", {1, 1, 0, 0}});
    rows.push_back({by_family[f], static_cast<F>(f), "", {}});
  }
  test::TempDir dir;
  RunTotals totals;
  FileTally sum;
  std::atomic<uint64_t> progress{5};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.text.substr(0, 40)));
    test::WriteFile(dir / "f.txt", r.text);
    FileTally direct{100, 100, 100, 100}, dispatched{7, 7, 7, 7};
    r.count(dir / "f.txt", direct, totals, CountOptions{r.cp, &progress});
    EXPECT_EQ(direct, r.expected);
    EXPECT_EQ(progress.load(), 5 + (sum.total += r.expected.total));
    CountFile(r.family, dir / "f.txt", dispatched, totals, CountOptions{r.cp});
    EXPECT_EQ(dispatched, r.expected);
    EXPECT_EQ(CountText(r.family, r.text, r.cp), r.expected);
    sum.code += 2 * r.expected.code;
    sum.comment += 2 * r.expected.comment;
    sum.blank += 2 * r.expected.blank;
  }
  EXPECT_EQ(totals.code, sum.code);
  EXPECT_EQ(totals.comment, sum.comment);
  EXPECT_EQ(totals.blank, sum.blank);
  // The pre-counted line total is the run's business, not the classifier's.
  EXPECT_EQ(totals.lines, 0u);
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
