// Splitting a source file into lines, byte for byte.
//
// A line ends at a line feed, which is not part of it; a carriage return
// directly before the line feed is dropped too, while a carriage return
// anywhere else stays in the line. A byte 0x1A ends the file. The last line
// counts without a final line feed when it holds at least one byte. Lines may
// be of any length; memory grows only with the longest line.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_reader.h"

namespace tv {

class SourceLineReader {
 public:
  static constexpr size_t kDefaultBufferSize = 64 * 1024;

  explicit SourceLineReader(size_t buffer_size = kDefaultBufferSize);

  /// Opens a source file; false when it cannot be opened (the file then has
  /// no lines).
  bool Open(const std::string& path);
  /// Reads lines out of text held in memory; the text must outlive the reader.
  void OpenText(std::string_view text);

  /// The next line, valid until the next call; false at the end of the file.
  bool ReadSourceLine(std::string_view& line);

 private:
  bool Refill();

  FileReader file_;
  size_t buffer_size_;
  std::unique_ptr<char[]> buffer_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool at_end_ = true;  // no more bytes will come from the source
  std::string carry_;   // a line that spans buffer refills
  bool carry_given_ = false;
};

/// The number of lines ReadSourceLine yields for `path`; 0 when the file
/// cannot be opened. `abort` (null: never) is read once per chunk; once it is
/// non-zero the count ends at once with the lines seen so far.
uint64_t CountFileLines(const std::string& path, const std::atomic<int>* abort = nullptr);

/// The same count for text in memory.
uint64_t CountTextLines(std::string_view text);

}  // namespace tv
