// Reading source files into lines, and the two line trims.
#include "engine/source_lines.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/trim.h"
#include "test_util.h"

namespace tv {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines ReadAll(SourceLineReader& reader) {
  Lines out;
  std::string_view line;
  while (reader.ReadSourceLine(line)) out.emplace_back(line);
  // Once at the end, the reader stays there.
  EXPECT_FALSE(reader.ReadSourceLine(line));
  return out;
}

Lines LinesOfText(std::string_view text, size_t buffer_size) {
  SourceLineReader reader(buffer_size);
  reader.OpenText(text);
  return ReadAll(reader);
}

Lines LinesOfFile(const std::string& path, size_t buffer_size) {
  SourceLineReader reader(buffer_size);
  EXPECT_TRUE(reader.Open(path)) << path;
  return ReadAll(reader);
}

struct LineCase {
  std::string text;
  Lines lines;
};

// The line rules, each as a whole file.
const std::vector<LineCase>& Cases() {
  static const std::vector<LineCase> cases = {
      {"", {}},
      {"\n", {""}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\rb\n", {"a\rb"}},
      {"a\r", {"a\r"}},
      {"\r", {"\r"}},
      {"a\r\r\nb", {"a\r", "b"}},
      {"\ra\n", {"\ra"}},
      {"a\x1a\nb\n", {"a"}},
      {"\x1a", {}},
      {"\x1a"s + "a\nb", {}},
      {"a\nb\x1a", {"a", "b"}},
      {"a\n\x1a\n", {"a"}},
      {"a\r\x1a", {"a\r"}},
      {"a\0b\n\0\n"s, {"a\0b"s, "\0"s}},
      {"\n\n\n", {"", "", ""}},
      {"one line that is longer than any small buffer\r\nand a second one\rwith a CR",
       {"one line that is longer than any small buffer", "and a second one\rwith a CR"}},
  };
  return cases;
}

TEST(ReadSourceLine, LineRulesInMemory) {
  for (const LineCase& c : Cases()) {
    EXPECT_EQ(LinesOfText(c.text, SourceLineReader::kDefaultBufferSize), c.lines)
        << "text: " << testing::PrintToString(c.text);
  }
}

TEST(ReadSourceLine, LineRulesWithTinyBuffers) {
  // Every split of a CR LF pair, a 0x1A mark or a long line across buffer
  // refills must give the same lines.
  for (size_t size = 1; size <= 9; ++size) {
    for (const LineCase& c : Cases()) {
      EXPECT_EQ(LinesOfText(c.text, size), c.lines)
          << "buffer " << size << ", text: " << testing::PrintToString(c.text);
    }
  }
}

TEST(ReadSourceLine, LineRulesFromFilesWithTinyBuffers) {
  test::TempDir dir;
  int n = 0;
  for (const LineCase& c : Cases()) {
    const std::string path = dir / (std::to_string(n++) + ".c");
    test::WriteFile(path, c.text);
    for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{64},
                        SourceLineReader::kDefaultBufferSize}) {
      EXPECT_EQ(LinesOfFile(path, size), c.lines)
          << "buffer " << size << ", text: " << testing::PrintToString(c.text);
    }
    EXPECT_EQ(CountFileLines(path), c.lines.size()) << testing::PrintToString(c.text);
    EXPECT_EQ(CountTextLines(c.text), c.lines.size()) << testing::PrintToString(c.text);
  }
}

TEST(ReadSourceLine, LongLinesAcrossManyRefills) {
  const std::string long_line(100000, 'x');
  const std::string text = long_line + "\r\n" + "y\r" + long_line + "\n" + long_line;
  const Lines expected = {long_line, "y\r" + long_line, long_line};
  for (size_t size : {size_t{1}, size_t{7}, size_t{4096}, SourceLineReader::kDefaultBufferSize}) {
    EXPECT_EQ(LinesOfText(text, size), expected) << "buffer " << size;
  }
  test::TempDir dir;
  test::WriteFile(dir / "long.c", text);
  EXPECT_EQ(LinesOfFile(dir / "long.c", 16), expected);
  EXPECT_EQ(CountFileLines(dir / "long.c"), 3u);
}

TEST(ReadSourceLine, CrLfSplitExactlyAtTheDefaultBufferEdge) {
  // The CR is the last byte of the first buffer, the LF the first of the next.
  const size_t size = SourceLineReader::kDefaultBufferSize;
  std::string text(size - 1, 'a');
  text += "\r\nb\r\n";
  text += std::string(size - 4, 'c') + "\x1a" + "\nd";
  test::TempDir dir;
  test::WriteFile(dir / "edge.c", text);
  const Lines expected = {std::string(size - 1, 'a'), "b", std::string(size - 4, 'c')};
  EXPECT_EQ(LinesOfFile(dir / "edge.c", size), expected);
  EXPECT_EQ(CountFileLines(dir / "edge.c"), 3u);
}

TEST(ReadSourceLine, FilesThatCannotBeOpened) {
  test::TempDir dir;
  SourceLineReader reader;
  std::string_view line;
  EXPECT_FALSE(reader.Open(dir / "missing.c"));
  EXPECT_FALSE(reader.ReadSourceLine(line));
  EXPECT_EQ(CountFileLines(dir / "missing.c"), 0u);
  // A folder is not a file.
  EXPECT_FALSE(reader.Open(dir.Path()));
  EXPECT_EQ(CountFileLines(dir.Path()), 0u);
  // A FIFO is refused without waiting for a writer.
  ASSERT_EQ(::mkfifo((dir / "pipe.c").c_str(), 0600), 0);
  EXPECT_FALSE(reader.Open(dir / "pipe.c"));
  EXPECT_EQ(CountFileLines(dir / "pipe.c"), 0u);
}

TEST(ReadSourceLine, UnreadableFileCountsNoLines) {
  if (test::RunningAsRoot()) GTEST_SKIP() << "root reads any file";
  test::TempDir dir;
  test::WriteFile(dir / "locked.c", "a\nb\n");
  ASSERT_EQ(::chmod((dir / "locked.c").c_str(), 0), 0);
  SourceLineReader reader;
  EXPECT_FALSE(reader.Open(dir / "locked.c"));
  EXPECT_EQ(CountFileLines(dir / "locked.c"), 0u);
}

TEST(ReadSourceLine, ReopeningStartsAfresh) {
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

// ---------------------------------------------------------------- trims

TEST(TrimSourceLine, RemovesSpacesAndTabsInTwoPasses) {
  EXPECT_EQ(TrimSourceLine(""), "");
  EXPECT_EQ(TrimSourceLine("   "), "");
  EXPECT_EQ(TrimSourceLine("\t\t"), "");
  EXPECT_EQ(TrimSourceLine(" \t \t "), "");
  EXPECT_EQ(TrimSourceLine("  int a;  "), "int a;");
  EXPECT_EQ(TrimSourceLine(" \t x \t "), "x");
  EXPECT_EQ(TrimSourceLine("\t \tx\t \t"), "x");
  // Inner blanks stay.
  EXPECT_EQ(TrimSourceLine(" a \t b "), "a \t b");
}

TEST(TrimSourceLine, AlternatingRunsKeepARemainder) {
  EXPECT_EQ(TrimSourceLine("\t \t \t \t"), " ");
  EXPECT_EQ(TrimSourceLine(" \t \t x"), " x");
  EXPECT_EQ(TrimSourceLine("x \t \t "), "x ");
  EXPECT_EQ(TrimSourceLine(" \t \tx"), "x");
  EXPECT_EQ(TrimSourceLine("\t \t \tx"), " \tx");
}

TEST(TrimSourceLine, OnlySpaceAndTabAreRemoved) {
  EXPECT_EQ(TrimSourceLine("\f"), "\f");
  EXPECT_EQ(TrimSourceLine(" \v "), "\v");
  EXPECT_EQ(TrimSourceLine("x\r "), "x\r");
  EXPECT_EQ(TrimSourceLine(" \r\t"), "\r");
  EXPECT_EQ(TrimSourceLine(std::string_view("\0 ", 2)), std::string_view("\0", 1));
  EXPECT_EQ(TrimSourceLine("\xA1\xA1"), "\xA1\xA1");  // a GBK full-width space stays
}

TEST(TrimAsmLine, LeadingSpacesThenLeadingTabsOnly) {
  EXPECT_EQ(TrimAsmLine(""), "");
  EXPECT_EQ(TrimAsmLine("    ; x"), "; x");
  EXPECT_EQ(TrimAsmLine("\t; x"), "; x");
  EXPECT_EQ(TrimAsmLine("  \t\t; x"), "; x");
  EXPECT_EQ(TrimAsmLine("\t  ; x"), "  ; x");
  EXPECT_EQ(TrimAsmLine("   "), "");
  EXPECT_EQ(TrimAsmLine("  \t"), "");
  EXPECT_EQ(TrimAsmLine("\t "), " ");
  EXPECT_EQ(TrimAsmLine(" \t x \t "), " x \t ");
  EXPECT_EQ(TrimAsmLine("mov ax, 1 \t"), "mov ax, 1 \t");
}

}  // namespace
}  // namespace tv
