// Per-file counts and run totals.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/codepage.h"

namespace tv {

/// The language families, each counted by its own classifier.
enum class LanguageFamily { CFamily, Sql, Pascal, Basic, Assembly };

/// The counts of one file. A line counted as code and comment is in both, so
/// code + comment + blank may exceed total.
struct FileTally {
  uint64_t total = 0;
  uint64_t code = 0;
  uint64_t comment = 0;
  uint64_t blank = 0;
  /// The errno of a read that failed part way, else 0: the counts then
  /// cover the lines read before it.
  int read_error = 0;

  bool operator==(const FileTally&) const = default;
};

/// The sums of a run: the classifiers add every file's code, comment and
/// blank lines; the run adds each file's pre-counted lines.
struct RunTotals {
  uint64_t code = 0;
  uint64_t comment = 0;
  uint64_t blank = 0;
  uint64_t lines = 0;

  void Add(const FileTally& t) {
    code += t.code;
    comment += t.comment;
    blank += t.blank;
  }
};

/// How a classifier runs: the code page of its substring searches, and the
/// progress counter it advances by one per line (null when the run shows no
/// progress). The counter is published in batches; a reader on another
/// thread sees it grow monotonically and reach the exact total at the end of
/// each file.
///
/// `abort` (null: never) is read once per chunk the classifier reads; once it
/// is non-zero the file's counting ends at once and its tally stays partial.
/// Only a run that is being thrown away sets it.
struct CountOptions {
  CodePage code_page = CodePage::Gbk;
  std::atomic<uint64_t>* progress = nullptr;
  const std::atomic<int>* abort = nullptr;
};

/// The counting actions a line can receive.
enum class LineClass { Blank, Code, Comment, CodeAndComment, DoubleCodeAndComment };

inline void Apply(LineClass c, FileTally& t) {
  switch (c) {
    case LineClass::Blank:
      ++t.blank;
      break;
    case LineClass::Code:
      ++t.code;
      break;
    case LineClass::Comment:
      ++t.comment;
      break;
    case LineClass::CodeAndComment:
      ++t.code;
      ++t.comment;
      break;
    case LineClass::DoubleCodeAndComment:
      t.code += 2;
      ++t.comment;
      break;
  }
}

}  // namespace tv
