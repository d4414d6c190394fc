// Helpers shared by the libFuzzer targets: an in-memory file that the
// file-reading code can open by path, a scratch folder for code that lists
// folders, an independent line splitter, and the check that stops the fuzzer
// on a broken invariant.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Reports the failed condition and stops: libFuzzer then saves the input.
#define TV_FUZZ_CHECK(cond)                                                              \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      __builtin_trap();                                                                  \
    }                                                                                    \
  } while (0)

namespace tv::fuzz {

/// A file in memory (memfd) reachable through /proc/self/fd, so that the
/// code under test opens, reads and closes it like any regular file without
/// touching the disk. One per process; each call replaces its contents.
inline std::string WriteMemoryFile(std::string_view bytes) {
  static const int fd = memfd_create("tallyvane-fuzz", MFD_CLOEXEC);
  TV_FUZZ_CHECK(fd >= 0);
  TV_FUZZ_CHECK(ftruncate(fd, 0) == 0);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    TV_FUZZ_CHECK(n > 0);
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

/// A folder of the process's own, on tmpfs when there is one, for targets
/// whose code under test lists folders and opens files by name. It and all
/// it holds are removed when the process ends normally.
class ScratchTree {
 public:
  ScratchTree() {
    std::string pattern =
        std::string(IsFolder("/dev/shm") ? "/dev/shm" : "/tmp") + "/tallyvane-fuzz-XXXXXX";
    TV_FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    root_ = pattern + "/";
  }
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;
  ~ScratchTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  /// The folder's path, ending in "/".
  const std::string& root() const { return root_; }

  /// Creates the folder `relative` and its parents.
  void MakeFolder(std::string_view relative) const {
    std::filesystem::create_directories(root_ + std::string(relative));
  }

  /// Creates or replaces the file `relative` with `bytes`.
  void Write(std::string_view relative, std::string_view bytes) const {
    const std::string path = root_ + std::string(relative);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    TV_FUZZ_CHECK(fd >= 0);
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      TV_FUZZ_CHECK(n > 0);
      done += static_cast<size_t>(n);
    }
    TV_FUZZ_CHECK(::close(fd) == 0);
  }

 private:
  static bool IsFolder(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
  }

  std::string root_;
};

/// The lines of `text` by the source-file rules, computed the plain way: the
/// text ends at the first 0x1A byte; a line feed ends a line and a carriage
/// return directly before it is dropped; a last line without a line feed
/// counts when it holds a byte.
inline std::vector<std::string_view> SplitSourceLines(std::string_view text) {
  size_t eof = text.find('\x1A');
  if (eof != std::string_view::npos) text = text.substr(0, eof);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    size_t end = i;
    if (end > start && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(start, end - start));
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

inline bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace tv::fuzz
