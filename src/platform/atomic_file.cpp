#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

namespace tv {

namespace {

// The temporary files in use, for the signal handler that removes them. A
// handler may only touch lock-free atomics and fixed memory, so this is a
// fixed table of slots rather than a container. A slot is 0 (free), 1 (being
// filled) or 2 (holds a path the handler may remove).
constexpr int kTempSlots = 16;
struct TempSlot {
  std::atomic<int> state{0};
  char path[PATH_MAX];
};
TempSlot g_temp_slots[kTempSlots];
static_assert(std::atomic<int>::is_always_lock_free);

int RegisterTemp(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kTempSlots; ++i) {
    int expected = 0;
    if (!g_temp_slots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(g_temp_slots[i].path, path.c_str(), path.size() + 1);
    g_temp_slots[i].state.store(2, std::memory_order_release);
    return i;
  }
  return -1;  // more writers than slots: that file is not removed on a signal
}

void UnregisterTemp(int slot) {
  if (slot >= 0) g_temp_slots[slot].state.store(0, std::memory_order_release);
}

// Where a window wants to hear of SIGTERM and SIGHUP (a pipe's write end),
// or -1; it is taken by the first such signal, so a second one ends the
// process at once.
std::atomic<int> g_close_request_fd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RemoveTempsAndRaise(int sig) {
  if (sig == SIGTERM || sig == SIGHUP) {
    const int fd = g_close_request_fd.exchange(-1);
    if (fd >= 0) {
      const int saved = errno;
      const char byte = static_cast<char>(sig);
      const bool told = ::write(fd, &byte, 1) == 1;
      errno = saved;
      if (told) return;
    }
  }
  for (TempSlot& slot : g_temp_slots) {
    if (slot.state.load(std::memory_order_acquire) == 2) ::unlink(slot.path);
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Opens a fresh temporary file in `dir`; its name is returned in `name` and
// its slot for the signal handler in `slot`. The name does not repeat the
// target's, so it fits wherever the target does. The name is registered
// before the file exists, so a signal at any moment finds it.
int OpenTemporary(const std::string& dir, std::string& name, int& slot) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = dir + "/.tv" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) +
           "-" + std::to_string(rd() % 100000);
    slot = RegisterTemp(name);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    const int error = errno;
    UnregisterTemp(slot);
    slot = -1;
    errno = error;
    if (error != EEXIST) return -1;
  }
  return -1;
}

// The folder refuses a new name, or the rename over the target is refused,
// although the target itself may be writable: write it in place instead.
bool CallsForInPlace(int error) {
  return error == EACCES || error == EPERM || error == EBUSY || error == EXDEV;
}

bool WriteAll(int fd, const char* p, size_t left) {
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// Appends the content of the file `from` to `out`; the byte count in `copied`.
bool CopyFile(const std::string& from, int out, off_t& copied) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char chunk[1 << 16];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (!WriteAll(out, chunk, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
    copied += n;
  }
  ::close(in);
  return ok;
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit on a chain
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::string target(PATH_MAX, '\0');
    ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
    if (n <= 0) break;
    target.resize(static_cast<size_t>(n));
    p = target[0] == '/' ? target : DirectoryOf(p) + "/" + target;
  }
  return p;
}

void RemoveTemporaryFilesOnSignals(int close_request_fd) {
  g_close_request_fd.store(close_request_fd);
  struct sigaction action {};
  action.sa_handler = RemoveTempsAndRaise;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

AtomicFileWriter::~AtomicFileWriter() {
  Abandon();
}

bool AtomicFileWriter::Fail(const char* what) {
  errno_ = errno;
  error_ = std::string(what) + ": " + std::strerror(errno_);
  Abandon();
  return false;
}

bool AtomicFileWriter::Begin(const std::string& target) {
  Abandon();
  error_.clear();
  errno_ = 0;
  target_ = FollowLinks(target);
  struct stat st;
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return Fail("cannot replace");
    }
    if (::access(target_.c_str(), W_OK) != 0) return Fail("cannot write");
  }
  fd_ = OpenTemporary(DirectoryOf(target_), temp_, temp_slot_);
  if (fd_ < 0) {
    const int error = errno;
    temp_.clear();
    if (exists && S_ISREG(st.st_mode) && CallsForInPlace(error)) {
      in_memory_ = true;
      return true;
    }
    errno = error;
    return Fail("cannot create");
  }
  if (exists) {
    // Best effort: only root may give the file to another owner.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
    }
    ::fchmod(fd_, st.st_mode & 07777);
  }
  return true;
}

bool AtomicFileWriter::Flush() {
  if (!WriteAll(fd_, buffer_.data(), buffer_.size())) return false;
  buffer_.clear();
  return true;
}

bool AtomicFileWriter::Write(std::string_view data) {
  if (fd_ < 0 && !in_memory_) return false;
  buffer_.append(data);
  if (!in_memory_ && buffer_.size() >= (1u << 16) && !Flush()) return Fail("cannot write");
  return true;
}

bool AtomicFileWriter::CommitInPlace() {
  // Non-blocking: a FIFO swapped in since Begin must not hold the write
  // until a reader comes; only a regular file is written.
  int out = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (out < 0) return Fail("cannot write");
  struct stat st;
  if (::fstat(out, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(out);
    Abandon();
    errno_ = EINVAL;
    error_ = "cannot write: no longer a regular file";
    return false;
  }
  ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) & ~O_NONBLOCK);
  off_t size = 0;
  bool ok;
  if (in_memory_) {
    ok = WriteAll(out, buffer_.data(), buffer_.size());
    size = static_cast<off_t>(buffer_.size());
  } else {
    ok = CopyFile(temp_, out, size);
  }
  ok = ok && ::ftruncate(out, size) == 0 && ::fsync(out) == 0;
  const int error = errno;
  if (::close(out) != 0 && ok) return Fail("cannot write in place (the file may be damaged)");
  if (!ok) {
    errno = error;
    return Fail("cannot write in place (the file may be damaged)");
  }
  Abandon();  // the temporary file, if any, has served
  return true;
}

bool AtomicFileWriter::Commit(bool no_replace) {
  if (in_memory_) {
    if (!no_replace) return CommitInPlace();
    errno = EEXIST;  // only an existing target leads here
    return Fail("cannot create");
  }
  if (fd_ < 0) return false;
  if (!Flush()) return Fail("cannot write");
  if (::fsync(fd_) != 0) return Fail("cannot write");
  if (::close(fd_) != 0) {
    fd_ = -1;
    return Fail("cannot write");
  }
  fd_ = -1;
  if (no_replace) {
    // link() refuses an existing name, so a file that appeared meanwhile stays.
    if (::link(temp_.c_str(), target_.c_str()) != 0) return Fail("cannot create");
    ::unlink(temp_.c_str());
  } else if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    if (CallsForInPlace(errno)) return CommitInPlace();
    return Fail("cannot replace");
  }
  UnregisterTemp(temp_slot_);
  temp_slot_ = -1;
  temp_.clear();
  return true;
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  UnregisterTemp(temp_slot_);
  temp_slot_ = -1;
  temp_.clear();
  buffer_.clear();
  in_memory_ = false;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error) {
  AtomicFileWriter writer;
  bool ok = writer.Begin(path) && writer.Write(data) && writer.Commit();
  if (!ok && error != nullptr) *error = writer.error();
  return ok;
}

bool CreateFileIfMissing(const std::string& path, std::string_view data, bool use_links) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return false;
  if (use_links) {
    AtomicFileWriter writer;
    if (writer.Begin(path) && writer.Write(data) && writer.Commit(/*no_replace=*/true)) return true;
    const int error = writer.error_number();
    // Without hard links (FAT, exFAT, many network shares) an exclusive
    // create still never overwrites another process's file.
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS) return false;
  }
  const std::string target = FollowLinks(path);
  int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok) ::unlink(target.c_str());  // a half-written settings file would read as settings
  return ok;
}

bool MakeDirectories(const std::string& dir) {
  if (dir.empty()) return false;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = DirectoryOf(dir);
  if (parent != dir && parent != "." && parent != "/") MakeDirectories(parent);
  return ::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace tv
