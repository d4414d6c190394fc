// Small text helpers shared by the readers of settings, selection and
// project files.
#pragma once

#include <string_view>

namespace tv {

/// Removes spaces and tabs at both ends.
inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

/// The text before the first NUL byte: a value read from a file ends there.
inline std::string_view UpToNul(std::string_view s) {
  return s.substr(0, s.find('\0'));
}

/// Removes spaces, and only spaces, at both ends.
inline std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace tv
