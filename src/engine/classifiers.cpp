#include "engine/classifiers.h"

#include <cstring>

#include "engine/trim.h"

namespace tv {

namespace {

constexpr size_t npos = std::string_view::npos;

// A line holding a whole comment between text: decided by what stands at
// its two ends.
LineClass FourWay(const LineView& l, std::string_view opener, std::string_view closer) {
  bool opens = l.Left(2) == opener;
  bool closes = l.Right(2) == closer;
  if (opens && closes) return LineClass::Comment;
  if (opens || closes) return LineClass::CodeAndComment;
  return LineClass::DoubleCodeAndComment;
}

// The block-comment rules shared by C and SQL for a line outside any block
// comment; `line_marker` is "//" or "--".
LineClass BlockRulesOutside(const LineView& l, std::string_view line_marker, bool& in_block) {
  // A line that begins with the line marker is a comment whatever follows:
  // any block opener stands after the marker.
  if (l.Left(2) == line_marker) return LineClass::Comment;
  const size_t line_pos = l.Pos(line_marker);
  const size_t open_pos = l.Pos("/*");
  // A line comment before the first block opener hides the opener.
  if (line_pos != npos && open_pos != npos && line_pos < open_pos) {
    return l.Left(2) == line_marker ? LineClass::Comment : LineClass::CodeAndComment;
  }
  if (open_pos != npos) {
    const bool has_close = l.Contains("*/");
    const size_t slash_pos = l.Pos("/*/");
    if (slash_pos == npos && has_close) return FourWay(l, "/*", "*/");
    // A lone "/*/" opens a comment even when a later "*/" would close it.
    if (slash_pos == npos || l.Pos("/*/", slash_pos + 3) == npos) {
      in_block = true;
      return l.Left(2) == "/*" ? LineClass::Comment : LineClass::CodeAndComment;
    }
    return FourWay(l, "/*", "*/");
  }
  if (l.Left(2) == line_marker) return LineClass::Comment;
  if (line_pos != npos) return LineClass::CodeAndComment;
  return LineClass::Code;
}

// A line inside a block comment: the first line holding "*/" closes it.
LineClass BlockRulesInside(const LineView& l, bool& in_block) {
  if (l.Contains("*/")) {
    in_block = false;
    return l.Right(2) == "*/" ? LineClass::Comment : LineClass::CodeAndComment;
  }
  return LineClass::Comment;
}

}  // namespace

size_t LineView::LastPos(char c) const {
  const size_t n = text.size();
  const auto* u = reinterpret_cast<const unsigned char*>(text.data());
  bool double_byte = false;
  for (size_t i = 0; i < n && !double_byte; ++i) double_byte = IsLeadByte(cp, u[i]);
  if (!double_byte) return text.rfind(c);
  size_t last = npos;
  for (size_t i = 0; i < n; i += CharLength(cp, u, i, n)) {
    if (text[i] == c) last = i;
  }
  return last;
}

// ---- C family ----

CFamilyClassifier::QuoteCheck CFamilyClassifier::CheckQuotes(const LineView& l, size_t q1,
                                                             std::string_view marker, bool& pending,
                                                             bool& seen, LineClass& out) {
  const std::string_view left2 = l.Left(2);
  if (left2 == "//" || left2 == "/*") return QuoteCheck::NotApplicable;
  if (q1 == npos) return QuoteCheck::NotApplicable;
  const size_t s = l.Pos(marker);
  if (s == npos) return QuoteCheck::NotApplicable;

  pending = true;
  const size_t q2 = l.Pos("\"", s);
  const size_t ql = l.LastPos('"');
  const bool no_line_comment_after = q2 != npos && l.Pos("//", ql) == npos;
  if (q1 < s && s > ql) {
    seen = true;  // the marker follows every string on the line
  } else if (!seen) {
    return QuoteCheck::FallThrough;
  }
  if (q1 == ql) {
    out = LineClass::Code;  // one quote: the string goes on past this line
    return QuoteCheck::Decided;
  }
  pending = false;
  out = no_line_comment_after ? LineClass::Code : LineClass::CodeAndComment;
  return QuoteCheck::Decided;
}

LineClass CFamilyClassifier::Classify(std::string_view raw_line) {
  const LineView l{TrimSourceLine(raw_line), cp_};
  if (l.Empty()) return LineClass::Blank;

  if (block_string_pending_) {
    if (l.Contains("\"")) block_string_pending_ = false;
    return LineClass::Code;
  }
  LineClass out = LineClass::Code;
  const size_t q1 = l.Pos("\"");  // the first quote, shared by both string checks
  if (CheckQuotes(l, q1, "/*", block_string_pending_, block_marker_after_string_, out) ==
      QuoteCheck::Decided) {
    return out;
  }
  if (line_string_pending_) {
    if (l.Contains("\"")) line_string_pending_ = false;
    return LineClass::Code;
  }
  if (CheckQuotes(l, q1, "//", line_string_pending_, line_marker_after_string_, out) ==
      QuoteCheck::Decided) {
    return out;
  }
  if (in_block_ || block_string_pending_ || line_string_pending_) {
    // Closing here leaves any pending string flag as it is.
    return BlockRulesInside(l, in_block_);
  }
  return BlockRulesOutside(l, "//", in_block_);
}

// ---- SQL ----

LineClass SqlClassifier::Classify(std::string_view raw_line) {
  const LineView l{TrimSourceLine(raw_line), cp_};
  if (l.Empty()) return LineClass::Blank;
  if (in_block_) return BlockRulesInside(l, in_block_);
  return BlockRulesOutside(l, "--", in_block_);
}

// ---- Pascal ----

LineClass PascalClassifier::InsideComment(const LineView& l, std::string_view closer,
                                          bool closes_at_end, bool& open, bool& marker_seen) {
  const size_t close_pos = l.Pos(closer);
  if (close_pos != npos) {
    const size_t marker_pos = l.Pos("//");
    if (marker_pos != npos) {
      // A "//" before the closer keeps the comment open, now and on every
      // later line of the file that holds both.
      if (marker_pos < close_pos) {
        marker_seen = true;
        return LineClass::Comment;
      }
      if (marker_seen) return LineClass::Comment;
      open = false;
      return LineClass::Comment;
    }
    open = false;
    return closes_at_end ? LineClass::Comment : LineClass::CodeAndComment;
  }
  return LineClass::Comment;
}

LineClass PascalClassifier::Classify(std::string_view raw_line) {
  const LineView l{TrimSourceLine(raw_line), cp_};
  if (l.Empty()) return LineClass::Blank;
  if (l.text.front() == '{') in_brace_ = true;
  if (l.Left(2) == "(*") in_paren_ = true;
  if (in_brace_) {
    return InsideComment(l, "}", l.text.back() == '}', in_brace_, brace_marker_seen_);
  }
  if (in_paren_) {
    return InsideComment(l, "*)", l.Right(2) == "*)", in_paren_, paren_marker_seen_);
  }
  if (l.Left(2) == "//") return LineClass::Comment;
  if (l.Contains("//")) return LineClass::CodeAndComment;
  return LineClass::Code;
}

// ---- Basic ----

LineClass BasicClassifier::Classify(std::string_view raw_line) const {
  const LineView l{TrimSourceLine(raw_line), cp_};
  if (l.Empty()) return LineClass::Blank;
  if (l.text.front() == '\'') return LineClass::Comment;
  const size_t a = l.Pos("'");
  if (a == npos) return LineClass::Code;
  const size_t d1 = l.Pos("\"");
  if (d1 == npos) return LineClass::CodeAndComment;
  const size_t d2 = l.Pos("\"", a);
  if (d2 == npos) return LineClass::CodeAndComment;
  if (d1 > a) return LineClass::CodeAndComment;
  // The apostrophe lies between quotes: only a later one starts a comment.
  return l.Pos("'", d2) == npos ? LineClass::Code : LineClass::CodeAndComment;
}

// ---- Assembly ----

LineClass AsmClassifier::Classify(std::string_view raw_line) const {
  const LineView l{TrimAsmLine(raw_line), cp_};
  if (l.Empty()) return LineClass::Blank;
  if (l.text.front() == ';') return LineClass::Comment;
  if (l.Contains(";")) return LineClass::CodeAndComment;
  return LineClass::Code;
}

}  // namespace tv
