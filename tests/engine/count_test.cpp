// Counting whole files: the fixture files of every family, the classifier
// contract, the abort flag, the run totals, and the per-line classes the
// source viewer shows weighed against the counter.
#include "engine/count.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <future>
#include <map>

#include "engine/line_classes.h"
#include "engine/source_lines.h"
#include "test_util.h"

namespace tv {

void PrintTo(const FileTally& t, std::ostream* os) {
  *os << t.total << " " << t.code << " " << t.comment << " " << t.blank;
  if (t.read_error != 0) *os << " (read error " << t.read_error << ")";
}

namespace {

FileTally Weigh(const std::vector<LineClass>& classes) {
  FileTally t{.total = classes.size()};
  for (LineClass c : classes) Apply(c, t);
  return t;
}

// Each fixture file states its own counts on its first line, after its
// family's comment marker. Its per-line classes weigh as its count under
// either code page.
TEST(FixtureFiles, CountAsTheirFirstLineStates) {
  // The folder and comment marker of each family, in family order.
  const char* const dirs[][2] = {
      {"cfamily", "//"}, {"sql", "--"}, {"pascal", "//"}, {"basic", "'"}, {"asm", ";"}};
  for (int f = 0; f < 5; ++f) {
    const auto [dir, comment] = dirs[f];
    const auto family = static_cast<LanguageFamily>(f);
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
      CountFile(family, path, tally, totals, CountOptions{});
      EXPECT_EQ(tally, expected);
      EXPECT_EQ(CountFileLines(path), tally.total);
      EXPECT_EQ((std::vector<uint64_t>{totals.code, totals.comment, totals.blank}),
                (std::vector<uint64_t>{tally.code, tally.comment, tally.blank}));
      // The same bytes counted in memory give the same tally.
      EXPECT_EQ(CountText(family, bytes, CodePage::Gbk), expected);
      for (CodePage cp : {CodePage::Gbk, CodePage::Utf8}) {
        EXPECT_EQ(Weigh(ClassifyLines(family, bytes, cp)), CountText(family, bytes, cp));
      }
    }
    EXPECT_GE(files, 3) << dir;
  }
}

// Lines the counting loop never shows its classifier keep the class the open
// comment or string gives them; a stop ends the classes within one chunk.
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
  std::string lines;
  for (int i = 0; i < 100000; ++i) lines += "x;\n";
  const std::atomic<bool> stop{true};
  EXPECT_EQ(ClassifyLines(LanguageFamily::CFamily, lines, CodePage::Gbk, &stop).size(),
            (kStopCheckBytes + 2) / 3);
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

// The abort flag is read once per chunk: set, it ends the count of a file at
// once; clear or not passed at all, it changes nothing.
TEST(CountContract, ASetAbortFlagEndsTheCountBeforeTheNextChunk) {
  // About 1.5 MB: many chunks of every reader, with code, comments and blanks.
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "int x; /* c */\n\n-- ' ; {c}\n";
  test::TempDir dir;
  const std::string path = dir / "big.src";
  test::WriteFile(path, text);
  ASSERT_EQ(CountTextLines(text), 150000u);
  const std::atomic<int> clear{0}, set{1};
  const std::atomic<int>* const flags[] = {nullptr, &clear, &set};
  for (const std::atomic<int>* flag : flags) {
    SCOPED_TRACE(flag == nullptr ? "no flag" : flag == &set ? "flag set" : "flag clear");
    EXPECT_EQ(CountFileLines(path, flag), flag == &set ? 0u : 150000u) << "the line count";
    for (int family = 0; family < 5; ++family) {
      SCOPED_TRACE(family);
      const auto f = static_cast<LanguageFamily>(family);
      FileTally tally;
      RunTotals totals;
      std::atomic<uint64_t> progress{0};
      CountFile(f, path, tally, totals, {CodePage::Gbk, &progress, flag});
      EXPECT_EQ(tally, flag == &set ? FileTally{} : CountText(f, text, CodePage::Gbk));
      EXPECT_EQ(totals.code + totals.comment + totals.blank,
                tally.code + tally.comment + tally.blank);
      EXPECT_EQ(progress.load(), tally.total) << "progress matches what was counted";
    }
  }
}

// The files of run_files.tsv, in order and through one set of run totals:
// each entry, CountFile and CountText give the same tally whatever was
// counted before, and the progress grows by each file's lines.
TEST(CountContract, FilesOfARun) {
  using Entry = void (*)(const std::string&, FileTally&, RunTotals&, const CountOptions&);
  using F = LanguageFamily;
  const std::map<std::string, std::pair<Entry, F>> entries = {
      {"c", {CountCFamilyFile, F::CFamily}}, {"java", {CountJavaFile, F::CFamily}},
      {"sql", {CountSqlFile, F::Sql}},       {"pascal", {CountPascalFile, F::Pascal}},
      {"basic", {CountBasicFile, F::Basic}}, {"asm", {CountAsmFile, F::Assembly}}};
  std::vector<test::TableCase> rows = test::ReadEscapedTableCases("engine/run_files.tsv");
  std::string big;  // many read chunks
  for (int i = 0; i < 10000; ++i) big += (i % 3 == 0) ? "\n" : "int a; // b\n";
  rows.push_back({"10,000 lines", {"c", big}, {"10000", "6666", "6666", "3334"}});
  test::TempDir dir;
  RunTotals totals;
  FileTally sum;
  std::atomic<uint64_t> progress{5};
  for (const test::TableCase& r : rows) {
    SCOPED_TRACE(r.line);
    const auto [count, family] = entries.at(r.in.at(0));
    const CodePage cp = r.in.size() > 2 ? CodePage::Utf8 : CodePage::Gbk;
    auto n = [&](size_t i) { return std::stoull(r.out.at(i)); };
    const FileTally expected{n(0), n(1), n(2), n(3)};
    test::WriteFile(dir / "f.txt", r.in[1]);
    FileTally direct{100, 100, 100, 100}, dispatched{7, 7, 7, 7};
    count(dir / "f.txt", direct, totals, CountOptions{cp, &progress});
    EXPECT_EQ(direct, expected);
    EXPECT_EQ(progress.load(), 5 + (sum.total += expected.total));
    CountFile(family, dir / "f.txt", dispatched, totals, CountOptions{cp});
    EXPECT_EQ(dispatched, expected);
    EXPECT_EQ(CountText(family, r.in[1], cp), expected);
    sum.code += 2 * expected.code;
    sum.comment += 2 * expected.comment;
    sum.blank += 2 * expected.blank;
  }
  EXPECT_EQ((std::vector<uint64_t>{totals.code, totals.comment, totals.blank}),
            (std::vector<uint64_t>{sum.code, sum.comment, sum.blank}));
  // The pre-counted line total is the run's business, not the classifier's.
  EXPECT_EQ(totals.lines, 0u);
}

}  // namespace
}  // namespace tv
