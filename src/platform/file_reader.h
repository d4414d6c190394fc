// Reading a file as bytes, in chunks, without ever blocking on something that
// is not a regular file.
#pragma once

#include <cstddef>
#include <string>

namespace tv {

/// A regular file opened for sequential reading. Anything else (a folder, a
/// FIFO, a socket, a device) is refused by Open, so reading can never hang.
class FileReader {
 public:
  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  /// Opens `path` for reading; false when it cannot be opened or is not a
  /// regular file.
  bool Open(const std::string& path);
  /// Reads up to `size` bytes; 0 at the end of the file and after a read
  /// error, which error() then tells apart.
  size_t Read(char* buffer, size_t size);
  void Close();
  /// The errno of the read that failed, 0 while none has: an error is never
  /// the end of the file.
  int error() const { return error_; }
  int descriptor() const { return fd_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

/// True when `path` names an existing entry of any kind (links followed).
bool PathExists(const std::string& path);
/// True when `path` names a directory (links followed).
bool IsDirectory(const std::string& path);
/// True when `path` names a regular file (links followed).
bool IsRegularFile(const std::string& path);

/// Reads a whole regular file into `out`; false when it cannot be opened or
/// a read fails part way (then `*error`, when given, gets the errno).
bool ReadWholeFile(const std::string& path, std::string& out, int* error = nullptr);

/// Reads everything from the open descriptor `fd` into `out`; false when a
/// read fails, with the errno in `*error` when given.
bool ReadDescriptor(int fd, std::string& out, int* error = nullptr);

}  // namespace tv
