// The launcher and the send-to entry: their texts (cases in
// tests/data/shell/desktop-cases.txt), and the files made and removed for
// real under a temporary home folder.
#include "shell/desktop_entries.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
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

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool IsExecutable(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0111) == 0111;
}

TEST(DesktopEntries, CreatedAndRemovedUnderTheHomeFolder) {
  test::TempDir home;
  ScopedEnv env_home("HOME", home.Path().c_str());
  ScopedEnv env_config("XDG_CONFIG_HOME", nullptr);
  ScopedEnv env_data("XDG_DATA_HOME", nullptr);
  test::WriteFile(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/桌 面\"\n");
  const DesktopPlaces places = DesktopPlaces::ForUser();
  EXPECT_EQ(places.LauncherPath(), home / "桌 面/Tallyvane.desktop");
  EXPECT_EQ(places.SendToEntryPath(), home / ".local/share/applications/tallyvane-pro.desktop");
  EXPECT_EQ(places.SendToScriptPath(), home / ".local/share/nautilus/scripts/Tallyvane Pro");
  const std::string program = "/opt/a b/tallyvane";

  struct Step {
    bool launcher, send_to;
  } steps[] = {{true, true}, {true, false}, {false, true}, {false, false}, {false, false}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.launcher) + " " + std::to_string(s.send_to));
    const DesktopEntriesOutcome out = ApplyDesktopEntries(places, program, s.launcher, s.send_to);
    EXPECT_TRUE(out.failures.empty()) << out.failures.front();
    EXPECT_EQ(out.launcher_exists, s.launcher);
    EXPECT_EQ(out.launcher_created, s.launcher);
    EXPECT_EQ(LauncherExists(places), s.launcher);
    EXPECT_EQ(SendToExists(places), s.send_to);
    EXPECT_EQ(std::filesystem::exists(places.SendToScriptPath()), s.send_to);
    if (s.launcher) {
      EXPECT_EQ(test::ReadFile(places.LauncherPath()), LauncherText(program));
      EXPECT_TRUE(IsExecutable(places.LauncherPath()));
    }
    if (s.send_to) {
      EXPECT_EQ(test::ReadFile(places.SendToEntryPath()), SendToEntryText(program));
      EXPECT_NE(test::ReadFile(places.SendToEntryPath()).find(" %F\n"), std::string::npos);
      EXPECT_TRUE(IsExecutable(places.SendToScriptPath()));
    }
  }

  // A folder that cannot be made, an entry that cannot be removed: each
  // failure names its operation and the path, and the launcher is recorded
  // as it really is.
  std::filesystem::remove_all(home / ".local/share/nautilus");
  test::WriteFile(home / ".local/share/nautilus", "a file where a folder should be");
  std::filesystem::create_directories(home / "桌 面/Tallyvane.desktop/inside");
  DesktopEntriesOutcome out = ApplyDesktopEntries(places, program, false, true);
  ASSERT_EQ(out.failures.size(), 2u);
  EXPECT_TRUE(out.failures[0].starts_with("桌面快捷方式图标未能删除：" + places.LauncherPath()));
  EXPECT_TRUE(
      out.failures[1].starts_with("资源管理器快捷操作方式未能加入：" + places.SendToScriptPath()));
  EXPECT_FALSE(SendToExists(places));
  out = ApplyDesktopEntries(places, program, true, false);
  ASSERT_EQ(out.failures.size(), 1u);
  EXPECT_TRUE(out.failures[0].starts_with("桌面快捷方式图标未能创建："));
  EXPECT_FALSE(out.launcher_exists);
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
  EXPECT_EQ(test::ReadFile(program + ".out"), dir.Path() + "/a b.c\n" + dir.Path() + "/-n\n" +
                                                  dir.Path() + "/$(touch pwned)\n/abs/x.c\n" +
                                                  dir.Path() + "/*\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

}  // namespace
}  // namespace tv
