#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace tv {

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ResolveLinks(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

// Opens a fresh temporary file in `dir`; its name is returned in `name`.
int OpenTemporary(const std::string& dir, const std::string& base, std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = dir + "/." + base + ".tv" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + "-" + std::to_string(rd() % 100000);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

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
  target_ = ResolveLinks(target);
  struct stat st;
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return Fail("cannot replace");
    }
    if (::access(target_.c_str(), W_OK) != 0) return Fail("cannot write");
  }
  std::string dir = DirectoryOf(target_);
  std::string base =
      target_.substr(target_.rfind('/') == std::string::npos ? 0 : target_.rfind('/') + 1);
  fd_ = OpenTemporary(dir, base, temp_);
  if (fd_ < 0) {
    temp_.clear();
    return Fail("cannot create");
  }
  if (exists) ::fchmod(fd_, st.st_mode & 07777);
  return true;
}

bool AtomicFileWriter::Flush() {
  const char* p = buffer_.data();
  size_t left = buffer_.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool AtomicFileWriter::Write(std::string_view data) {
  if (fd_ < 0) return false;
  buffer_.append(data);
  if (buffer_.size() >= (1u << 16) && !Flush()) return Fail("cannot write");
  return true;
}

bool AtomicFileWriter::Commit(bool no_replace) {
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
    return Fail("cannot replace");
  }
  temp_.clear();
  return true;
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  buffer_.clear();
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error) {
  AtomicFileWriter writer;
  bool ok = writer.Begin(path) && writer.Write(data) && writer.Commit();
  if (!ok && error != nullptr) *error = writer.error();
  return ok;
}

bool CreateFileIfMissing(const std::string& path, std::string_view data) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return false;
  AtomicFileWriter writer;
  return writer.Begin(path) && writer.Write(data) && writer.Commit(/*no_replace=*/true);
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
