// The command line writing reports: an interrupted write, no thread to spare.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "test_util.h"

namespace tv {
namespace {

// Starts the program with its settings and home in `dir`. With `no_threads`
// it runs as the user nobody, may not start a single thread, and writes to a
// terminal, where it would show its progress line.
pid_t Start(const test::TempDir& dir, const std::vector<std::string>& args,
            bool no_threads = false) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.Path().c_str()) != 0) ::_exit(126);
    ::setenv("HOME", dir.Path().c_str(), 1);
    ::setenv("TALLYVANE_SETTINGS", (dir / "Setup.ini").c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(TV_PROGRAM_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int terminal = -1;
    if (no_threads) {
      const int master = ::posix_openpt(O_RDWR | O_NOCTTY);  // held open until exit
      if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) ::_exit(125);
      terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
      const rlimit one{1, 1};
      if (terminal < 0 || ::setrlimit(RLIMIT_NPROC, &one) != 0 || ::setgroups(0, nullptr) != 0 ||
          ::setgid(65534) != 0 || ::setuid(65534) != 0) {
        ::_exit(125);
      }
    } else {
      terminal = ::open("/dev/null", O_WRONLY);
    }
    // The leak checker needs a thread of its own at exit, which this limit forbids.
    if (no_threads) ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::dup2(terminal, 2);
    ::execv(TV_PROGRAM_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(InterruptedReport, LeavesNoTemporaryFileAndEndsByTheSignal) {
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "int a;\n");
  // Many rows (one file counted each time) keep the temporary file long enough to be seen.
  test::WriteFile(dir / "Setup.ini", "[CURRENT PATH]\r\nCountSameFileName=1\r\n");
  std::string selection = "[Selected Files]\r\nTotalFileNum=60000\r\n";
  for (int i = 1; i <= 60000; ++i)
    selection += "File" + std::to_string(i) + "=" + (dir / "a.c") + "\r\n";
  test::WriteFile(dir / "list.ini", selection);
  test::WriteFile(dir / "out/r.xls", "old");
  // Its creation event waits in the queue however busy the machine is.
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, (dir / "out").c_str(), IN_CREATE), 0);
  const pid_t pid = Start(dir, {"-s", dir / "list.ini", "-o", dir / "out/r.xls"});
  pollfd ready{watch, POLLIN, 0};
  const bool seen = ::poll(&ready, 1, 60000) == 1;
  ::close(watch);
  ::kill(pid, SIGINT);
  const int status = Wait(pid);
  ASSERT_TRUE(seen) << "the report was never being written";
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_EQ(test::FolderEntries(dir / "out"), std::vector<std::string>{"r.xls"});
  EXPECT_EQ(test::ReadFile(dir / "out/r.xls"), "old");
}

TEST(ReportWithoutThreads, TheRunGoesOnWithoutItsProgressLine) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as a user with a process limit";
  test::TempDir dir;
  test::WriteFile(dir / "a.c", "int a;\nint b;\n");
  test::WriteFile(dir / "b.c", "int c;\n");
  ASSERT_EQ(::chown(dir.Path().c_str(), 65534, 65534), 0);
  const int status = Wait(Start(dir, {"-d", dir.Path(), "-o", "r.csv"}, /*no_threads=*/true));
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(test::ReadFile(dir / "r.csv").find("a.c"), std::string::npos);
}

}  // namespace
}  // namespace tv
