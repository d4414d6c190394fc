#include "platform/single_instance.h"

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

#include "test_util.h"

namespace tv {
namespace {

using namespace std::chrono_literals;
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

// A frame announcing `length` bytes (the body's own length when -1).
std::string Frame(std::string_view body, int64_t length = -1) {
  std::string frame;
  if (length < 0) length = static_cast<int64_t>(body.size());
  for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>(length >> shift);
  return frame.append(body);
}

// Runs `child` in a forked process that exits with its result.
template <class Child>
pid_t Fork(Child child) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(child());
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleInstance, MalformedFramesAreDroppedAndTheNextMessageIsServed) {
  struct Case {
    const char* name;
    std::string bytes;
    std::chrono::milliseconds open;  // the server's wait for a sender that stays; 0: it closes
    uid_t sender = ::geteuid();
  } cases[] = {
      {"length zero", Frame(""), 0ms},
      {"length one above the limit", Frame("P/a", kMaxHandOverLength + 1), 300ms},
      {"length written big-endian", std::string("\0\0\0\x06P/tmp/", 10), 300ms},
      {"NUL byte in the path", Frame(std::string("P/a\0b", 5)), 0ms},
      {"unknown kind", Frame("X/a"), 0ms},
      {"raise request with bytes after it", Frame("R/a"), 0ms},
      {"path kind without a path", Frame("P"), 0ms},
      {"relative path", Frame("Psrc"), 0ms},
      {"closed inside the length", std::string("\x05\0", 2), 0ms},
      {"closed inside the path", Frame("P/ab", 10), 0ms},
      {"stalls inside the length", std::string("\x05\0", 2), 300ms},
      {"stalls inside the path", Frame("P/ab", 10), 300ms},
      {"connects and sends nothing", "", 0ms},
      // Refused on its length: waiting for the body would outlast the sender's five seconds.
      {"a megabyte announced", Frame("P/" + std::string(100000, '\xAB'), 1 << 20), 20s},
      {"another user's whole message", Frame("P/from/nobody"), 0ms, kNobody},
  };
  Runtime rt;
  auto server = InstanceServer::Start(rt.folder, nullptr);
  ASSERT_NE(server, nullptr);
  // Another user may reach the socket: only the server's own check keeps that user out.
  ASSERT_EQ(::chmod(rt.temp.Path().c_str(), 0711) | ::chmod(rt.socket.c_str(), 0777), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool other_user = c.sender != ::geteuid();
    if (other_user && ::geteuid() != 0) continue;
    server->set_read_timeout(std::max(c.open, std::chrono::milliseconds(300ms)));
    ASSERT_EQ(::chmod(rt.folder.c_str(), other_user ? 0711 : 0700), 0);
    int sent[2];  // the sender reports through it that it has connected and sent
    ASSERT_EQ(::pipe(sent), 0);
    const pid_t pid = Fork([&] {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{AF_UNIX, {}};
      rt.socket.copy(address.sun_path, sizeof address.sun_path - 1);
      const timeval five_seconds{5, 0};  // bounds the wait for the server to close
      if ((other_user &&
           (::setgroups(0, nullptr) | ::setgid(c.sender) | ::setuid(c.sender)) != 0) ||
          ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
          ::send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
              static_cast<ssize_t>(c.bytes.size()) ||
          (c.open == 0ms && ::shutdown(fd, SHUT_WR) != 0) || ::write(sent[1], "S", 1) != 1 ||
          ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &five_seconds, sizeof five_seconds) != 0) {
        return 3;
      }
      char buffer[256];
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
      return got == 0 || (got < 0 && errno == ECONNRESET) ? 0 : 4;
    });
    ::close(sent[1]);  // so that a sender that fails ends the read
    char byte = 0;
    EXPECT_EQ(::read(sent[0], &byte, 1), 1) << "connected and sent";
    ::close(sent[0]);
    ASSERT_EQ(::chmod(rt.folder.c_str(), 0700), 0);
    EXPECT_EQ(HandOver(rt.folder, "/next", nullptr), HandOverResult::Delivered);
    EXPECT_EQ(server->TakeMessages(), Messages({{false, "/next"}}));
    EXPECT_TRUE(server->TakeMessages().empty());
    EXPECT_EQ(ExitStatus(pid), 0) << "the server closes the connection";
  }
}

TEST(SingleInstance, StartupDecidesTheRole) {
  using enum StartupRole;
  enum Before { kNothing, kServer, kLockOnly, kLate, kEnding, kKilledServer };
  const std::string cwd = std::filesystem::current_path(), odd = "/a b/\xe4\xb8\xad\n.c";
  const std::string longest = "/" + std::string(kMaxHandOverLength - 2, 'x');
  struct Case {
    const char* name;
    mode_t before;  // a Before, or a refused folder made first: S_IFDIR | mode, S_IFLNK, S_IFREG
    std::string path;
    StartupRole role;
    std::string error;
    Messages received = {};  // by the running window
  } cases[] = {
      {"first window", kNothing, "/p", Serve, ""},
      {"second start without a path", kServer, "", HandedOver, "", {{true, ""}}},
      {"an absolute path", kServer, odd, HandedOver, "", {{false, odd}}},
      {"a relative path", kServer, "src", HandedOver, "", {{false, cwd + "/src"}}},
      {"the longest path", kServer, longest, HandedOver, "", {{false, longest}}},
      {"a path too long", kServer, longest + "y", OwnWindow,
       "the path is too long to hand over (65536 bytes, at most 65535)"},
      {"the running window never answers", kLockOnly, "/p", OwnWindow,
       "the running window does not answer on {}/A29BB535-9E5D-4166-9549-F88E77337083.sock"},
      {"it listens 300 ms late", kLate, "/late", HandedOver, "", {{false, "/late"}}},
      {"it gives up the lock meanwhile", kEnding, "/p", Serve, ""},
      {"a killed window left its socket", kKilledServer, "/p", Serve, ""},
      {"unusable folder", S_IFDIR | 0755, "/p", OwnWindow,
       "the runtime folder {} is open to other users (mode 0755); it must be 0700"},
      {"folder others may enter", S_IFDIR | 0701, "/p", OwnWindow,
       "the runtime folder {} is open to other users (mode 0701); it must be 0700"},
      {"folder of another user", S_IFDIR | 0700, "/p", OwnWindow,
       "the runtime folder {} belongs to user 65534, not to user 0"},
      {"folder is a link", S_IFLNK, "/p", OwnWindow,
       "the runtime folder {} is a link; it must be a folder of its own"},
      {"a file", S_IFREG, "/p", OwnWindow, "the runtime folder {} is not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.before == (S_IFDIR | 0700) && ::geteuid() != 0) continue;
    Runtime rt;
    const char* folder = rt.folder.c_str();
    std::unique_ptr<InstanceServer> running;
    std::unique_ptr<InstanceLock> lock;
    if (c.before == kServer) running = InstanceServer::Start(rt.folder, nullptr);
    if (c.before == kLockOnly || c.before == kLate || c.before == kEnding) {
      InstanceLock::Acquire(rt.folder, &lock, nullptr);
    }
    ASSERT_TRUE(!S_ISDIR(c.before) ||
                (::mkdir(folder, 0700) | ::chmod(folder, c.before & 0777) |
                 ::chown(folder, c.before & 077 ? ::geteuid() : kNobody, -1)) == 0);
    // The link leads to a private folder of the user: the temporary folder.
    ASSERT_TRUE(!S_ISLNK(c.before) || ::symlink(rt.temp.Path().c_str(), folder) == 0);
    if (S_ISREG(c.before)) test::WriteFile(rt.folder, "x");
    if (c.before == kKilledServer) {  // its process ends without removing the socket
      EXPECT_EQ(
          ExitStatus(Fork([&] { return !InstanceServer::Start(rt.folder, nullptr).release(); })),
          0);
      EXPECT_EQ(HandOver(rt.folder, "/x", nullptr, 0ms), HandOverResult::NoInstance);
    }
    // The holder of the lock starts listening 300 ms late, or gives the lock up then.
    std::thread holder([&] {
      if (c.before != kLate && c.before != kEnding) return;
      std::this_thread::sleep_for(300ms);
      if (c.before == kLate) running = InstanceServer::Listen(std::move(lock), nullptr);
      lock.reset();
    });
    InstanceStartup decision = DecideStartupRole(rt.folder, c.path, 1500ms);
    holder.join();
    EXPECT_EQ(decision.role, c.role);
    EXPECT_EQ(decision.error, rt.Named(c.error));
    if (running) {
      EXPECT_EQ(running->TakeMessages(), c.received);
      EXPECT_TRUE(running->TakeMessages().empty());
    }
    EXPECT_EQ(decision.server != nullptr, c.role == Serve);
    bool held = true;  // a later start finds the lock taken, unless the folder is refused
    EXPECT_EQ(InstanceServer::Start(rt.folder, nullptr, &held), nullptr);
    EXPECT_EQ(held, c.before <= kKilledServer);
    if (c.before > kKilledServer) {  // a later start never sends into a folder it does not trust
      std::string error;
      EXPECT_EQ(HandOver(rt.folder, "/a", &error, 0ms), HandOverResult::Failed);
      EXPECT_EQ(error, decision.error);
    }
    // A new first window serves later starts and removes its socket when it ends.
    if (decision.server) {
      EXPECT_EQ(HandOver(rt.folder, "/later", nullptr), HandOverResult::Delivered);
      EXPECT_EQ(decision.server->TakeMessages(), Messages({{false, "/later"}}));
      decision.server.reset();
      EXPECT_NE(::access(rt.socket.c_str(), F_OK), 0);
      EXPECT_NE(InstanceServer::Start(rt.folder, nullptr, &held), nullptr) << "the lock is free";
      EXPECT_FALSE(held);
    }
  }
  EXPECT_EQ(DecideStartupRole("relative/run", "/p", 0ms).error,
            "the runtime folder \"relative/run\" is not an absolute path");
}

}  // namespace
}  // namespace tv
