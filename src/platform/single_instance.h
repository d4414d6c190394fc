// One running window per user: a lock that the running window holds and a
// socket on which it takes paths from later starts.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tv {

/// The name of the lock file and of the socket, without their extensions.
inline constexpr std::string_view kInstanceName = "A29BB535-9E5D-4166-9549-F88E77337083";

/// The most bytes a hand-over message announces (its kind byte and path).
inline constexpr size_t kMaxHandOverLength = 64 * 1024;

/// How long a later start keeps trying a running window whose socket does
/// not answer yet.
inline constexpr std::chrono::milliseconds kHandOverPatience{2000};

/// How long the running window waits for a connection to deliver its whole
/// message before dropping it.
inline constexpr std::chrono::milliseconds kHandOverReadTimeout{200};

/// $XDG_RUNTIME_DIR/tallyvane when that variable names an absolute folder,
/// else /tmp/tallyvane-UID.
std::string DefaultRuntimeFolder();

/// Creates `folder` (mode 0700) when it is missing, then checks it without
/// following links: it must be a folder, owned by the current user, with no
/// group or other permission bits. False with the reason in `error`.
bool PrepareRuntimeFolder(const std::string& folder, std::string* error);

/// `path` made absolute against `current_folder`; "." and ".." stay.
std::string AbsoluteHandOverPath(const std::string& path, const std::string& current_folder);

/// What a later start asks of the running window.
struct HandOverMessage {
  bool raise_only = false;  ///< bring the window to the front, count nothing
  std::string path;         ///< absolute; counted by the window
  bool operator==(const HandOverMessage&) const = default;
};

/// The bytes of one message: a 4-byte little-endian length, then the kind
/// byte ('P' with a path, 'R' to raise only) and the path bytes.
std::string EncodeHandOverMessage(const HandOverMessage& message);

enum class FrameStatus { Complete, Incomplete, Invalid };

/// Reads one message from the start of `bytes`. Invalid: a length of 0 or
/// above kMaxHandOverLength (known from the first 4 bytes alone), an unknown
/// kind, a raise request with bytes after it, a path that is empty, relative
/// or holds a NUL byte. Bytes after the message are ignored.
FrameStatus DecodeHandOverMessage(std::string_view bytes, HandOverMessage* message);

/// The single-instance lock: an advisory exclusive lock on
/// "<kInstanceName>.lock" in the runtime folder, held while the object lives.
class InstanceLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere, Failed };

  /// Prepares `runtime_folder` and takes the lock without waiting. On
  /// Acquired `lock` holds it; on Failed `error` says why.
  static Outcome Acquire(const std::string& runtime_folder, std::unique_ptr<InstanceLock>* lock,
                         std::string* error);

  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  const std::string& folder() const { return folder_; }

 private:
  InstanceLock(std::string folder, int fd) : folder_(std::move(folder)), fd_(fd) {}

  std::string folder_;
  int fd_;
};

/// True when another open of the lock file holds the lock, in this process
/// or another. A missing lock file is not held.
bool InstanceLockHeld(const std::string& runtime_folder);

/// The running window's side: holds the lock and listens on
/// "<kInstanceName>.sock" beside it for messages from later starts, taking
/// only connections of the same user.
class InstanceServer {
 public:
  /// Takes the lock and listens. Null when the folder is unusable, the lock
  /// is held elsewhere (then `*lock_held_elsewhere` is set when given) or
  /// the socket cannot be made; `error` says why.
  static std::unique_ptr<InstanceServer> Start(const std::string& runtime_folder,
                                               std::string* error,
                                               bool* lock_held_elsewhere = nullptr);

  /// Listens while holding `lock` (not null), which the server keeps. A socket left by
  /// an instance that ended without removing it is replaced.
  static std::unique_ptr<InstanceServer> Listen(std::unique_ptr<InstanceLock> lock,
                                                std::string* error);

  /// Removes the socket, then gives up the lock.
  ~InstanceServer();
  InstanceServer(const InstanceServer&) = delete;
  InstanceServer& operator=(const InstanceServer&) = delete;

  /// The listening socket, readable when a start is waiting to be taken.
  int fd() const { return listen_fd_; }

  /// Accepts the waiting connections and returns their messages in the
  /// order they are complete. Waits at most read_timeout() in all for
  /// connections that have not sent their whole message yet, then drops
  /// them; malformed messages and other users' connections are dropped
  /// without acting on them.
  std::vector<HandOverMessage> TakeMessages();

  std::chrono::milliseconds read_timeout() const { return read_timeout_; }
  void set_read_timeout(std::chrono::milliseconds timeout) { read_timeout_ = timeout; }

 private:
  InstanceServer(std::unique_ptr<InstanceLock> lock, int listen_fd, std::string socket_path)
      : lock_(std::move(lock)), listen_fd_(listen_fd), socket_path_(std::move(socket_path)) {}

  std::unique_ptr<InstanceLock> lock_;
  int listen_fd_;
  std::string socket_path_;
  std::chrono::milliseconds read_timeout_ = kHandOverReadTimeout;
};

enum class HandOverResult { Delivered, NoInstance, Failed };

/// Sends `path`, made absolute against the current folder, to the running
/// window (a raise request when `path` is empty). While the lock is held but
/// the socket does not answer yet (a start that is still setting up), keeps
/// trying for `patience`, then Failed. NoInstance when nobody holds the lock.
/// A runtime folder or a listener of another user is never sent to (Failed).
HandOverResult HandOver(const std::string& runtime_folder, const std::string& path,
                        std::string* error, std::chrono::milliseconds patience = kHandOverPatience);

enum class StartupRole {
  Serve,       ///< the first window: `server` takes later starts' messages
  HandedOver,  ///< a running window took the path or the raise request: exit 0
  OwnWindow,   ///< no running window answered, or the folder is unusable
               ///< (`error` says which): open a window that serves nobody
};

struct InstanceStartup {
  StartupRole role = StartupRole::OwnWindow;
  std::unique_ptr<InstanceServer> server;
  std::string error;
};

/// A window's start: the first window takes the lock and listens; a later
/// start hands `path` (or a raise request when it is empty) to the running
/// window. When the holder of the lock ends meanwhile, the start tries to
/// become the first window again.
InstanceStartup DecideStartupRole(const std::string& runtime_folder, const std::string& path,
                                  std::chrono::milliseconds patience = kHandOverPatience);

}  // namespace tv
