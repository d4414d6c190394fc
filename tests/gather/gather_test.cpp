// The gathering cases of tests/data/gather (see its README), then what only code can set up.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "runs/directory_walker.h"
#include "runs/project_files.h"
#include "runs/selection_files.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kData = TV_TEST_DATA_DIR "/gather/";

/// Every NAME under tests/data/gather that has a "NAME.expected" beside it.
std::vector<std::string> Inputs() {
  std::vector<std::string> inputs;
  for (const auto& e : std::filesystem::recursive_directory_iterator(kData)) {
    const std::string p = e.path().string();
    if (p.ends_with(".expected")) inputs.push_back(p.substr(0, p.size() - 9));
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

/// `text` with every "{dir}" replaced by `dir`.
std::string InFolder(const std::string& dir, std::string text) {
  for (size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

/// A temporary tree with its own settings file and stop request.
class GatherTest : public ::testing::Test {
 protected:
  GatherTest() {
    ctx_.settings_path = tree_ / "Setup.ini";  // absent until a test writes it
    ctx_.stop = &stop_;
  }

  /// Creates in `dir` the entries of `layout`, separated by blanks: "NAME" a file
  /// with one line of code, "NAME/" a folder, "NAME|" a FIFO, "NAME->TARGET" a
  /// symbolic link (a TARGET beginning with "/" is taken inside `dir`).
  void Make(const std::string& layout, const std::string& dir) {
    std::istringstream words(layout);
    for (std::string word; words >> word;) {
      const size_t arrow = word.find("->");
      std::string name = dir + "/" + word.substr(0, arrow);
      std::filesystem::create_directories(std::filesystem::path(name).parent_path());
      if (arrow != std::string::npos) {
        const std::string target = word.substr(arrow + 2);
        std::filesystem::create_symlink(target.starts_with("/") ? dir + target : target, name);
      } else if (name.ends_with("|")) {
        name.pop_back();
        ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0) << name;
      } else if (!name.ends_with("/")) {
        WriteFile(name, "int x;\n");
      }
    }
  }

  std::vector<std::string> GatherSelection(std::string_view text) {
    WriteFile(tree_ / "sel.ini", text);
    RunList list;
    GatherSelectionFile(tree_ / "sel.ini", list, ctx_);
    return list.paths();
  }

  TempDir tree_;
  StopFlag stop_{0};
  GatherContext ctx_;
};

class FixtureTest : public GatherTest, public ::testing::WithParamInterface<std::string> {};

// The case's folder is copied, so that the entries git cannot hold can be
// made beside its files and "{dir}" can name the copy.
TEST_P(FixtureTest, GathersTheExpectedPathsInOrder) {
  const std::filesystem::path input(GetParam());
  const std::string dir = tree_ / input.parent_path().filename().string();
  std::filesystem::copy(input.parent_path(), dir, std::filesystem::copy_options::recursive);
  Make(ReadFile(dir + "/links-and-fifos"), dir);
  ctx_.settings_path = dir + "/Setup.ini";
  ctx_.rules = ReadCountableRules(ctx_.settings_path);
  stop_ = std::filesystem::exists(dir + "/stop");
  const std::string copy = dir + "/" + input.filename().string();
  if (std::filesystem::is_regular_file(copy)) WriteFile(copy, InFolder(dir, ReadFile(copy)));
  WalkMemory walks;  // shared by the walks of the case, as by those of a run
  ctx_.walks = &walks;
  RunList list;
  if (GetParam().starts_with(kData + "project/")) {
    AddProjectMembers(copy, list, CodePage::Gbk);
  } else if (GetParam().starts_with(kData + "folder-list/")) {
    // The input lists the folders that are written to the settings file.
    ctx_.settings_path = dir + "/new/Setup.ini";
    const bool existed = std::filesystem::exists(ctx_.settings_path);
    EXPECT_EQ(ReadFolderList(ctx_.settings_path, CodePage::Gbk).has_value(), existed);
    const std::vector<std::string> folders = Lines(ReadFile(copy));
    ASSERT_TRUE(WriteFolderList(ctx_.settings_path, folders, CodePage::Gbk));
    EXPECT_EQ(ReadFile(ctx_.settings_path), InFolder(dir, ReadFile(GetParam() + ".written")));
    EXPECT_THAT(ReadFolderList(ctx_.settings_path, CodePage::Gbk),
                ::testing::Optional(ElementsAreArray(folders)));
    GatherFolderList(list, ctx_);
  } else {
    GatherSelectionFile(copy, list, ctx_);
  }
  EXPECT_THAT(list.paths(),
              ElementsAreArray(Lines(InFolder(dir, ReadFile(GetParam() + ".expected")))));
}

INSTANTIATE_TEST_SUITE_P(Cases, FixtureTest, ::testing::ValuesIn(Inputs()), [](const auto& info) {
  std::string name = info.param.substr(kData.size());
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST_F(GatherTest, StopDuringTheWalkKeepsAPrefixOfTheFullWalk) {
  std::string layout;
  for (int n = 0; n < 1000; ++n)
    layout += "d" + std::to_string(n / 50) + "/f" + std::to_string(n) + ".c ";
  Make(layout, tree_.Path());
  RunList full, part;
  WalkDirectory(tree_.Path(), full, ctx_);
  ASSERT_EQ(full.size(), 1000u);
  // The stop comes once the walk has opened its first subfolder.
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, (tree_ / "d0").c_str(), IN_OPEN), 0);
  std::thread walker([&] { WalkDirectory(tree_.Path(), part, ctx_); });
  char event[sizeof(inotify_event) + NAME_MAX + 1];
  EXPECT_GT(::read(watch, event, sizeof event), 0);
  stop_ = 1;
  walker.join();
  ::close(watch);
  // Wherever the stop fell, what was gathered is the beginning of the walk.
  ASSERT_LE(part.size(), full.size());
  for (size_t i = 0; i < part.size(); ++i) EXPECT_EQ(part.paths()[i], full.paths()[i]);
}

// Each case of ignore-cases.tsv is laid out in a fresh tree; the walk that
// honours ignore files keeps what git itself lists there.
TEST_F(GatherTest, HonouredIgnoreFilesKeepWhatGitLists) {
  const std::string home = tree_ / "home", home_before = std::getenv("HOME");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  int n = 0;
  for (const TableCase& c : ReadEscapedTableCases("gather/ignore-cases.tsv")) {
    SCOPED_TRACE(c.line);
    const std::string top = tree_ / ("case" + std::to_string(n++)), dir = top + "/" + c.in[0];
    std::filesystem::remove_all(home);
    const bool git = c.in[1] == "git";
    if (git) CommandOutput("git init -q '" + top + "'");
    for (size_t i = 2; i < c.in.size(); ++i) {
      const std::string entry = c.in[i].substr(c.in[i][0] == '+');
      const size_t eq = entry.find('=');
      const std::string path = entry.substr(0, eq);
      WriteFile(path.starts_with("~/") ? home + path.substr(1) : top + "/" + path,
                eq == std::string::npos ? "int x;\n" : entry.substr(eq + 1));
      if (c.in[i][0] == '+') CommandOutput("git -C '" + top + "' add -f '" + path + "'");
    }
    auto walk = [&](bool honour) {  // sorted, as git lists in its own order
      RunList list;
      GatherContext ctx = ctx_;
      ctx.honor_ignore_files = honour;
      WalkDirectory(dir, list, ctx);
      std::vector<std::string> paths;
      for (const std::string& p : list.paths()) paths.push_back(p.substr(dir.size() + 1));
      std::sort(paths.begin(), paths.end());
      return paths;
    };
    std::vector<std::string> want = git ? c.out : walk(false);
    const std::string listed =
        "cd '" + dir + "' && git ls-files -co --exclude-standard | LC_ALL=C sort";
    if (git && want.empty()) {
      for (const std::string& p : Lines(CommandOutput(listed))) {
        if (p.ends_with(".c")) want.push_back(p);
      }
    }
    EXPECT_EQ(walk(true), want);
  }
  ::setenv("HOME", home_before.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
}

// The sub-folder option is read once for a walk of many folders, and again
// whenever the file has changed in any way, so a change applies from the
// next folder on.
TEST_F(GatherTest, SubfolderOptionIsReadAgainOnlyWhenTheSettingsChange) {
  std::string layout;
  for (int n = 0; n < 100; ++n) layout += "d" + std::to_string(n) + "/sub/f.c ";
  Make(layout, tree_.Path());
  WalkMemory memory;
  ctx_.walks = &memory;
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_EQ(list.size(), 100u);
  EXPECT_EQ(memory.option.reads(), 1u);
  const std::string& ini = ctx_.settings_path;
  const struct {
    const char* change;  // "" none, "=V" the value V written, "tN" modified at 1 s + N ns
    bool descend;
    size_t reads;
  } steps[] = {{"=1", false, 2}, {"", false, 2},      {"=00", true, 3}, {"t1", true, 4},
               {"t2", true, 5},  {"remove", true, 6}, {"", true, 6}};
  for (const auto& [change, descend, reads] : steps) {
    const std::string_view c = change;
    if (c.starts_with('=')) WriteFile(ini, "[OTHER]\nIncludeDirectory=" + std::string(c.substr(1)));
    if (c.starts_with('t')) {
      const struct timespec times[2] = {{1, 0}, {1, c[1] - '0'}};
      ASSERT_EQ(::utimensat(AT_FDCWD, ini.c_str(), times, 0), 0);
    }
    if (c == "remove") std::filesystem::remove(ini);
    EXPECT_EQ(memory.option.Descend(ini, CodePage::Gbk), descend) << change;
    EXPECT_EQ(memory.option.reads(), reads) << change;
  }
}

TEST_F(GatherTest, SelectedValuesAreCutAtThePathLimitNeverInsideACharacter) {
  auto path_of = [](size_t bytes) { return "/" + std::string(bytes - 3, 'd') + ".c"; };
  const std::string ascii = "/" + std::string(4093, 'a');
  const std::pair<std::string, std::string> written_read[] = {
      {path_of(2047), path_of(2047)},
      {path_of(2048), path_of(2048)},
      {path_of(4095), path_of(4095)},
      {path_of(5000), path_of(5000).substr(0, 4095)},  // names no countable file
      {ascii + "\xD4\xB4" + "b", ascii},               // the GBK character does not fit
  };
  for (const auto& [written, read] : written_read) {
    SCOPED_TRACE(written.size());
    const std::vector<std::string> gathered =
        GatherSelection("[Selected Files]\r\nTotalFileNum=1\r\nFile1=" + written + "\r\n");
    EXPECT_EQ(gathered, read.ends_with(".c") ? std::vector{read} : std::vector<std::string>{});
    EXPECT_THAT(ReadNumberedList(tree_ / "sel.ini", "Selected Files", "TotalFileNum", "File",
                                 CodePage::Gbk),
                ::testing::Optional(ElementsAre(read)));
  }
}

TEST_F(GatherTest, FolderListFileThatCannotBeKeptIsNeverReplaced) {
  const std::string before = "[OTHER]\r\nShortCut=1\r\n";
  WriteFile(ctx_.settings_path, before);
  std::string error;
  EXPECT_FALSE(WriteFolderList(ctx_.settings_path, {"/a", "/b\nc"}, CodePage::Gbk, &error));
  EXPECT_EQ(error, "a folder name holds a line break");
  EXPECT_EQ(ReadFile(ctx_.settings_path), before);
}

std::vector<std::string> Members(const std::string& project) {
  RunList list;
  AddProjectMembers(project, list, CodePage::Gbk);
  return list.paths();
}

TEST(ProjectFileTest, KindIsTheLowerCasedExtension) {
  for (const TableCase& c : ReadTableCases("gather/project-kinds.tsv")) {
    const std::string& path = c.in.at(0);
    const std::vector<std::string> got = {
        IsHandedOverProjectFile(path, CodePage::Gbk) ? "yes" : "no",
        IsProjectFile(path, CodePage::Gbk) ? "yes" : "no"};
    EXPECT_EQ(got, c.out) << c.line;
  }
}

// A member path finds the existing entry whatever its case, and whatever
// bytes its name is made of on disk (GBK names from a Windows archive).
TEST(ProjectFileTest, MemberPathTakesTheEntryThatShowsAsItsText) {
  const std::string dir = kData + "project/letter-case/";
  EXPECT_EQ(ResolveMemberPath(dir, "SRC\\core\\ENGINE.cpp", CodePage::Gbk),
            dir + "src/Core/Engine.cpp");
  TempDir tree;
  WriteFile(tree / "\xD6\xD0\xCE\xC4/A.cpp", "");  // 中文/A.cpp in GBK
  const std::string root = tree / "";
  const struct {
    const char* text;
    CodePage cp;
    std::string want;
  } cases[] = {
      {"中文\\a.CPP", CodePage::Gbk, root + "\xD6\xD0\xCE\xC4/A.cpp"},
      {"中文\\b.cpp", CodePage::Gbk, root + "\xD6\xD0\xCE\xC4/b.cpp"},  // missing file
      {"中文\\a.cpp", CodePage::Utf8, root + "中文/a.cpp"},  // GBK names are not read under UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveMemberPath(root, c.text, c.cp), c.want) << c.text;
}

// A project whose main source is binary gives its main source and the units
// its binary text names.
TEST(ProjectFileTest, BinaryMainSourceGivesItsUnits) {
  TempDir tree;
  std::mt19937 random(7);
  std::string binary(1 << 16, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  WriteFile(tree / "bin.cpp", binary + "\nUSEUNIT(\"u.cpp\")\n");
  WriteFile(tree / "bin.bpr", "<MAINSOURCE value=\"bin.cpp\"/>");
  EXPECT_THAT(Members(tree / "bin.bpr"), ElementsAre(tree / "bin.cpp", tree / "u.cpp"));
}

}  // namespace
}  // namespace tv::test
