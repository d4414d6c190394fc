// INI profile files: reading with defaults and buffer sizes, writing in
// place, appending, deleting sections, code pages and damaged files.
#include "platform/ini.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "test_util.h"

namespace tv {
namespace {

constexpr CodePage kGbk = CodePage::Gbk;
constexpr CodePage kUtf8 = CodePage::Utf8;
const std::string kZhongUtf8 = "\xE4\xB8\xAD";  // "中"
const std::string kZhongGbk = "\xD6\xD0";

std::string Read(const std::string& path, std::string_view section, std::string_view key,
                 size_t size = 256, CodePage cp = kGbk) {
  return ReadProfileString(path, section, key, "<default>", size, cp);
}

// ---------------------------------------------------------------- reading

TEST(IniRead, NamesMatchWithoutRegardToCase) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  test::WriteFile(path, "[Other]\r\nshowPROCpercent=1\r\n[CURRENT PATH]\r\nPath1=/x\r\n");
  EXPECT_EQ(Read(path, "OTHER", "ShowProcPercent"), "1");
  EXPECT_EQ(Read(path, "other", "SHOWPROCPERCENT"), "1");
  EXPECT_EQ(Read(path, "current path", "path1"), "/x");
}

TEST(IniRead, MissingFileSectionOrKeyGivesTheDefault) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  EXPECT_EQ(Read(path, "S", "k"), "<default>");
  test::WriteFile(path, "[S]\r\nk=v\r\n");
  EXPECT_EQ(Read(path, "T", "k"), "<default>");
  EXPECT_EQ(Read(path, "S", "j"), "<default>");
  EXPECT_EQ(Read(path, "S", "k"), "v");
  EXPECT_EQ(ReadProfileString(dir.Path(), "S", "k", "d", 256, kGbk), "d");
  test::WriteFile(dir / "empty.ini", "");
  EXPECT_EQ(Read(dir / "empty.ini", "S", "k"), "<default>");
}

TEST(IniRead, EmptyValueIsNotTheDefault) {
  test::TempDir dir;
  test::WriteFile(dir / "a.ini", "[S]\r\nk=\r\n");
  EXPECT_EQ(Read(dir / "a.ini", "S", "k"), "");
}

TEST(IniRead, BlanksAroundNamesAndValues) {
  test::TempDir dir;
  test::WriteFile(dir / "a.ini", "  [S]  \r\n  k  =  v w  \r\nt=\tx\t\r\n");
  EXPECT_EQ(Read(dir / "a.ini", "S", "k"), "v w");
  EXPECT_EQ(Read(dir / "a.ini", "S", "t"), "x");
}

TEST(IniRead, SectionEndsAtTheNextSectionLine) {
  test::TempDir dir;
  test::WriteFile(dir / "a.ini",
                  "[A]\r\np=a[b]\r\nq=1\r\n  [B]\r\nr=2\r\n[A2]\r\ns=3\r\n[A]\r\nt=4\r\n");
  // A value holding "[" does not end the section.
  EXPECT_EQ(Read(dir / "a.ini", "A", "q"), "1");
  EXPECT_EQ(Read(dir / "a.ini", "A", "p"), "a[b]");
  EXPECT_EQ(Read(dir / "a.ini", "A", "r"), "<default>");
  EXPECT_EQ(Read(dir / "a.ini", "B", "r"), "2");
  EXPECT_EQ(Read(dir / "a.ini", "B", "q"), "<default>");
  // The section name is matched whole, not as a prefix.
  EXPECT_EQ(Read(dir / "a.ini", "A2", "q"), "<default>");
  EXPECT_EQ(Read(dir / "a.ini", "A2", "s"), "3");
}

TEST(IniRead, TextModeLines) {
  test::TempDir dir;
  test::WriteFile(dir / "lf.ini", "[S]\nk=v\nj=w");
  EXPECT_EQ(Read(dir / "lf.ini", "S", "k"), "v");
  EXPECT_EQ(Read(dir / "lf.ini", "S", "j"), "w");
  test::WriteFile(dir / "crlf.ini", "[S]\r\nk=v\r\n");
  EXPECT_EQ(Read(dir / "crlf.ini", "S", "k"), "v");
  EXPECT_EQ(SplitTextLines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitTextLines("a\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(SplitTextLines(""), (std::vector<std::string>{}));
}

TEST(IniRead, DamagedLinesAreTolerated) {
  test::TempDir dir;
  test::WriteFile(dir / "a.ini",
                  "junk before\r\n[S]\r\nno equals sign\r\n=novalue\r\nk=v=w\r\n[Broken\r\n"
                  "x=1\r\n[T]\r\nk=t\r\n");
  EXPECT_EQ(Read(dir / "a.ini", "S", "k"), "v=w");
  EXPECT_EQ(Read(dir / "a.ini", "T", "k"), "t");
  // A binary file reads as defaults without harm.
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131) & 0xFF);
  test::WriteFile(dir / "bin.ini", binary);
  EXPECT_EQ(Read(dir / "bin.ini", "S", "k"), "<default>");
}

TEST(IniRead, FileTextIsInTheAnsiCodePage) {
  test::TempDir dir;
  test::WriteFile(dir / "gbk.ini",
                  "[" + kZhongGbk + "]\r\n" + kZhongGbk + "=" + kZhongGbk + "x\r\n");
  EXPECT_EQ(Read(dir / "gbk.ini", kZhongUtf8, kZhongUtf8), kZhongUtf8 + "x");
  test::WriteFile(dir / "utf8.ini", "[S]\r\nk=" + kZhongUtf8 + "\r\n");
  EXPECT_EQ(Read(dir / "utf8.ini", "S", "k", 256, kUtf8), kZhongUtf8);
}

TEST(IniRead, ByteOrderMarkMeansUtf8) {
  test::TempDir dir;
  test::WriteFile(dir / "bom.ini", "\xEF\xBB\xBF[S]\r\nk=" + kZhongUtf8 + "\r\n");
  EXPECT_EQ(Read(dir / "bom.ini", "S", "k", 256, kGbk), kZhongUtf8);
  EXPECT_EQ(Read(dir / "bom.ini", "S", "k", 256, kUtf8), kZhongUtf8);
}

TEST(IniRead, TruncatedToBufferSizeWithoutSplittingACharacter) {
  test::TempDir dir;
  test::WriteFile(dir / "a.ini", "[S]\r\nk=abcdef\r\ng=a" + kZhongGbk + "b\r\n");
  EXPECT_EQ(Read(dir / "a.ini", "S", "k", 4), "abc");
  EXPECT_EQ(Read(dir / "a.ini", "S", "k", 7), "abcdef");
  EXPECT_EQ(Read(dir / "a.ini", "S", "k", 1), "");
  // The limit counts GBK bytes: "a中" is 3 of them.
  EXPECT_EQ(Read(dir / "a.ini", "S", "g", 3), "a");
  EXPECT_EQ(Read(dir / "a.ini", "S", "g", 4), "a" + kZhongUtf8);
  EXPECT_EQ(Read(dir / "a.ini", "S", "g", 5), "a" + kZhongUtf8 + "b");
  // Under UTF-8 the character is 3 bytes.
  test::WriteFile(dir / "u.ini", "[S]\r\ng=a" + kZhongUtf8 + "b\r\n");
  EXPECT_EQ(Read(dir / "u.ini", "S", "g", 4, kUtf8), "a");
  EXPECT_EQ(Read(dir / "u.ini", "S", "g", 5, kUtf8), "a" + kZhongUtf8);
  // The extension lists are read with 2048 bytes: 2047 are kept.
  test::WriteFile(dir / "long.ini", "[S]\r\nType=" + std::string(3000, 'x') + "\r\n");
  EXPECT_EQ(Read(dir / "long.ini", "S", "Type", 2048), std::string(2047, 'x'));
  EXPECT_GE(PathBufferSize(256), 4096u);
  EXPECT_GE(PathBufferSize(8192), 8192u);
}

// ---------------------------------------------------------------- writing

TEST(IniWrite, ReplacesInPlaceAppendsKeyAndSection) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  test::WriteFile(path, "[A]\r\nx=1\r\ny=2\r\n[B]\r\nx=3\r\n");
  ASSERT_TRUE(WriteProfileString(path, "A", "x", "9", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=9\r\ny=2\r\n[B]\r\nx=3\r\n");
  ASSERT_TRUE(WriteProfileString(path, "A", "z", "5", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=9\r\ny=2\r\nz=5\r\n[B]\r\nx=3\r\n");
  ASSERT_TRUE(WriteProfileString(path, "C", "k", "v", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=9\r\ny=2\r\nz=5\r\n[B]\r\nx=3\r\n[C]\r\nk=v\r\n");
  ASSERT_TRUE(WriteProfileString(path, "B", "x", "", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=9\r\ny=2\r\nz=5\r\n[B]\r\nx=\r\n[C]\r\nk=v\r\n");
}

TEST(IniWrite, NamesMatchWithoutRegardToCase) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  test::WriteFile(path, "[Other]\r\nShowProcPercent=1\r\n");
  ASSERT_TRUE(WriteProfileString(path, "OTHER", "showprocpercent", "0", kGbk));
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  EXPECT_EQ(Read(path, "Other", "ShowProcPercent"), "0");
}

TEST(IniWrite, CreatesFileAndFolderWithoutBlankLines) {
  test::TempDir dir;
  const std::string path = dir / "sub/deeper/Setup.ini";
  ASSERT_TRUE(WriteProfileString(path, "S", "k", "v", kGbk));
  ASSERT_TRUE(WriteProfileString(path, "T", "j", "w", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[S]\r\nk=v\r\n[T]\r\nj=w\r\n");
  // Nothing but the file is left in its folder.
  EXPECT_EQ(test::FolderEntries(dir / "sub/deeper"), (std::vector<std::string>{"Setup.ini"}));
}

TEST(IniWrite, KeepsLinesItDoesNotChange) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  // LF line ends, odd lines and GBK bytes elsewhere survive a write; every
  // line is written back with CR LF.
  test::WriteFile(path, "; note\n[S]\nodd line\nk=1\n[T]\nn=" + kZhongGbk + "\n");
  ASSERT_TRUE(WriteProfileString(path, "S", "k", "2", kGbk));
  EXPECT_EQ(test::ReadFile(path),
            "; note\r\n[S]\r\nodd line\r\nk=2\r\n[T]\r\nn=" + kZhongGbk + "\r\n");
}

TEST(IniWrite, ValuesAreWrittenInTheFilesCodePage) {
  test::TempDir dir;
  ASSERT_TRUE(WriteProfileString(dir / "gbk.ini", "S", "k", kZhongUtf8, kGbk));
  EXPECT_EQ(test::ReadFile(dir / "gbk.ini"), "[S]\r\nk=" + kZhongGbk + "\r\n");
  ASSERT_TRUE(WriteProfileString(dir / "utf8.ini", "S", "k", kZhongUtf8, kUtf8));
  EXPECT_EQ(test::ReadFile(dir / "utf8.ini"), "[S]\r\nk=" + kZhongUtf8 + "\r\n");
  // A file with a byte-order mark stays UTF-8 with its mark.
  test::WriteFile(dir / "bom.ini", "\xEF\xBB\xBF[S]\r\nk=1\r\n");
  ASSERT_TRUE(WriteProfileString(dir / "bom.ini", "S", "j", kZhongUtf8, kGbk));
  EXPECT_EQ(test::ReadFile(dir / "bom.ini"), "\xEF\xBB\xBF[S]\r\nk=1\r\nj=" + kZhongUtf8 + "\r\n");
}

TEST(IniWrite, SectionWithoutClosingBracketIsLeftAlone) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  test::WriteFile(path, "[Broken\r\nx=1\r\n[T]\r\nk=t\r\n");
  ASSERT_TRUE(WriteProfileString(path, "T", "k", "u", kGbk));
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text.rfind("[Broken\r\nx=1\r\n", 0), 0u) << text;
  EXPECT_EQ(Read(path, "T", "k"), "u");
}

TEST(IniWrite, UnreadableFileIsNotOverwritten) {
  if (test::RunningAsRoot()) GTEST_SKIP() << "root reads any file";
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  test::WriteFile(path, "[S]\r\nk=keep\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
  std::string error;
  EXPECT_FALSE(WriteProfileString(path, "S", "j", "new", kGbk, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(DeleteProfileSection(path, "S", kGbk));
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(test::ReadFile(path), "[S]\r\nk=keep\r\n");
}

TEST(IniWrite, FileThatIsNotRegularIsNeitherReadNorReplaced) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // Hold the FIFO open for reading and writing so that no open of it can
  // block; closing it is the way out if the code under test reads it.
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  auto result = std::async(std::launch::async, [&] {
    const std::string value = Read(path, "S", "k");
    const bool wrote = WriteProfileString(path, "S", "k", "v", kGbk);
    return std::make_pair(value, wrote);
  });
  const bool finished = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  ::close(fd);
  EXPECT_TRUE(finished) << "a FIFO blocked the INI functions";
  const auto [value, wrote] = result.get();
  EXPECT_EQ(value, "<default>");
  EXPECT_FALSE(wrote);
  EXPECT_TRUE(std::filesystem::is_fifo(path));
}

TEST(IniWrite, ReadOnlyFolderFailsAndKeepsTheFile) {
  if (test::RunningAsRoot()) GTEST_SKIP() << "root writes anywhere";
  test::TempDir dir;
  const std::string path = dir / "ro/a.ini";
  test::WriteFile(path, "[S]\r\nk=keep\r\n");
  ASSERT_EQ(::chmod((dir / "ro").c_str(), 0500), 0);
  EXPECT_FALSE(WriteProfileString(path, "S", "k", "new", kGbk));
  ASSERT_EQ(::chmod((dir / "ro").c_str(), 0700), 0);
  EXPECT_EQ(test::ReadFile(path), "[S]\r\nk=keep\r\n");
}

// ---------------------------------------------------------------- deleting

TEST(IniDelete, RemovesTheWholeSection) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  test::WriteFile(path,
                  "[A]\r\nx=1\r\n[Selected Files]\r\nTotalFileNum=2\r\nFile1=a\r\n"
                  "File2=b\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(DeleteProfileSection(path, "selected files", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
  // Deleting a section that is not there changes nothing.
  ASSERT_TRUE(DeleteProfileSection(path, "Missing", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(DeleteProfileSection(path, "B", kGbk));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=1\r\n");
}

TEST(IniDocument, InMemoryEditing) {
  IniDocument doc("[A]\nx=1\n[B]\ny=2\n[A]\nz=3\n", kGbk);
  EXPECT_EQ(doc.Get("a", "X"), "1");
  EXPECT_EQ(doc.Get("A", "z"), std::nullopt);  // only the first section named A
  EXPECT_EQ(doc.Get("C", "x"), std::nullopt);
  doc.Set("B", "y", "7");
  doc.Set("D", "k", "v");
  EXPECT_EQ(doc.Serialize(), "[A]\r\nx=1\r\n[B]\r\ny=7\r\n[A]\r\nz=3\r\n[D]\r\nk=v\r\n");
  doc.DeleteSection("a");
  EXPECT_EQ(doc.Serialize(), "[B]\r\ny=7\r\n[D]\r\nk=v\r\n");
  IniDocument empty;
  empty.Set("S", "k", "v");
  EXPECT_EQ(empty.Serialize(), "[S]\r\nk=v\r\n");
}

}  // namespace
}  // namespace tv

namespace tv {
namespace {

TEST(IniWriteSafetyTest, LineBreaksInValuesAreRefusedAndChangeNothing) {
  test::TempDir dir;
  const std::string path = dir / "a.ini";
  ASSERT_TRUE(WriteProfileString(path, "S", "Key", "one", CodePage::Gbk));
  const std::string before = test::ReadFile(path);
  std::string error;
  EXPECT_FALSE(WriteProfileString(path, "S", "Key", "x\r\n[Other]\r\nY=1", CodePage::Gbk, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteProfileString(path, "S", "K\ney", "v", CodePage::Gbk));
  EXPECT_EQ(test::ReadFile(path), before);
}

TEST(IniWriteSafetyTest, DeletingFromAMissingFileCreatesNothing) {
  test::TempDir dir;
  EXPECT_TRUE(DeleteProfileSection(dir / "none.ini", "S", CodePage::Gbk));
  EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

}  // namespace
}  // namespace tv
