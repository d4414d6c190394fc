// The five line classifiers. Each takes the lines of one file in order and
// decides, line by line, whether it is blank, code, comment, or both; the
// state they keep lives only as long as one file.
#pragma once

#include <string_view>

#include "engine/tally.h"

namespace tv {

/// Shared terms of the per-line rules, on a trimmed line.
struct LineView {
  std::string_view text;
  CodePage cp;

  bool Empty() const { return text.empty(); }
  size_t Pos(std::string_view needle, size_t from = 0) const {
    return FindText(text, needle, from, cp);
  }
  bool Contains(std::string_view needle) const { return Pos(needle) != std::string_view::npos; }
  /// Position of the last occurrence of the single byte `c` that is not the
  /// second byte of a double-byte character.
  size_t LastPos(char c) const;
  std::string_view Left(size_t n) const { return text.substr(0, n); }
  std::string_view Right(size_t n) const {
    return text.size() <= n ? text : text.substr(text.size() - n);
  }
};

/// C, C++, Java and C#: "//" line comments, "/*" ... "*/" block comments, and
/// double-quoted strings that may hide either marker.
class CFamilyClassifier {
 public:
  /// Every rule needs one of these bytes; a line without them is a plain line.
  static constexpr char kMarkers[] = "/\"";

  explicit CFamilyClassifier(CodePage cp) : cp_(cp) {}
  LineClass Classify(std::string_view raw_line);
  /// The class of a line that holds none of kMarkers and is not blank; such a
  /// line leaves the state as it is.
  LineClass PlainLine() const {
    if (block_string_pending_ || line_string_pending_) return LineClass::Code;
    return in_block_ ? LineClass::Comment : LineClass::Code;
  }

 private:
  enum class QuoteCheck { Decided, FallThrough, NotApplicable };
  QuoteCheck CheckQuotes(const LineView& l, size_t first_quote, std::string_view marker,
                         bool& pending, bool& seen, LineClass& out);
  LineClass OutsideBlock(const LineView& l);
  LineClass InsideBlock(const LineView& l);

  CodePage cp_;
  bool in_block_ = false;
  bool block_string_pending_ = false;
  bool line_string_pending_ = false;
  bool block_marker_after_string_ = false;
  bool line_marker_after_string_ = false;
};

/// SQL: "--" line comments and "/*" ... "*/" block comments; quotes play no part.
class SqlClassifier {
 public:
  static constexpr char kMarkers[] = "-/";

  explicit SqlClassifier(CodePage cp) : cp_(cp) {}
  LineClass Classify(std::string_view raw_line);
  LineClass PlainLine() const { return in_block_ ? LineClass::Comment : LineClass::Code; }

 private:
  CodePage cp_;
  bool in_block_ = false;
};

/// Pascal: "//" line comments, and "{" ... "}" and "(*" ... "*)" comments that
/// are recognised only when a line begins with their opener.
class PascalClassifier {
 public:
  static constexpr char kMarkers[] = "/{}*";

  explicit PascalClassifier(CodePage cp) : cp_(cp) {}
  LineClass Classify(std::string_view raw_line);
  LineClass PlainLine() const {
    return in_brace_ || in_paren_ ? LineClass::Comment : LineClass::Code;
  }

 private:
  LineClass InsideComment(const LineView& l, std::string_view closer, bool closes_at_end,
                          bool& open, bool& marker_seen);

  CodePage cp_;
  bool in_brace_ = false;
  bool in_paren_ = false;
  bool brace_marker_seen_ = false;
  bool paren_marker_seen_ = false;
};

/// Basic: an apostrophe starts a comment unless it lies inside a string.
class BasicClassifier {
 public:
  static constexpr char kMarkers[] = "'";

  explicit BasicClassifier(CodePage cp) : cp_(cp) {}
  LineClass Classify(std::string_view raw_line) const;
  LineClass PlainLine() const { return LineClass::Code; }

 private:
  CodePage cp_;
};

/// Assembly: a semicolon starts a comment, wherever it stands.
class AsmClassifier {
 public:
  static constexpr char kMarkers[] = ";";

  explicit AsmClassifier(CodePage cp) : cp_(cp) {}
  LineClass Classify(std::string_view raw_line) const;
  LineClass PlainLine() const { return LineClass::Code; }

 private:
  CodePage cp_;
};

}  // namespace tv
