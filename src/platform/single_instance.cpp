#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tv {

namespace {

using Clock = std::chrono::steady_clock;

// Connections accepted by one TakeMessages call; more stay queued and keep
// the listening socket readable for the next call.
constexpr int kMaxConnectionsPerTake = 64;
constexpr std::chrono::milliseconds kRetryPause{20};

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { Reset(); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

bool Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return false;
}

std::string Errno(int number) {
  return std::strerror(number);
}

std::string LockPath(const std::string& folder) {
  return folder + "/" + std::string(kInstanceName) + ".lock";
}

std::string SocketPath(const std::string& folder) {
  return folder + "/" + std::string(kInstanceName) + ".sock";
}

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

enum class FolderState { Usable, Missing, Refused };

// Checks the folder without following a link: a folder of the current user
// that nobody else may enter, so the lock and the socket inside are ours.
FolderState CheckRuntimeFolder(const std::string& folder, std::string* error) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) {
    if (errno == ENOENT) return FolderState::Missing;
    Fail(error, "cannot examine the runtime folder " + folder + ": " + Errno(errno));
    return FolderState::Refused;
  }
  if (S_ISLNK(st.st_mode)) {
    Fail(error, "the runtime folder " + folder + " is a link; it must be a folder of its own");
    return FolderState::Refused;
  }
  if (!S_ISDIR(st.st_mode)) {
    Fail(error, "the runtime folder " + folder + " is not a folder");
    return FolderState::Refused;
  }
  if (st.st_uid != ::geteuid()) {
    Fail(error, "the runtime folder " + folder + " belongs to user " + std::to_string(st.st_uid) +
                    ", not to user " + std::to_string(::geteuid()));
    return FolderState::Refused;
  }
  if ((st.st_mode & 077) != 0) {
    Fail(error, "the runtime folder " + folder + " is open to other users (mode " +
                    ModeText(st.st_mode) + "); it must be 0700");
    return FolderState::Refused;
  }
  return FolderState::Usable;
}

bool SocketAddress(const std::string& path, sockaddr_un* address, std::string* error) {
  *address = {};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) {
    return Fail(error, "the socket path " + path + " is too long (at most " +
                           std::to_string(sizeof address->sun_path - 1) + " bytes)");
  }
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

// The effective user of the process at the other end of a connected socket,
// or -1 when the system does not say.
long long PeerUser(int fd) {
  ucred cred{};
  socklen_t size = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof cred) {
    return -1;
  }
  return cred.uid;
}

bool PeerIsCurrentUser(int fd) {
  return PeerUser(fd) == static_cast<long long>(::geteuid());
}

uint32_t AnnouncedLength(std::string_view bytes) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
}

struct Connection {
  UniqueFd fd;
  std::string bytes;
};

// Reads what the peer has sent so far, never more than the announced
// message, so a long message is refused on its length before its body is
// read.
FrameStatus ReadWaiting(Connection& connection, HandOverMessage* message) {
  for (;;) {
    size_t want = 4;
    if (connection.bytes.size() >= 4) {
      const FrameStatus status = DecodeHandOverMessage(connection.bytes, message);
      if (status != FrameStatus::Incomplete) return status;
      want += AnnouncedLength(connection.bytes);
    }
    want -= connection.bytes.size();
    char buffer[4096];
    const ssize_t got = ::recv(connection.fd.get(), buffer, std::min(want, sizeof buffer), 0);
    if (got > 0) {
      connection.bytes.append(buffer, static_cast<size_t>(got));
    } else if (got == 0) {
      return FrameStatus::Invalid;  // the peer closed before its message was whole
    } else if (errno != EINTR) {
      return errno == EAGAIN || errno == EWOULDBLOCK ? FrameStatus::Incomplete
                                                     : FrameStatus::Invalid;
    }
  }
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::string CurrentFolder() {
  std::string folder(256, '\0');
  for (;;) {
    if (::getcwd(folder.data(), folder.size()) != nullptr) {
      folder.resize(std::strlen(folder.c_str()));
      return folder;
    }
    if (errno != ERANGE) return {};
    folder.resize(folder.size() * 2);
  }
}

}  // namespace

std::string DefaultRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    std::string folder = runtime;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return (folder == "/" ? "" : folder) + "/tallyvane";
  }
  return "/tmp/tallyvane-" + std::to_string(::geteuid());
}

bool PrepareRuntimeFolder(const std::string& folder, std::string* error) {
  if (folder.empty() || folder[0] != '/') {
    return Fail(error, "the runtime folder \"" + folder + "\" is not an absolute path");
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return Fail(error, "cannot create the runtime folder " + folder + ": " + Errno(errno));
  }
  switch (CheckRuntimeFolder(folder, error)) {
    case FolderState::Usable:
      return true;
    case FolderState::Missing:  // removed again since it was made
      return Fail(error, "the runtime folder " + folder + " has disappeared");
    case FolderState::Refused:
      break;
  }
  return false;
}

std::string AbsoluteHandOverPath(const std::string& path, const std::string& current_folder) {
  if (!path.empty() && path[0] == '/') return path;
  if (!current_folder.empty() && current_folder.back() == '/') return current_folder + path;
  return current_folder + "/" + path;
}

std::string EncodeHandOverMessage(const HandOverMessage& message) {
  const std::string body = message.raise_only ? std::string("R") : "P" + message.path;
  const auto length = static_cast<uint32_t>(body.size());
  std::string frame;
  for (int shift = 0; shift < 32; shift += 8) {
    frame.push_back(static_cast<char>((length >> shift) & 0xFF));
  }
  return frame + body;
}

FrameStatus DecodeHandOverMessage(std::string_view bytes, HandOverMessage* message) {
  if (bytes.size() < 4) return FrameStatus::Incomplete;
  const uint32_t length = AnnouncedLength(bytes);
  if (length == 0 || length > kMaxHandOverLength) return FrameStatus::Invalid;
  if (bytes.size() - 4 < length) return FrameStatus::Incomplete;
  const char kind = bytes[4];
  const std::string_view path = bytes.substr(5, length - 1);
  if (kind == 'R' && path.empty()) {
    *message = {true, ""};
    return FrameStatus::Complete;
  }
  // A relative path would be taken against the receiver's folder, not the
  // sender's, so only absolute paths are acted on.
  if (kind != 'P' || path.empty() || path[0] != '/' || path.find('\0') != std::string_view::npos) {
    return FrameStatus::Invalid;
  }
  *message = {false, std::string(path)};
  return FrameStatus::Complete;
}

InstanceLock::Outcome InstanceLock::Acquire(const std::string& runtime_folder,
                                            std::unique_ptr<InstanceLock>* lock,
                                            std::string* error) {
  if (!PrepareRuntimeFolder(runtime_folder, error)) return Outcome::Failed;
  const std::string path = LockPath(runtime_folder);
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (fd.get() < 0) {
    Fail(error, "cannot open the lock file " + path + ": " + Errno(errno));
    return Outcome::Failed;
  }
  int rc;
  do {
    rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    if (errno == EWOULDBLOCK) {
      Fail(error, "another instance holds the lock " + path);
      return Outcome::HeldElsewhere;
    }
    Fail(error, "cannot lock " + path + ": " + Errno(errno));
    return Outcome::Failed;
  }
  lock->reset(new InstanceLock(runtime_folder, fd.release()));
  return Outcome::Acquired;
}

InstanceLock::~InstanceLock() {
  ::close(fd_);  // closing the only descriptor gives up the lock
}

bool InstanceLockHeld(const std::string& runtime_folder) {
  UniqueFd fd(::open(LockPath(runtime_folder).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return false;
  // A shared lock is refused while anyone holds the exclusive one; it is
  // given back at once, so it only delays a start for an instant.
  int rc;
  do {
    rc = ::flock(fd.get(), LOCK_SH | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return errno == EWOULDBLOCK;
  ::flock(fd.get(), LOCK_UN);
  return false;
}

std::unique_ptr<InstanceServer> InstanceServer::Start(const std::string& runtime_folder,
                                                      std::string* error,
                                                      bool* lock_held_elsewhere) {
  if (lock_held_elsewhere != nullptr) *lock_held_elsewhere = false;
  std::unique_ptr<InstanceLock> lock;
  switch (InstanceLock::Acquire(runtime_folder, &lock, error)) {
    case InstanceLock::Outcome::Acquired:
      return Listen(std::move(lock), error);
    case InstanceLock::Outcome::HeldElsewhere:
      if (lock_held_elsewhere != nullptr) *lock_held_elsewhere = true;
      return nullptr;
    case InstanceLock::Outcome::Failed:
      return nullptr;
  }
  return nullptr;
}

std::unique_ptr<InstanceServer> InstanceServer::Listen(std::unique_ptr<InstanceLock> lock,
                                                       std::string* error) {
  const std::string path = SocketPath(lock->folder());
  sockaddr_un address;
  if (!SocketAddress(path, &address, error)) return nullptr;
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) {
    Fail(error, "cannot create a socket: " + Errno(errno));
    return nullptr;
  }
  // Whoever made a socket here before has ended or given up the lock, so
  // the name is free to take again.
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    Fail(error, "cannot remove the old socket " + path + ": " + Errno(errno));
    return nullptr;
  }
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.get(), SOMAXCONN) != 0) {
    Fail(error, "cannot listen on " + path + ": " + Errno(errno));
    return nullptr;
  }
  return std::unique_ptr<InstanceServer>(new InstanceServer(std::move(lock), fd.release(), path));
}

InstanceServer::~InstanceServer() {
  ::unlink(socket_path_.c_str());  // while the lock is still held
  ::close(listen_fd_);
}

std::vector<HandOverMessage> InstanceServer::TakeMessages() {
  const auto deadline = Clock::now() + read_timeout_;
  std::vector<HandOverMessage> messages;
  std::vector<Connection> waiting;
  for (int taken = 0; taken < kMaxConnectionsPerTake; ++taken) {
    UniqueFd fd(::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (fd.get() < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      break;  // nothing more is waiting (or the system refuses for now)
    }
    if (!PeerIsCurrentUser(fd.get())) continue;
    Connection connection{std::move(fd), {}};
    HandOverMessage message;
    const FrameStatus status = ReadWaiting(connection, &message);
    if (status == FrameStatus::Complete) messages.push_back(std::move(message));
    if (status == FrameStatus::Incomplete) waiting.push_back(std::move(connection));
  }
  while (!waiting.empty()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    std::vector<pollfd> polled;
    for (const Connection& connection : waiting) {
      polled.push_back({connection.fd.get(), POLLIN, 0});
    }
    const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(left));
    if (ready < 0 && errno != EINTR) break;
    std::vector<bool> done(waiting.size(), false);
    for (size_t i = 0; i < waiting.size(); ++i) {
      if (ready <= 0 || polled[i].revents == 0) continue;
      HandOverMessage message;
      const FrameStatus status = ReadWaiting(waiting[i], &message);
      if (status == FrameStatus::Complete) messages.push_back(std::move(message));
      done[i] = status != FrameStatus::Incomplete;
    }
    size_t kept = 0;
    for (size_t i = 0; i < waiting.size(); ++i) {
      if (!done[i]) waiting[kept++] = std::move(waiting[i]);
    }
    waiting.resize(kept);
  }
  return messages;  // connections still waiting are dropped here
}

HandOverResult HandOver(const std::string& runtime_folder, const std::string& path,
                        std::string* error, std::chrono::milliseconds patience) {
  HandOverMessage message;
  message.raise_only = path.empty();
  if (!path.empty()) {
    std::string current;
    if (path[0] != '/') {
      current = CurrentFolder();
      if (current.empty()) {
        Fail(error, "cannot read the current folder: " + Errno(errno));
        return HandOverResult::Failed;
      }
    }
    message.path = AbsoluteHandOverPath(path, current);
    if (1 + message.path.size() > kMaxHandOverLength) {
      Fail(error, "the path is too long to hand over (" + std::to_string(message.path.size()) +
                      " bytes, at most " + std::to_string(kMaxHandOverLength - 1) + ")");
      return HandOverResult::Failed;
    }
  }
  switch (CheckRuntimeFolder(runtime_folder, error)) {
    case FolderState::Usable:
      break;
    case FolderState::Missing:
      return HandOverResult::NoInstance;
    case FolderState::Refused:
      return HandOverResult::Failed;
  }
  const std::string socket_path = SocketPath(runtime_folder);
  sockaddr_un address;
  if (!SocketAddress(socket_path, &address, error)) return HandOverResult::Failed;
  const std::string frame = EncodeHandOverMessage(message);
  const auto deadline = Clock::now() + patience;
  for (;;) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) {
      Fail(error, "cannot create a socket: " + Errno(errno));
      return HandOverResult::Failed;
    }
    // Bounds a connect to a full queue and a send to a window that reads
    // nothing.
    const auto bound = std::max<Clock::duration>(deadline - Clock::now(), kRetryPause);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(bound).count();
    const timeval timeout{static_cast<time_t>(micros / 1000000),
                          static_cast<suseconds_t>(micros % 1000000)};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      if (!PeerIsCurrentUser(fd.get())) {
        Fail(error, "the socket " + socket_path + " is served by user " +
                        std::to_string(PeerUser(fd.get())) + ", not by user " +
                        std::to_string(::geteuid()));
        return HandOverResult::Failed;
      }
      if (!SendAll(fd.get(), frame)) {
        Fail(error, "cannot send to the running window on " + socket_path + ": " + Errno(errno));
        return HandOverResult::Failed;
      }
      return HandOverResult::Delivered;
    }
    const int err = errno;
    // No socket, nobody listening or a full queue: the holder of the lock
    // may still be setting up its socket.
    if (err != ENOENT && err != ECONNREFUSED && err != EAGAIN && err != EINTR) {
      Fail(error, "cannot connect to " + socket_path + ": " + Errno(err));
      return HandOverResult::Failed;
    }
    if (!InstanceLockHeld(runtime_folder)) return HandOverResult::NoInstance;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
      Fail(error, "the running window does not answer on " + socket_path);
      return HandOverResult::Failed;
    }
    std::this_thread::sleep_for(std::min<Clock::duration>(left, kRetryPause));
  }
}

InstanceStartup DecideStartupRole(const std::string& runtime_folder, const std::string& path,
                                  std::chrono::milliseconds patience) {
  InstanceStartup decision;
  const auto deadline = Clock::now() + patience;
  for (;;) {
    std::unique_ptr<InstanceLock> lock;
    switch (InstanceLock::Acquire(runtime_folder, &lock, &decision.error)) {
      case InstanceLock::Outcome::Acquired:
        decision.error.clear();
        decision.server = InstanceServer::Listen(std::move(lock), &decision.error);
        decision.role = decision.server ? StartupRole::Serve : StartupRole::OwnWindow;
        return decision;
      case InstanceLock::Outcome::Failed:
        // Without a usable folder there is no single instance to keep; the
        // start goes on alone.
        decision.role = StartupRole::OwnWindow;
        return decision;
      case InstanceLock::Outcome::HeldElsewhere:
        break;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    switch (HandOver(runtime_folder, path, &decision.error,
                     std::max(left, std::chrono::milliseconds::zero()))) {
      case HandOverResult::Delivered:
        decision.error.clear();
        decision.role = StartupRole::HandedOver;
        return decision;
      case HandOverResult::Failed:
        decision.role = StartupRole::OwnWindow;
        return decision;
      case HandOverResult::NoInstance:
        // The holder ended between the lock and the hand-over: try to be
        // the first instance, while time is left.
        if (Clock::now() >= deadline) {
          decision.error = "no running window answered";
          decision.role = StartupRole::OwnWindow;
          return decision;
        }
        break;
    }
  }
}

}  // namespace tv
