// Replacing a file only once its new content is complete.
#pragma once

#include <string>
#include <string_view>

namespace tv {

/// Writes a new version of a file beside it and renames it over the old one
/// on Commit, so a failed or interrupted write never loses the old file. A
/// target that is a link is followed: the file it names is replaced. The new
/// file keeps the permission bits of the file it replaces. An uncommitted
/// writer removes its temporary file.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  /// Creates the temporary file. Fails (with a reason in error()) when the
  /// folder is missing or not writable, or the existing target may not be
  /// written by this user.
  bool Begin(const std::string& target);
  bool Write(std::string_view data);
  /// Flushes, syncs and renames over the target. With `no_replace` the
  /// target must not exist (an existing one is left alone and Commit fails
  /// with EEXIST in error_number()).
  bool Commit(bool no_replace = false);
  void Abandon();

  const std::string& error() const { return error_; }
  int error_number() const { return errno_; }
  const std::string& target() const { return target_; }

 private:
  bool Fail(const char* what);
  bool Flush();

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::string buffer_;
  std::string error_;
  int errno_ = 0;
};

/// Writes `data` to `path` through an AtomicFileWriter; error text in `error`.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error);

/// Creates `path` with `data` only when no file exists there, atomically:
/// a file another process created meanwhile is never overwritten. Returns
/// true when this call created the file.
bool CreateFileIfMissing(const std::string& path, std::string_view data);

/// Creates `dir` and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& dir);

}  // namespace tv
