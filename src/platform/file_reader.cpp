#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tv {

FileReader::~FileReader() {
  Close();
}

bool FileReader::Open(const std::string& path) {
  Close();
  // O_NONBLOCK keeps the open itself from waiting on a FIFO without a writer;
  // the entry is then refused because it is not a regular file.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  return true;
}

namespace {

// One read, repeated when a signal cut it short; -1 with errno on failure.
ssize_t ReadOnce(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace

size_t FileReader::Read(char* buffer, size_t size) {
  if (fd_ < 0 || error_ != 0) return 0;
  const ssize_t n = ReadOnce(fd_, buffer, size);
  if (n >= 0) return static_cast<size_t>(n);
  error_ = errno;
  return 0;
}

void FileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  error_ = 0;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadDescriptor(int fd, std::string& out, int* error) {
  out.clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = ReadOnce(fd, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (error != nullptr) *error = errno;
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
}

bool ReadWholeFile(const std::string& path, std::string& out, int* error) {
  out.clear();
  FileReader reader;
  if (!reader.Open(path)) {
    if (error != nullptr) *error = errno;
    return false;
  }
  return ReadDescriptor(reader.descriptor(), out, error);
}

}  // namespace tv
