// The launcher and the send-to entry: their texts (cases in
// tests/data/shell/desktop-cases.txt), the files they make, and the script
// run for real.
#include "shell/desktop_entries.h"

#include <sys/stat.h>

#include "platform/codepage.h"
#include "test_util.h"

namespace tv {
namespace {

TEST(DesktopEntries, TextsFollowTheirTable) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("shell/desktop-cases.txt")) {
    SCOPED_TRACE(c.line);
    if (c.in.at(0) == "desktop") {
      EXPECT_EQ(DesktopDirFromUserDirs(c.in.at(1), "/home/u/").value_or("<none>"), c.out.at(0));
    } else {
      EXPECT_EQ(ExecArgument(c.in.at(1)), c.out.at(0));
      EXPECT_NE(LauncherText(c.in[1]).find("\nExec=" + c.out[0] + "\n"), std::string::npos);
    }
  }
}

// Each case writes or removes the entries for a program path. A path that
// an entry cannot name ("%", or not UTF-8) is named through the link, which
// follows the program and goes when no entry made names it.
TEST(DesktopEntries, EntriesAreWrittenExecutableAndNameWhatTheyCan) {
  test::TempDir dir;
  DesktopPlaces places{dir / "desk/", dir / "apps/", dir / "scripts/", dir / "data/bin/tv"};
  const struct {
    const char* program;
    bool launcher, send_to, linked;
  } cases[] = {
      {"/opt/a b/tallyvane", true, true, false}, {"/opt/100%/tallyvane", true, true, true},
      {"/opt/caf\xe9/tv", true, false, true},    {"/opt/50%/tv", false, true, true},
      {"/opt/50%/tv", false, false, false},      {"/opt/tv", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    const DesktopEntriesOutcome out = ApplyDesktopEntries(places, c.program, c.launcher, c.send_to);
    EXPECT_TRUE(out.failures.empty() && out.launcher_exists == c.launcher);
    const std::string named = c.linked ? places.program_link : c.program;
    EXPECT_EQ(test::ReadFile(places.LauncherPath()), c.launcher ? LauncherText(named) : "");
    EXPECT_EQ(test::ReadFile(places.SendToEntryPath()), c.send_to ? SendToEntryText(named) : "");
    EXPECT_EQ(test::ReadFile(places.SendToScriptPath()), c.send_to ? SendToScriptText(named) : "");
    for (const std::string& entry : {places.LauncherPath(), places.SendToEntryPath()}) {
      const std::string text = test::ReadFile(entry);
      EXPECT_TRUE(IsValidUtf8(text) && text.find('%') == text.rfind("%F")) << entry;
    }
    struct stat st;
    for (const std::string& path : {places.LauncherPath(), places.SendToScriptPath()}) {
      EXPECT_TRUE(::stat(path.c_str(), &st) != 0 || (st.st_mode & 0111) == 0111) << path;
    }
    std::error_code error;
    EXPECT_EQ(std::filesystem::read_symlink(places.program_link, error).string(),
              c.linked ? c.program : "");
  }
  // Refused when the link cannot be named either: the launcher stays as it was.
  places.program_link = dir / "data%/tv";
  const DesktopEntriesOutcome out = ApplyDesktopEntries(places, "/opt/100%/tv", true, false);
  EXPECT_EQ(out.failures, std::vector<std::string>{
                              "桌面快捷方式图标未能创建：/opt/100%/tv: a desktop entry cannot "
                              "name a path that holds \"%\" or is not UTF-8, nor the link " +
                              places.program_link + " made in its place"});
  EXPECT_EQ(test::ReadFile(places.LauncherPath()), LauncherText("/opt/tv"));
}

TEST(DesktopEntries, SendToScriptHandsOverAbsoluteNamesUnparsed) {
  test::TempDir dir;
  // The program stand-in writes each argument it gets on a line of its own.
  const std::string program = dir / "it's a \"program\"";
  test::WriteFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.out\"\n");
  ::chmod(program.c_str(), 0755);
  test::WriteFile(dir / "script", SendToScriptText(program));
  const std::string command =
      "cd '" + dir.Path() + "' && sh ./script 'a b.c' '-n' " + "'$(touch pwned)' /abs/x.c '*' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string d = dir.Path() + "/";
  EXPECT_EQ(test::ReadFile(program + ".out"),
            d + "a b.c\n" + d + "-n\n" + d + "$(touch pwned)\n/abs/x.c\n" + d + "*\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

}  // namespace
}  // namespace tv
