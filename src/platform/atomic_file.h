// Replacing a file only once its new content is complete.
#pragma once

#include <string>
#include <string_view>

namespace tv {

/// Writes a new version of a file beside it and renames it over the old one
/// on Commit, so a failed or interrupted write never loses the old file. A
/// target that is a link is followed, even when the file it names does not
/// exist yet: the file it names is written. The new file keeps the owner,
/// group and permission bits of the file it replaces. An uncommitted writer
/// removes its temporary file.
///
/// Where the folder refuses a temporary file, or the rename over the target
/// is refused (a sticky folder, a bind-mounted file, another file system),
/// an existing file the user may write is written in place instead: the
/// complete content is prepared first (in memory, or in the temporary file
/// when one could be made), then the target is overwritten without
/// truncation, cut to the new length and synced. Only a failure during that
/// last step can leave the old file damaged, and it is reported as such.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  /// Prepares the write. Fails (with a reason in error()) when the folder is
  /// missing, the target is a folder, or the existing target may not be
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
  /// The file that is written: the target with its links followed.
  const std::string& target() const { return target_; }

 private:
  bool Fail(const char* what);
  bool Flush();
  bool CommitInPlace();

  int fd_ = -1;
  bool in_memory_ = false;  // no temporary file: the content waits in buffer_
  std::string target_;
  std::string temp_;
  int temp_slot_ = -1;
  std::string buffer_;
  std::string error_;
  int errno_ = 0;
};

/// Writes `data` to `path` through an AtomicFileWriter; error text in `error`.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error);

/// Creates `path` with `data` only when no file exists there: a file another
/// process created meanwhile is never overwritten. The file appears whole
/// (a complete temporary file is linked to the name); where the file system
/// has no hard links, an exclusive create writes it directly. With
/// `use_links` false the exclusive create is used at once. Returns true
/// when this call created the file.
bool CreateFileIfMissing(const std::string& path, std::string_view data, bool use_links = true);

/// Creates `dir` and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& dir);

/// The path a write to `path` ends up at: links are followed one by one,
/// also when the last one points at a file that does not exist yet.
std::string FollowLinks(const std::string& path);

/// Removes registered temporary files when the process is ended by SIGINT,
/// SIGTERM or SIGHUP, then ends it by the same signal (the shell sees the
/// usual status 128 + signal). Writers register their temporary files
/// whether or not this was called; the command line and the window install
/// it. With `close_request_fd` (a pipe's write end) the first SIGTERM or
/// SIGHUP only writes the signal's number there, so the window can close as
/// its close button does; a second one ends the process. -1 stops that.
void RemoveTemporaryFilesOnSignals(int close_request_fd = -1);

}  // namespace tv
