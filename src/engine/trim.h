// The line trims applied before classification.
#pragma once

#include <string_view>

namespace tv {

/// Removes, in this order, leading spaces, trailing spaces, leading tabs and
/// trailing tabs, and then the same four again. Only space and tab are
/// removed; a run that alternates more often keeps a remainder (tab, space,
/// tab, space, tab, space, tab trims to one space).
inline std::string_view TrimSourceLine(std::string_view s) {
  for (int pass = 0; pass < 2; ++pass) {
    for (char c : {' ', '\t'}) {
      size_t b = s.find_first_not_of(c);
      if (b == std::string_view::npos) return {};
      s.remove_prefix(b);
      s.remove_suffix(s.size() - 1 - s.find_last_not_of(c));
    }
  }
  return s;
}

/// The assembly trim: leading spaces, then leading tabs, once each. Trailing
/// blanks and spaces after the removed tabs stay.
inline std::string_view TrimAsmLine(std::string_view s) {
  for (char c : {' ', '\t'}) {
    size_t b = s.find_first_not_of(c);
    if (b == std::string_view::npos) return {};
    s.remove_prefix(b);
  }
  return s;
}

}  // namespace tv
