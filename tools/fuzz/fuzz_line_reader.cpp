// Fuzzes the source line reader. The first input byte picks a small buffer
// size, so that lines cross buffer refills, and where the reader is re-opened
// in the middle of a file; the rest is the file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/source_lines.h"
#include "fuzz_support.h"

namespace {

std::vector<std::string> ReadAll(tv::SourceLineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.ReadSourceLine(line)) lines.emplace_back(line);
  // The end stays the end.
  TV_FUZZ_CHECK(!reader.ReadSourceLine(line));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t buffer_size = 1 + (data[0] & 0x3F);  // the reader raises it to its minimum
  const size_t reopen_after = data[0] >> 6;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = tv::fuzz::WriteMemoryFile(text);

  // From memory: the lines of the plain splitter, byte for byte.
  tv::SourceLineReader memory_reader;
  memory_reader.OpenText(text);
  const std::vector<std::string> lines = ReadAll(memory_reader);
  const auto expected = tv::fuzz::SplitSourceLines(text);
  TV_FUZZ_CHECK(lines.size() == expected.size());
  for (size_t i = 0; i < lines.size(); ++i) TV_FUZZ_CHECK(lines[i] == expected[i]);

  // The line counts agree with the reader.
  TV_FUZZ_CHECK(tv::CountTextLines(text) == lines.size());
  TV_FUZZ_CHECK(tv::CountFileLines(path) == lines.size());

  // From the file through a small buffer, after a partial first reading of
  // the same file and of the text, so nothing of an earlier source survives
  // an Open.
  tv::SourceLineReader file_reader(buffer_size);
  std::string_view line;
  TV_FUZZ_CHECK(file_reader.Open(path));
  for (size_t i = 0; i < reopen_after && file_reader.ReadSourceLine(line); ++i) {
  }
  file_reader.OpenText(text);
  for (size_t i = 0; i < reopen_after && file_reader.ReadSourceLine(line); ++i) {
  }
  TV_FUZZ_CHECK(file_reader.Open(path));
  const std::vector<std::string> from_file = ReadAll(file_reader);
  TV_FUZZ_CHECK(from_file == lines);

  // Joining the lines with line feeds gives back the text up to its end
  // mark, less every carriage return that stood directly before a line feed.
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += lines[i];
    TV_FUZZ_CHECK(lines[i].find('\n') == std::string::npos);
    TV_FUZZ_CHECK(lines[i].find('\x1A') == std::string::npos);
  }
  std::string_view body = text.substr(0, text.find('\x1A'));
  std::string expected_text;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') continue;
    expected_text += body[i];
  }
  if (!body.empty() && body.back() == '\n') joined += '\n';
  TV_FUZZ_CHECK(joined == expected_text);
  return 0;
}
