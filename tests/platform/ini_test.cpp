// INI profile files: the cases of tests/data/platform/ini-cases.txt (with
// a FIFO and a file whose reading fails among them), and files that are
// never replaced: an unreadable file, a read-only folder.
#include "platform/ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "test_util.h"

namespace tv {
namespace {

// What stands at `path`, written the way the table writes a file state; a
// temporary file left beside it shows too.
std::string State(const std::string& path) {
  const std::string folder = path.substr(0, path.rfind('/'));
  if (std::filesystem::exists(folder) && test::FolderEntries(folder).size() > 1) return "<more>";
  if (std::filesystem::is_symlink(path)) return "<failing>";
  if (std::filesystem::is_fifo(path)) return "<fifo>";
  if (std::filesystem::is_directory(path)) return "<folder>";
  return std::filesystem::exists(path) ? test::ReadFile(path) : "<missing>";
}

TEST(IniProfile, ReadsWritesAndDeletesKeysLeavingOtherLinesAlone) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("platform/ini-cases.txt")) {
    SCOPED_TRACE(c.line);
    const std::string& op = c.in.at(0);
    const CodePage cp = c.in.at(1) == "utf8" ? CodePage::Utf8 : CodePage::Gbk;
    std::string want = c.out.empty() ? "" : c.out[0], seen, error;
    if (want.rfind('@', 0) == 0) want = test::ReadFile(TV_TEST_DATA_DIR "/" + want.substr(1));
    test::TempDir dir;
    const std::string path = dir / "sub/deeper/a.ini";
    test::LayTableFile(path, c.in.at(2));
    if (op == "lines") {
      const IniDocument doc = IniDocument::Parse(c.in[2], cp).value();
      for (const std::string& line : doc.lines()) seen += "<" + line + ">";
    } else if (op == "path-buffer") {
      seen = std::to_string(PathBufferSize(std::stoul(c.in[2])));
    } else if (op == "read") {
      seen =
          ReadProfileString(path, c.in.at(3), c.in.at(4), "<default>", std::stoul(c.in.at(5)), cp);
    } else {
      const auto call = [&](std::string* e) {
        return op == "write" ? WriteProfileString(path, c.in.at(3), c.in.at(4), c.in.at(5), cp, e)
                             : DeleteProfileSection(path, c.in.at(3), cp, e);
      };
      const bool ok = call(&error);
      EXPECT_EQ(call(nullptr), ok);  // a second call changes nothing more
      // A failed call leaves the file as it was.
      seen = ok                       ? State(path)
             : State(path) == c.in[2] ? "<error: " + error + ">"
                                      : "<changed by a failed call>";
    }
    EXPECT_EQ(seen, want);
  }
}

TEST(IniProfile, FileIsKeptUnlessItCanBeReadAndWritten) {
  // An unreadable file would lose its keys, a read-only one is refused; a
  // writable file in a folder that takes no new entry is written in place.
  for (const auto& [file, folder, want, after] :
       {std::tuple{0200, 0700, "cannot read the existing file", "[S]\r\nk=keep\r\n"},
        std::tuple{0400, 0500, "cannot write: Permission denied", "[S]\r\nk=keep\r\n"},
        std::tuple{0600, 0500, "", ""}}) {
    test::TempDir dir;
    const std::string path = dir / "ro/a.ini";
    test::WriteFile(path, "[S]\r\nk=keep\r\n");
    ASSERT_EQ(::chmod(path.c_str(), file) + ::chmod((dir / "ro").c_str(), folder), 0);
    std::string write_error, delete_error;
    bool wrote = false, deleted = false;
    test::WithoutCapabilities([&] {
      wrote = WriteProfileString(path, "S", "k", "new", CodePage::Gbk, &write_error);
      deleted = DeleteProfileSection(path, "S", CodePage::Gbk, &delete_error);
    });
    EXPECT_EQ(wrote, *want == '\0');
    EXPECT_EQ(deleted, *want == '\0');
    EXPECT_EQ(write_error, want);
    EXPECT_EQ(delete_error, want);
    EXPECT_EQ(test::ReadFile(path), after);
    EXPECT_EQ(test::FolderEntries(dir / "ro"), std::vector<std::string>{"a.ini"});
  }
}

}  // namespace
}  // namespace tv
