// The launcher and the send-to entry: their texts (cases in
// tests/data/shell/desktop-cases.txt), the files they make, and the script
// run for real.
#include "shell/desktop_entries.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

TEST(DesktopEntries, FilesAreWrittenExecutable) {
  test::TempDir dir;
  const DesktopPlaces places{dir / "desk/", dir / "apps/", dir / "scripts/"};
  const std::string program = "/opt/a b/tallyvane";
  DesktopEntriesOutcome out = ApplyDesktopEntries(places, program, true, true);
  EXPECT_TRUE(out.failures.empty() && out.launcher_exists && out.launcher_created);
  EXPECT_EQ(test::ReadFile(places.LauncherPath()), LauncherText(program));
  EXPECT_EQ(test::ReadFile(places.SendToEntryPath()), SendToEntryText(program));
  EXPECT_EQ(test::ReadFile(places.SendToScriptPath()), SendToScriptText(program));
  for (const std::string& path : {places.LauncherPath(), places.SendToScriptPath()}) {
    struct stat st;
    EXPECT_TRUE(::stat(path.c_str(), &st) == 0 && (st.st_mode & 0111) == 0111) << path;
  }
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
