// Helpers shared by the libFuzzer targets: an in-memory file that the
// file-reading code can open by path, an independent line splitter, and the
// check that stops the fuzzer on a broken invariant.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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
