#include "platform/single_instance.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace tv {

// Shows a message in failures; long paths cut short.
void PrintTo(const HandOverMessage& m, std::ostream* out) {
  *out << (m.raise_only ? "raise" : "path \"" + m.path.substr(0, 60) + "\"");
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::TempDir;

constexpr uid_t kNobody = 65534;

// A runtime folder of its own for each test, inside a fresh temporary
// folder, so parallel tests never share a lock or a socket.
struct Runtime {
  TempDir temp;
  std::string folder = temp / "run";
  std::string socket = folder + "/" + std::string(kInstanceName) + ".sock";
};

// Takes messages until `count` have come or five seconds have passed.
std::vector<HandOverMessage> WaitForMessages(InstanceServer& server, size_t count) {
  std::vector<HandOverMessage> all;
  const auto deadline = Clock::now() + 5s;
  while (all.size() < count && Clock::now() < deadline) {
    pollfd p{server.fd(), POLLIN, 0};
    ::poll(&p, 1, 100);
    for (HandOverMessage& m : server.TakeMessages()) all.push_back(std::move(m));
  }
  return all;
}

// A client connection to the socket at `path`; -1 when it cannot connect.
int Connect(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when the server has closed the connection (end of data or a reset)
// within five seconds.
bool ClosedByPeer(int fd) {
  const auto deadline = Clock::now() + 5s;
  char buffer[256];
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno == ECONNRESET)) return true;
  }
  return false;
}

std::string Frame(uint32_t length, std::string_view body) {
  std::string frame;
  for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>(length >> shift));
  return frame.append(body);
}

std::string Frame(std::string_view body) {
  return Frame(static_cast<uint32_t>(body.size()), body);
}

// Runs `child` in a forked process, which exits with its result.
pid_t Fork(const std::function<int()>& child) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(child());
  return pid;
}

// The exit status of `pid`, or -1 when it did not exit normally.
int ExitStatus(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Serves `server` until the child `pid` exits, collecting what it takes;
// the child's exit status, or -1.
int ServeUntilExit(InstanceServer& server, pid_t pid, std::vector<HandOverMessage>* taken) {
  const auto deadline = Clock::now() + 10s;
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      for (HandOverMessage& m : server.TakeMessages()) taken->push_back(std::move(m));
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pollfd p{server.fd(), POLLIN, 0};
    ::poll(&p, 1, 20);
    for (HandOverMessage& m : server.TakeMessages()) taken->push_back(std::move(m));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

// One byte from `fd`, or 0 after five seconds.
char ReadByte(int fd) {
  pollfd p{fd, POLLIN, 0};
  char c = 0;
  if (::poll(&p, 1, 5000) != 1 || ::read(fd, &c, 1) != 1) return 0;
  return c;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

TEST(SingleInstance, DefaultRuntimeFolderFollowsTheEnvironment) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string before = saved != nullptr ? saved : "";
  const std::string fallback = "/tmp/tallyvane-" + std::to_string(::geteuid());
  struct Case {
    const char* value;  // nullptr: unset
    std::string folder;
  } cases[] = {
      {"/run/user/1000", "/run/user/1000/tallyvane"},
      {"/run/user/1000/", "/run/user/1000/tallyvane"},
      {nullptr, fallback},
      {"", fallback},
      {"relative/dir", fallback},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
    if (c.value != nullptr) {
      ::setenv("XDG_RUNTIME_DIR", c.value, 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(DefaultRuntimeFolder(), c.folder);
  }
  if (saved != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", before.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(SingleInstance, RuntimeFolderMustBeAPrivateFolderOfTheUser) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;  // prepares the folder
    std::string error;                             // "F" stands for the folder; "" = usable
    bool needs_root = false;
  } cases[] = {
      {"missing: created", [](const std::string&) {}, ""},
      {"existing 0700", [](const std::string& f) { ::mkdir(f.c_str(), 0700); }, ""},
      {"group bits",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         ::chmod(f.c_str(), 0750);
       },
       "the runtime folder F is open to other users (mode 0750); it must be 0700"},
      {"other bits",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         ::chmod(f.c_str(), 0701);
       },
       "the runtime folder F is open to other users (mode 0701); it must be 0700"},
      {"a link to a private folder",
       [](const std::string& f) {
         ::mkdir((f + "-real").c_str(), 0700);
         ::symlink((f + "-real").c_str(), f.c_str());
       },
       "the runtime folder F is a link; it must be a folder of its own"},
      {"a file", [](const std::string& f) { test::WriteFile(f, "x"); },
       "the runtime folder F is not a folder"},
      {"owned by another user",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         EXPECT_EQ(::chown(f.c_str(), kNobody, kNobody), 0);
       },
       "the runtime folder F belongs to user 65534, not to user 0", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_root && !test::RunningAsRoot()) continue;
    Runtime rt;
    c.make(rt.folder);
    std::string expected = c.error;
    if (size_t at = expected.find('F'); at != std::string::npos) {
      expected.replace(at, 1, rt.folder);
    }
    std::string error;
    EXPECT_EQ(PrepareRuntimeFolder(rt.folder, &error), c.error.empty());
    EXPECT_EQ(error, expected);
    std::string start_error;
    bool held = true;
    auto server = InstanceServer::Start(rt.folder, &start_error, &held);
    EXPECT_EQ(server != nullptr, c.error.empty());
    EXPECT_EQ(start_error, expected);
    EXPECT_FALSE(held);
    if (c.error.empty()) {
      struct stat st;
      ASSERT_EQ(::lstat(rt.folder.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0700u);
      server.reset();
    }
    // A later start never sends into a folder it does not trust.
    std::string send_error;
    EXPECT_EQ(HandOver(rt.folder, "/a", &send_error, 0ms),
              c.error.empty() ? HandOverResult::NoInstance : HandOverResult::Failed);
    if (!c.error.empty()) {
      EXPECT_EQ(send_error, expected);
    }
  }
  std::string error;
  EXPECT_FALSE(PrepareRuntimeFolder("relative/run", &error));
  EXPECT_EQ(error, "the runtime folder \"relative/run\" is not an absolute path");
  TempDir temp;
  EXPECT_FALSE(PrepareRuntimeFolder(temp / "missing/run", &error));
  EXPECT_EQ(error, "cannot create the runtime folder " + (temp / "missing/run") +
                       ": No such file or directory");
}

TEST(SingleInstance, OnlyOneOfTwoProcessesGetsTheLock) {
  Runtime rt;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int go[2], report[2], release[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(report), 0);
    ASSERT_EQ(::pipe(release), 0);
    auto contender = [&] {
      ::close(release[1]);  // so that the parent's close alone ends the wait below
      char c;
      if (::read(go[0], &c, 1) != 1) return 3;
      std::string error;
      bool held = false;
      auto server = InstanceServer::Start(rt.folder, &error, &held);
      const char result = server ? 'S' : held ? 'H' : 'F';
      if (::write(report[1], &result, 1) != 1) return 3;
      // Keep the lock until both have tried.
      ::read(release[0], &c, 1);
      return 0;
    };
    const pid_t first = Fork(contender);
    const pid_t second = Fork(contender);
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    std::string results{ReadByte(report[0]), ReadByte(report[0])};
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, "HS");
    ::close(release[1]);
    EXPECT_EQ(ExitStatus(first), 0);
    EXPECT_EQ(ExitStatus(second), 0);
    for (int fd : {go[0], go[1], report[0], report[1], release[0]}) ::close(fd);
  }
  // Both have ended, so the lock is free again.
  std::string error;
  EXPECT_NE(InstanceServer::Start(rt.folder, &error), nullptr) << error;
}

TEST(SingleInstance, StaleSocketIsReplacedAndTheNewStartServes) {
  struct Case {
    const char* name;
    std::function<void(const Runtime&)> leave_stale;
  } cases[] = {
      {"socket of a listener that closed without removing it",
       [](const Runtime& rt) {
         ASSERT_TRUE(PrepareRuntimeFolder(rt.folder, nullptr));
         int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         std::strncpy(address.sun_path, rt.socket.c_str(), sizeof address.sun_path - 1);
         ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         ASSERT_EQ(::listen(fd, 1), 0);
         ::close(fd);
       }},
      {"a server process that ended without cleaning up",
       [](const Runtime& rt) {
         const pid_t pid = Fork([&] {
           // Leaked on purpose: the process ends without removing its socket.
           return InstanceServer::Start(rt.folder, nullptr).release() != nullptr ? 0 : 1;
         });
         ASSERT_EQ(ExitStatus(pid), 0);  // _exit: no destructor removed the socket
       }},
      {"a server process that was killed",
       [](const Runtime& rt) {
         int ready[2];
         ASSERT_EQ(::pipe(ready), 0);
         const pid_t pid = Fork([&] {
           auto server = InstanceServer::Start(rt.folder, nullptr);
           if (server && ::write(ready[1], "S", 1) == 1) ::pause();
           return 1;
         });
         EXPECT_EQ(ReadByte(ready[0]), 'S');
         ::kill(pid, SIGKILL);
         ::waitpid(pid, nullptr, 0);
         ::close(ready[0]);
         ::close(ready[1]);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Runtime rt;
    c.leave_stale(rt);
    struct stat st;
    ASSERT_EQ(::lstat(rt.socket.c_str(), &st), 0);
    ASSERT_TRUE(S_ISSOCK(st.st_mode));
    std::string error;
    EXPECT_EQ(HandOver(rt.folder, "/x", &error, 0ms), HandOverResult::NoInstance) << error;
    auto server = InstanceServer::Start(rt.folder, &error);
    ASSERT_NE(server, nullptr) << error;
    EXPECT_EQ(HandOver(rt.folder, "/after/stale", &error), HandOverResult::Delivered) << error;
    EXPECT_EQ(WaitForMessages(*server, 1), std::vector<HandOverMessage>({{false, "/after/stale"}}));
    server.reset();
    EXPECT_NE(::lstat(rt.socket.c_str(), &st), 0) << "an orderly end removes the socket";
  }
}

TEST(SingleInstance, HandedOverMessagesArriveWhole) {
  const std::string longest = "/" + std::string(kMaxHandOverLength - 2, 'x');
  struct Case {
    const char* name;
    std::string path;
    HandOverMessage expected;
  } cases[] = {
      {"no path: raise only", "", {true, ""}},
      {"absolute path", "/home/u/project", {false, "/home/u/project"}},
      {"blanks, line break and UTF-8", "/a b/\xe4\xb8\xad\n.c", {false, "/a b/\xe4\xb8\xad\n.c"}},
      {"the longest path that fits", longest, {false, longest}},
  };
  Runtime rt;
  std::string error;
  auto server = InstanceServer::Start(rt.folder, &error);
  ASSERT_NE(server, nullptr) << error;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HandOver(rt.folder, c.path, &error), HandOverResult::Delivered) << error;
    EXPECT_EQ(WaitForMessages(*server, 1), std::vector<HandOverMessage>{c.expected});
  }
  // All in one batch, in order.
  for (const Case& c : cases)
    ASSERT_EQ(HandOver(rt.folder, c.path, &error), HandOverResult::Delivered);
  std::vector<HandOverMessage> all;
  for (const Case& c : cases) all.push_back(c.expected);
  EXPECT_EQ(WaitForMessages(*server, all.size()), all);

  EXPECT_EQ(HandOver(rt.folder, longest + "y", &error), HandOverResult::Failed);
  EXPECT_EQ(error, "the path is too long to hand over (65536 bytes, at most 65535)");
  EXPECT_TRUE(server->TakeMessages().empty());
}

TEST(SingleInstance, RelativePathIsSentAbsoluteFromTheSendersFolder) {
  Runtime rt;
  const std::string caller = RealPath(rt.temp.Path()) + "/caller";
  ASSERT_EQ(::mkdir(caller.c_str(), 0755), 0);
  std::string error;
  auto server = InstanceServer::Start(rt.folder, &error);
  ASSERT_NE(server, nullptr) << error;
  struct Case {
    std::string sent, received;
  } cases[] = {
      {"src", caller + "/src"},
      {"./a/../b.c", caller + "/./a/../b.c"},
      {"..", caller + "/.."},
      {"/etc/hosts", "/etc/hosts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    const pid_t pid = Fork([&] {
      if (::chdir(caller.c_str()) != 0) return 2;
      return HandOver(rt.folder, c.sent, nullptr) == HandOverResult::Delivered ? 0 : 1;
    });
    EXPECT_EQ(ExitStatus(pid), 0);
    EXPECT_EQ(WaitForMessages(*server, 1), std::vector<HandOverMessage>({{false, c.received}}));
  }
  EXPECT_EQ(AbsoluteHandOverPath("x", "/"), "/x");
}

TEST(SingleInstance, MalformedFramesAreDroppedAndTheNextMessageIsServed) {
  struct Case {
    const char* name;
    std::string bytes;
    bool keep_open;  // the sender stays connected without finishing
  } cases[] = {
      {"length zero", Frame(""), false},
      {"length one above the limit", Frame(kMaxHandOverLength + 1, "P/" + std::string(100, 'a')),
       true},
      {"length written big-endian", std::string("\0\0\0\x06P/tmp/", 10), true},
      {"NUL byte in the path", Frame(std::string("P/a\0b", 5)), false},
      {"unknown kind", Frame("X/a"), false},
      {"raise request with bytes after it", Frame("R/a"), false},
      {"path kind without a path", Frame("P"), false},
      {"relative path", Frame("Psrc"), false},
      {"closed inside the length", std::string("\x05\0", 2), false},
      {"closed inside the path", Frame(10, "P/ab"), false},
      {"stalls inside the path", Frame(10, "P/ab"), true},
      {"stalls inside the length", std::string("\x05\0", 2), true},
      {"connects and sends nothing", "", false},
  };
  Runtime rt;
  std::string error;
  auto server = InstanceServer::Start(rt.folder, &error);
  ASSERT_NE(server, nullptr) << error;
  server->set_read_timeout(300ms);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int fd = Connect(rt.socket);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(c.bytes.size()));
    if (!c.keep_open) ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(HandOver(rt.folder, "/next", &error), HandOverResult::Delivered) << error;
    EXPECT_EQ(WaitForMessages(*server, 1), std::vector<HandOverMessage>({{false, "/next"}}));
    EXPECT_TRUE(server->TakeMessages().empty());
    EXPECT_TRUE(ClosedByPeer(fd));
    ::close(fd);
  }
}

TEST(SingleInstance, MegabyteGarbageFrameIsRefusedOnItsLength) {
  Runtime rt;
  std::string error;
  auto server = InstanceServer::Start(rt.folder, &error);
  ASSERT_NE(server, nullptr) << error;
  // A server that read the announced body would wait for it until this
  // timeout; one that checks the length first answers at once.
  server->set_read_timeout(20s);
  const int fd = Connect(rt.socket);
  ASSERT_GE(fd, 0);
  const std::string garbage = Frame(1 << 20, "P/" + std::string(100000, '\xAB'));
  ASSERT_EQ(::send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL | MSG_DONTWAIT),
            static_cast<ssize_t>(garbage.size()));
  ASSERT_EQ(HandOver(rt.folder, "/after/garbage", &error), HandOverResult::Delivered) << error;
  const auto start = Clock::now();
  EXPECT_EQ(server->TakeMessages(), std::vector<HandOverMessage>({{false, "/after/garbage"}}));
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(fd);
}

TEST(SingleInstance, PeerOfAnotherUserIsRefused) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to connect as another user";
  Runtime rt;
  std::string error;
  auto server = InstanceServer::Start(rt.folder, &error);
  ASSERT_NE(server, nullptr) << error;
  // For this test only, let the other user reach the socket, so that only
  // the server's own check stands in the way.
  ASSERT_EQ(::chmod(rt.folder.c_str(), 0711), 0);
  ASSERT_EQ(::chmod(rt.temp.Path().c_str(), 0711), 0);
  ASSERT_EQ(::chmod(rt.socket.c_str(), 0777), 0);
  int sent[2];
  ASSERT_EQ(::pipe(sent), 0);
  const pid_t pid = Fork([&] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      return 2;
    }
    const int fd = Connect(rt.socket);
    if (fd < 0) return 3;
    const std::string frame = Frame("P/from/nobody");
    if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(frame.size()) ||
        ::write(sent[1], "S", 1) != 1) {
      return 4;
    }
    return ClosedByPeer(fd) ? 0 : 5;
  });
  // The whole message waits in the connection before the server looks.
  EXPECT_EQ(ReadByte(sent[0]), 'S');
  std::vector<HandOverMessage> taken;
  EXPECT_EQ(ServeUntilExit(*server, pid, &taken), 0)
      << "the other user's connection was made and then closed by the server";
  EXPECT_TRUE(taken.empty());
  ::close(sent[0]);
  ::close(sent[1]);
  ASSERT_EQ(::chmod(rt.folder.c_str(), 0700), 0);
  EXPECT_EQ(HandOver(rt.folder, "/from/owner", &error), HandOverResult::Delivered) << error;
  EXPECT_EQ(WaitForMessages(*server, 1), std::vector<HandOverMessage>({{false, "/from/owner"}}));
}

TEST(SingleInstance, HandOverWaitsForASocketThatStartsLate) {
  Runtime rt;
  int ready[2], received[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(received), 0);
  const pid_t pid = Fork([&] {
    std::unique_ptr<InstanceLock> lock;
    if (InstanceLock::Acquire(rt.folder, &lock, nullptr) != InstanceLock::Outcome::Acquired ||
        ::write(ready[1], "L", 1) != 1) {
      return 2;
    }
    std::this_thread::sleep_for(300ms);
    auto server = InstanceServer::Listen(std::move(lock), nullptr);
    if (!server) return 3;
    const auto messages = WaitForMessages(*server, 1);
    if (messages.size() != 1) return 4;
    return ::write(received[1], messages[0].path.data(), messages[0].path.size()) > 0 ? 0 : 5;
  });
  ASSERT_EQ(ReadByte(ready[0]), 'L');
  std::string error;
  EXPECT_EQ(HandOver(rt.folder, "/late/socket", &error), HandOverResult::Delivered) << error;
  EXPECT_EQ(ExitStatus(pid), 0);
  char path[64] = {};
  EXPECT_GT(::read(received[0], path, sizeof path - 1), 0);
  EXPECT_STREQ(path, "/late/socket");
  for (int fd : {ready[0], ready[1], received[0], received[1]}) ::close(fd);
}

// What the runtime folder holds when a start decides its role.
enum class Before { Nothing, Server, LockOnly, LockOfAnEndingProcess, OpenFolder };

TEST(SingleInstance, StartupDecidesTheRole) {
  struct Case {
    const char* name;
    Before before;
    bool command_line;
    std::string path;
    StartupRole role;
    std::vector<HandOverMessage> received;  // by the running server
    std::string error;                      // with {socket} and {folder}
  } cases[] = {
      {"first window", Before::Nothing, false, "/p", StartupRole::Serve, {}, ""},
      {"first command line", Before::Nothing, true, "", StartupRole::CommandLine, {}, ""},
      {"second start with a path",
       Before::Server,
       false,
       "/p/q",
       StartupRole::HandedOver,
       {{false, "/p/q"}},
       ""},
      {"second start without a path",
       Before::Server,
       false,
       "",
       StartupRole::HandedOver,
       {{true, ""}},
       ""},
      {"command line while a window runs",
       Before::Server,
       true,
       "/p",
       StartupRole::AlreadyRunning,
       {},
       ""},
      {"command line while a command line runs",
       Before::LockOnly,
       true,
       "/p",
       StartupRole::AlreadyRunning,
       {},
       ""},
      {"the running instance never answers",
       Before::LockOnly,
       false,
       "/p",
       StartupRole::OwnWindow,
       {},
       "the running window does not answer on {socket}"},
      {"the running instance ends meanwhile",
       Before::LockOfAnEndingProcess,
       false,
       "/p",
       StartupRole::Serve,
       {},
       ""},
      {"unusable folder, window",
       Before::OpenFolder,
       false,
       "/p",
       StartupRole::OwnWindow,
       {},
       "the runtime folder {folder} is open to other users (mode 0755); it must be 0700"},
      {"unusable folder, command line",
       Before::OpenFolder,
       true,
       "/p",
       StartupRole::CommandLine,
       {},
       "the runtime folder {folder} is open to other users (mode 0755); it must be 0700"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Runtime rt;
    std::unique_ptr<InstanceServer> running;
    std::unique_ptr<InstanceLock> lock;
    pid_t holder = -1;
    switch (c.before) {
      case Before::Nothing:
        break;
      case Before::Server:
        running = InstanceServer::Start(rt.folder, nullptr);
        ASSERT_NE(running, nullptr);
        break;
      case Before::LockOnly:
        ASSERT_EQ(InstanceLock::Acquire(rt.folder, &lock, nullptr),
                  InstanceLock::Outcome::Acquired);
        break;
      case Before::LockOfAnEndingProcess: {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        holder = Fork([&] {
          std::unique_ptr<InstanceLock> held;
          if (InstanceLock::Acquire(rt.folder, &held, nullptr) != InstanceLock::Outcome::Acquired ||
              ::write(ready[1], "L", 1) != 1) {
            return 2;
          }
          std::this_thread::sleep_for(300ms);
          return 0;
        });
        ASSERT_EQ(ReadByte(ready[0]), 'L');
        ::close(ready[0]);
        ::close(ready[1]);
        break;
      }
      case Before::OpenFolder:
        ASSERT_EQ(::mkdir(rt.folder.c_str(), 0755), 0);
        ASSERT_EQ(::chmod(rt.folder.c_str(), 0755), 0);
        break;
    }
    StartupDecision decision = DecideStartupRole(rt.folder, c.path, c.command_line, 1500ms);
    if (holder > 0) {
      EXPECT_EQ(ExitStatus(holder), 0);
    }
    EXPECT_EQ(decision.role, c.role);
    std::string error = c.error;
    for (auto [name, value] : {std::pair{"{socket}", rt.socket}, {"{folder}", rt.folder}}) {
      if (size_t at = error.find(name); at != std::string::npos) {
        error.replace(at, std::strlen(name), value);
      }
    }
    if (c.role == StartupRole::AlreadyRunning) {
      EXPECT_NE(decision.error.find("another instance holds the lock"), std::string::npos);
    } else {
      EXPECT_EQ(decision.error, error);
    }
    if (running) {
      EXPECT_EQ(WaitForMessages(*running, c.received.size()), c.received);
    }
    if (running) {
      EXPECT_TRUE(running->TakeMessages().empty());
    }
    EXPECT_EQ(decision.server != nullptr, c.role == StartupRole::Serve);
    EXPECT_EQ(decision.lock != nullptr, c.role == StartupRole::CommandLine && error.empty());
    // The new first instance really is one: later starts reach it or see it.
    if (decision.server) {
      EXPECT_EQ(HandOver(rt.folder, "/later", &error), HandOverResult::Delivered) << error;
      EXPECT_EQ(WaitForMessages(*decision.server, 1),
                std::vector<HandOverMessage>({{false, "/later"}}));
    }
    if (decision.lock) {
      EXPECT_TRUE(InstanceLockHeld(rt.folder));
    }
  }
}

}  // namespace
}  // namespace tv
