#include "platform/single_instance.h"

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
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace tv {

void PrintTo(const HandOverMessage& m, std::ostream* out) {
  *out << (m.raise_only ? "raise" : "path \"" + m.path.substr(0, 60) + "\"");
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Messages = std::vector<HandOverMessage>;

constexpr uid_t kNobody = 65534;

// A runtime folder of its own in a fresh temporary folder, so that parallel
// tests never share a lock or a socket.
struct Runtime {
  test::TempDir temp;
  std::string folder = temp / "run";
  std::string socket = folder + "/" + std::string(kInstanceName) + ".sock";
  // `text` with "{}" replaced by the folder.
  std::string Named(std::string text) const {
    if (size_t at = text.find("{}"); at != std::string::npos) text.replace(at, 2, folder);
    return text;
  }
};

// Takes messages until `count` have come or five seconds have passed.
Messages Take(InstanceServer& server, size_t count) {
  Messages all;
  for (auto end = Clock::now() + 5s; all.size() < count && Clock::now() < end;) {
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
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  ::close(fd);
  return -1;
}

// True when the other end closes the connection within five seconds.
bool ClosedByPeer(int fd) {
  char buffer[256];
  for (auto end = Clock::now() + 5s; Clock::now() < end;) {
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

// Runs `child` in a forked process that exits with its result.
pid_t Fork(const std::function<int()>& child) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(child());
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One byte from `fd`, or 0 when none comes within five seconds.
char ReadByte(int fd) {
  pollfd p{fd, POLLIN, 0};
  char c = 0;
  return ::poll(&p, 1, 5000) == 1 && ::read(fd, &c, 1) == 1 ? c : 0;
}

// A child that takes the lock, writes "L" to `ready`, waits `delay`, then
// ends, or (when `received` is a pipe) starts listening only then and writes
// the path of the first message it takes to `received`.
pid_t LockHolder(const std::string& folder, int ready, std::chrono::milliseconds delay,
                 int received = -1) {
  return Fork([=] {
    std::unique_ptr<InstanceLock> lock;
    if (InstanceLock::Acquire(folder, &lock, nullptr) != InstanceLock::Outcome::Acquired ||
        ::write(ready, "L", 1) != 1) {
      return 2;
    }
    std::this_thread::sleep_for(delay);
    if (received < 0) return 0;
    auto server = InstanceServer::Listen(std::move(lock), nullptr);
    const Messages got = server ? Take(*server, 1) : Messages{};
    return got.size() == 1 && ::write(received, got[0].path.data(), got[0].path.size()) > 0 ? 0 : 3;
  });
}

TEST(SingleInstance, RuntimeFolderMustBeAPrivateFolderOfTheUser) {
  enum Kind { kMissing, kFolder, kLink, kFile };
  struct Case {
    const char* name;
    Kind kind;
    mode_t mode;
    uid_t owner;
    const char* error;  // "" when usable
  } cases[] = {
      {"missing: created", kMissing, 0, 0, ""},
      {"group bits", kFolder, 0750, ::geteuid(),
       "the runtime folder {} is open to other users (mode 0750); it must be 0700"},
      {"other bits", kFolder, 0701, ::geteuid(),
       "the runtime folder {} is open to other users (mode 0701); it must be 0700"},
      {"a link to a private folder", kLink, 0, 0,
       "the runtime folder {} is a link; it must be a folder of its own"},
      {"a file", kFile, 0, 0, "the runtime folder {} is not a folder"},
      {"another user's", kFolder, 0700, kNobody,
       "the runtime folder {} belongs to user 65534, not to user 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.owner != ::geteuid() && !test::RunningAsRoot()) continue;
    Runtime rt;
    if (c.kind == kFolder) {
      ASSERT_EQ(::mkdir(rt.folder.c_str(), 0700), 0);
      ASSERT_EQ(::chmod(rt.folder.c_str(), c.mode), 0);
      ASSERT_EQ(::chown(rt.folder.c_str(), c.owner, c.owner), 0);
    } else if (c.kind == kLink) {
      ASSERT_EQ(::mkdir((rt.folder + "-real").c_str(), 0700), 0);
      ASSERT_EQ(::symlink((rt.folder + "-real").c_str(), rt.folder.c_str()), 0);
    } else if (c.kind == kFile) {
      test::WriteFile(rt.folder, "x");
    }
    std::string error;
    bool held = true;
    auto server = InstanceServer::Start(rt.folder, &error, &held);
    EXPECT_EQ(server != nullptr, c.error[0] == '\0');
    EXPECT_EQ(error, rt.Named(c.error));
    EXPECT_FALSE(held);
    struct stat st;
    EXPECT_EQ(::lstat(rt.folder.c_str(), &st), 0);
    if (server) {
      EXPECT_EQ(st.st_mode & 07777, 0700u);
    }
    server.reset();
    // A later start never sends into a folder it does not trust.
    error.clear();
    EXPECT_EQ(HandOver(rt.folder, "/a", &error, 0ms),
              c.error[0] ? HandOverResult::Failed : HandOverResult::NoInstance);
    EXPECT_EQ(error, rt.Named(c.error));
  }
  std::string error;
  EXPECT_FALSE(PrepareRuntimeFolder("relative/run", &error));
  EXPECT_EQ(error, "the runtime folder \"relative/run\" is not an absolute path");
}

TEST(SingleInstance, OnlyOneOfTwoProcessesGetsTheLock) {
  Runtime rt;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int go[2], report[2], release[2];
    ASSERT_EQ(::pipe(go) | ::pipe(report) | ::pipe(release), 0);
    auto contender = [&] {
      ::close(release[1]);  // so that the parent's close alone ends the wait below
      char c;
      if (::read(go[0], &c, 1) != 1) return 3;
      bool held = false;
      auto server = InstanceServer::Start(rt.folder, nullptr, &held);
      const char result = server ? 'S' : held ? 'H' : 'F';
      if (::write(report[1], &result, 1) != 1) return 3;
      ::read(release[0], &c, 1);  // keep the lock until both have tried
      return 0;
    };
    const pid_t first = Fork(contender), second = Fork(contender);
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    std::string results{ReadByte(report[0]), ReadByte(report[0])};
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, "HS");
    ::close(release[1]);
    EXPECT_EQ(ExitStatus(first) + ExitStatus(second), 0);
    for (int fd : {go[0], go[1], report[0], report[1], release[0]}) ::close(fd);
  }
  EXPECT_NE(InstanceServer::Start(rt.folder, nullptr), nullptr) << "the lock is free again";
}

TEST(SingleInstance, SocketOfAKilledServerIsReplacedAndTheNewStartServes) {
  Runtime rt;
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
  struct stat st;
  ASSERT_EQ(::lstat(rt.socket.c_str(), &st), 0);
  ASSERT_TRUE(S_ISSOCK(st.st_mode)) << "the killed server left its socket";
  std::string error;
  EXPECT_EQ(HandOver(rt.folder, "/x", &error, 0ms), HandOverResult::NoInstance) << error;
  auto server = InstanceServer::Start(rt.folder, &error);
  ASSERT_NE(server, nullptr) << error;
  EXPECT_EQ(HandOver(rt.folder, "/after/stale", &error), HandOverResult::Delivered) << error;
  EXPECT_EQ(Take(*server, 1), Messages({{false, "/after/stale"}}));
  server.reset();
  EXPECT_NE(::lstat(rt.socket.c_str(), &st), 0) << "an orderly end removes the socket";
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(SingleInstance, PathsArriveWholeAndAbsoluteInTheSendersFolder) {
  Runtime rt;
  char resolved[PATH_MAX];
  ASSERT_NE(::realpath(rt.temp.Path().c_str(), resolved), nullptr);
  const std::string caller = std::string(resolved) + "/caller";
  const std::string longest = "/" + std::string(kMaxHandOverLength - 2, 'x');
  ASSERT_EQ(::mkdir(caller.c_str(), 0755), 0);
  auto server = InstanceServer::Start(rt.folder, nullptr);
  ASSERT_NE(server, nullptr);
  struct Case {
    std::string sent;
    HandOverResult result;
    Messages received;
  } cases[] = {
      {"", HandOverResult::Delivered, {{true, ""}}},
      {"src", HandOverResult::Delivered, {{false, caller + "/src"}}},
      {"./a/../b.c", HandOverResult::Delivered, {{false, caller + "/./a/../b.c"}}},
      {"..", HandOverResult::Delivered, {{false, caller + "/.."}}},
      {"/a b/\xe4\xb8\xad\n.c", HandOverResult::Delivered, {{false, "/a b/\xe4\xb8\xad\n.c"}}},
      {longest, HandOverResult::Delivered, {{false, longest}}},
      {longest + "y", HandOverResult::Failed, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent.substr(0, 20));
    const pid_t pid = Fork([&] {
      return ::chdir(caller.c_str()) == 0 ? static_cast<int>(HandOver(rt.folder, c.sent, nullptr))
                                          : 9;
    });
    EXPECT_EQ(ExitStatus(pid), static_cast<int>(c.result));
    EXPECT_EQ(Take(*server, c.received.size()), c.received);
    EXPECT_TRUE(server->TakeMessages().empty());
  }
  std::string error;
  EXPECT_EQ(HandOver(rt.folder, longest + "y", &error), HandOverResult::Failed);
  EXPECT_EQ(error, "the path is too long to hand over (65536 bytes, at most 65535)");
}

TEST(SingleInstance, MalformedFramesAreDroppedAndTheNextMessageIsServed) {
  struct Case {
    const char* name;
    std::string bytes;
    bool keep_open;  // the sender stays connected without finishing
  } cases[] = {
      {"length zero", Frame(""), false},
      {"length one above the limit", Frame(kMaxHandOverLength + 1, "P/" + std::string(99, 'a')),
       true},
      {"length written big-endian", std::string("\0\0\0\x06P/tmp/", 10), true},
      {"NUL byte in the path", Frame(std::string("P/a\0b", 5)), false},
      {"unknown kind", Frame("X/a"), false},
      {"raise request with bytes after it", Frame("R/a"), false},
      {"path kind without a path", Frame("P"), false},
      {"relative path", Frame("Psrc"), false},
      {"closed inside the length", std::string("\x05\0", 2), false},
      {"closed inside the path", Frame(10, "P/ab"), false},
      {"stalls inside the length", std::string("\x05\0", 2), true},
      {"stalls inside the path", Frame(10, "P/ab"), true},
      {"connects and sends nothing", "", false},
  };
  Runtime rt;
  auto server = InstanceServer::Start(rt.folder, nullptr);
  ASSERT_NE(server, nullptr);
  server->set_read_timeout(300ms);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int fd = Connect(rt.socket);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(c.bytes.size()));
    if (!c.keep_open) ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(HandOver(rt.folder, "/next", nullptr), HandOverResult::Delivered);
    EXPECT_EQ(Take(*server, 1), Messages({{false, "/next"}}));
    EXPECT_TRUE(server->TakeMessages().empty());
    EXPECT_TRUE(ClosedByPeer(fd));
    ::close(fd);
  }
}

TEST(SingleInstance, MegabyteGarbageFrameIsRefusedOnItsLength) {
  Runtime rt;
  auto server = InstanceServer::Start(rt.folder, nullptr);
  ASSERT_NE(server, nullptr);
  // A server that waited for the announced body would wait until this
  // timeout; one that checks the length first answers at once.
  server->set_read_timeout(20s);
  const int fd = Connect(rt.socket);
  ASSERT_GE(fd, 0);
  const std::string garbage = Frame(1 << 20, "P/" + std::string(100000, '\xAB'));
  ASSERT_EQ(::send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL | MSG_DONTWAIT),
            static_cast<ssize_t>(garbage.size()));
  ASSERT_EQ(HandOver(rt.folder, "/after/garbage", nullptr), HandOverResult::Delivered);
  const auto start = Clock::now();
  EXPECT_EQ(server->TakeMessages(), Messages({{false, "/after/garbage"}}));
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(fd);
}

TEST(SingleInstance, PeerOfAnotherUserIsRefused) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to connect as another user";
  Runtime rt;
  auto server = InstanceServer::Start(rt.folder, nullptr);
  ASSERT_NE(server, nullptr);
  // For this test only, let the other user reach the socket, so that only
  // the server's own check stands in the way.
  for (const std::string& path : {rt.temp.Path(), rt.folder}) {
    ASSERT_EQ(::chmod(path.c_str(), 0711), 0);
  }
  ASSERT_EQ(::chmod(rt.socket.c_str(), 0777), 0);
  const pid_t pid = Fork([&] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      return 2;
    }
    const int fd = Connect(rt.socket);
    const std::string frame = Frame("P/from/nobody");
    return fd >= 0 && ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) ==
                          static_cast<ssize_t>(frame.size())
               ? 0
               : 3;
  });
  EXPECT_EQ(ExitStatus(pid), 0) << "the other user connected and sent a whole message";
  ASSERT_EQ(::chmod(rt.folder.c_str(), 0700), 0);
  EXPECT_EQ(HandOver(rt.folder, "/from/owner", nullptr), HandOverResult::Delivered);
  EXPECT_EQ(Take(*server, 1), Messages({{false, "/from/owner"}}));
  EXPECT_TRUE(server->TakeMessages().empty());
}

TEST(SingleInstance, StartupDecidesTheRole) {
  // What the runtime folder holds when the start decides.
  enum Before { kNothing, kServer, kLockOnly, kLateListener, kLockOfAnEndingProcess, kOpenFolder };
  struct Case {
    const char* name;
    Before before;
    bool command_line;
    std::string path;
    StartupRole role;
    Messages received;  // by the running server
    std::string error;  // "{}" stands for the folder
  } cases[] = {
      {"first window", kNothing, false, "/p", StartupRole::Serve, {}, ""},
      {"first command line", kNothing, true, "", StartupRole::CommandLine, {}, ""},
      {"second start with a path",
       kServer,
       false,
       "/p/q",
       StartupRole::HandedOver,
       {{false, "/p/q"}},
       ""},
      {"second start without a path",
       kServer,
       false,
       "",
       StartupRole::HandedOver,
       {{true, ""}},
       ""},
      {"command line while a window runs",
       kServer,
       true,
       "/p",
       StartupRole::AlreadyRunning,
       {},
       "another instance holds the lock {}/" + std::string(kInstanceName) + ".lock"},
      {"the running instance never answers",
       kLockOnly,
       false,
       "/p",
       StartupRole::OwnWindow,
       {},
       "the running window does not answer on {}/" + std::string(kInstanceName) + ".sock"},
      {"the running instance listens 300 ms late",
       kLateListener,
       false,
       "/late",
       StartupRole::HandedOver,
       {},
       ""},
      {"the running instance ends meanwhile",
       kLockOfAnEndingProcess,
       false,
       "/p",
       StartupRole::Serve,
       {},
       ""},
      {"unusable folder",
       kOpenFolder,
       false,
       "/p",
       StartupRole::OwnWindow,
       {},
       "the runtime folder {} is open to other users (mode 0755); it must be 0700"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Runtime rt;
    std::unique_ptr<InstanceServer> running;
    std::unique_ptr<InstanceLock> lock;
    pid_t holder = -1;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    if (c.before == kServer) running = InstanceServer::Start(rt.folder, nullptr);
    if (c.before == kLockOnly) InstanceLock::Acquire(rt.folder, &lock, nullptr);
    if (c.before == kLateListener || c.before == kLockOfAnEndingProcess) {
      holder = LockHolder(rt.folder, ready[1], 300ms, c.before == kLateListener ? ready[1] : -1);
      EXPECT_EQ(ReadByte(ready[0]), 'L');
    }
    if (c.before == kOpenFolder) {
      ASSERT_EQ(::mkdir(rt.folder.c_str(), 0700) | ::chmod(rt.folder.c_str(), 0755), 0);
    }
    ASSERT_EQ(running != nullptr, c.before == kServer);
    ASSERT_EQ(lock != nullptr, c.before == kLockOnly);

    InstanceStartup decision = DecideStartupRole(rt.folder, c.path, c.command_line, 1500ms);
    if (holder > 0) {
      EXPECT_EQ(ExitStatus(holder), 0);
    }
    if (c.before == kLateListener) {  // what the late listener took
      char path[64] = {};
      EXPECT_GT(::read(ready[0], path, sizeof path - 1), 0);
      EXPECT_STREQ(path, c.path.c_str());
    }
    EXPECT_EQ(decision.role, c.role);
    EXPECT_EQ(decision.error, rt.Named(c.error));
    if (running) {
      EXPECT_EQ(Take(*running, c.received.size()), c.received);
      EXPECT_TRUE(running->TakeMessages().empty());
    }
    EXPECT_EQ(decision.server != nullptr, c.role == StartupRole::Serve);
    EXPECT_EQ(decision.lock != nullptr, c.role == StartupRole::CommandLine);
    // A new first instance really is one: a later start reaches it.
    if (decision.server) {
      EXPECT_EQ(HandOver(rt.folder, "/later", nullptr), HandOverResult::Delivered);
      EXPECT_EQ(Take(*decision.server, 1), Messages({{false, "/later"}}));
    }
    if (decision.lock) {
      EXPECT_TRUE(InstanceLockHeld(rt.folder));
    }
    ::close(ready[0]);
    ::close(ready[1]);
  }
}

}  // namespace
}  // namespace tv
