// The checks every classifier target applies: the first input byte picks the
// code page, the rest is the text of one source file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "engine/classifiers.h"
#include "engine/count.h"
#include "engine/source_lines.h"
#include "engine/trim.h"
#include "fuzz_support.h"

namespace tv::fuzz {

struct ClassifierTraits {
  LanguageFamily family;
  /// Bytes without which no line can ever count as comment.
  std::string_view marker_bytes;
  /// Most code a single line can add (2 where the double-code rule exists).
  uint64_t max_code_per_line;
  /// The trim the classifier applies before its rules.
  std::string_view (*trim)(std::string_view);
};

template <class Classifier>
void FuzzClassifier(const ClassifierTraits& traits, const uint8_t* data, size_t size) {
  if (size == 0) return;
  const CodePage cp = (data[0] & 1) != 0 ? CodePage::Utf8 : CodePage::Gbk;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const FileTally t = CountText(traits.family, text, cp);
  const auto lines = SplitSourceLines(text);

  // Every line is counted once, whatever the line reader's path.
  TV_FUZZ_CHECK(t.total == lines.size());
  TV_FUZZ_CHECK(t.total == CountTextLines(text));

  // A blank line is exactly a line that trims to nothing; every other line
  // adds one to comment at most, and to code at most max_code_per_line.
  uint64_t blank = 0;
  for (std::string_view line : lines) blank += traits.trim(line).empty() ? 1 : 0;
  TV_FUZZ_CHECK(t.blank == blank);
  const uint64_t filled = t.total - t.blank;
  TV_FUZZ_CHECK(t.comment <= filled);
  TV_FUZZ_CHECK(t.code <= traits.max_code_per_line * filled);
  TV_FUZZ_CHECK(t.code + t.comment >= filled);
  const uint64_t sum = t.code + t.comment + t.blank;
  TV_FUZZ_CHECK(sum >= t.total && sum <= (traits.max_code_per_line + 1) * t.total);

  // Without any byte of a comment marker there is nothing but code and blanks.
  if (text.find_first_of(traits.marker_bytes) == std::string_view::npos) {
    TV_FUZZ_CHECK(t.comment == 0);
    TV_FUZZ_CHECK(t.code == filled);
  }

  // The classifier fed line by line from the plain splitter agrees.
  Classifier classifier(cp);
  FileTally by_line;
  for (std::string_view line : lines) {
    Apply(classifier.Classify(line), by_line);
    ++by_line.total;
  }
  TV_FUZZ_CHECK(by_line == t);

  // Counting the same bytes as a file gives the same tally, adds it to the
  // run totals and advances the progress counter by one per line.
  std::atomic<uint64_t> progress{0};
  CountOptions options;
  options.code_page = cp;
  options.progress = &progress;
  FileTally from_file;
  from_file.code = 12345;  // the classifier must zero what it is given
  RunTotals totals;
  CountFile(traits.family, WriteMemoryFile(text), from_file, totals, options);
  TV_FUZZ_CHECK(from_file == t);
  TV_FUZZ_CHECK(totals.code == t.code && totals.comment == t.comment && totals.blank == t.blank);
  TV_FUZZ_CHECK(progress.load() == t.total);

  // Without double-byte lead bytes the code page changes nothing.
  if (IsAscii(text)) {
    const CodePage other = cp == CodePage::Gbk ? CodePage::Utf8 : CodePage::Gbk;
    TV_FUZZ_CHECK(CountText(traits.family, text, other) == t);
  }
}

}  // namespace tv::fuzz
