// Reading source files into lines, and the two line trims.
#include "engine/source_lines.h"

#include <initializer_list>

#include "engine/count.h"
#include "engine/trim.h"
#include "test_util.h"

namespace tv {
namespace {

using Lines = std::vector<std::string>;
constexpr size_t kDefault = SourceLineReader::kDefaultBufferSize;

Lines ReadAll(SourceLineReader& reader) {
  Lines out;
  std::string_view line;
  while (reader.ReadSourceLine(line)) out.emplace_back(line);
  // Once at the end, the reader stays there.
  EXPECT_FALSE(reader.ReadSourceLine(line));
  return out;
}

// Every way of splitting `text` into lines must give `expected`: the reader
// over memory and over a file with each buffer size (a CR LF pair, a 0x1A
// mark or a long line split across refills changes nothing), both
// pre-counts, and the line total of every family's count.
void ExpectLines(const std::string& text, const Lines& expected,
                 std::initializer_list<size_t> sizes = {1, 2, 3, 5, 64, kDefault}) {
  SCOPED_TRACE(testing::PrintToString(text.substr(0, 60)));
  test::TempDir dir;
  test::WriteFile(dir / "f.c", text);
  SourceLineReader memory;
  memory.OpenText(text);
  EXPECT_EQ(ReadAll(memory), expected);
  for (size_t size : sizes) {
    SourceLineReader reader(size);
    EXPECT_TRUE(reader.Open(dir / "f.c"));
    EXPECT_EQ(ReadAll(reader), expected) << "buffer " << size;
  }
  EXPECT_EQ(CountFileLines(dir / "f.c"), expected.size());
  EXPECT_EQ(CountTextLines(text), expected.size());
  for (int family = 0; family < 5; ++family) {
    FileTally tally;
    RunTotals totals;
    CountFile(static_cast<LanguageFamily>(family), dir / "f.c", tally, totals, CountOptions{});
    EXPECT_EQ(tally.total, expected.size());
    EXPECT_EQ(CountText(static_cast<LanguageFamily>(family), text, CodePage::Gbk).total,
              expected.size());
  }
}

// Each row of the table file is one text or one trim; its head says how rows
// are written.
TEST(SourceLines, SplitAndTrimAsTheTableStates) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("engine/source_lines.tsv")) {
    SCOPED_TRACE(c.line);
    const std::string& call = c.in.at(0);
    const std::string& in = c.in.at(1);
    const std::string out = c.out.empty() ? "" : c.out[0];
    if (call == "lines") {
      Lines expected(c.out.begin() + 1, c.out.end());
      expected.resize(std::stoul(out));
      ExpectLines(in, expected);
    } else {
      EXPECT_EQ(call == "trim" ? TrimSourceLine(in) : TrimAsmLine(in), out);
      EXPECT_TRUE(call == "trim" || call == "asm-trim") << "unknown call";
    }
  }
}

TEST(SourceLines, LongLinesAcrossManyRefills) {
  const std::string long_line(100000, 'x');
  ExpectLines(long_line + "\r\n" + "y\r" + long_line + "\n" + long_line,
              {long_line, "y\r" + long_line, long_line}, {1, 7, 16, 4096, kDefault});
  // Blank lines longer than the counters' own chunks.
  const std::string spaces(70000, ' '), tabs(70000, '\t');
  ExpectLines(spaces + "\r\n" + tabs, {spaces, tabs}, {kDefault});
}

TEST(SourceLines, ReopeningStartsAfresh) {
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "1\n2\n3");
  test::WriteFile(dir / "b.c", "x\r\ny");
  SourceLineReader reader(2);
  ASSERT_TRUE(reader.Open(dir / "a.c"));
  std::string_view line;
  ASSERT_TRUE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "1");
  ASSERT_TRUE(reader.Open(dir / "b.c"));
  EXPECT_EQ(ReadAll(reader), (Lines{"x", "y"}));
  reader.OpenText("m\nn");
  EXPECT_EQ(ReadAll(reader), (Lines{"m", "n"}));
}

}  // namespace
}  // namespace tv
