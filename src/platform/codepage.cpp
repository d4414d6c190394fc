#include "platform/codepage.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tv {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Converts with iconv; a byte the source encoding rejects becomes `bad`.
std::string Convert(std::string_view in, const char* to, const char* from, std::string_view bad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char buf[4096];
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, dst - buf);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one byte and mark it.
      out.append(bad);
      ++src;
      --left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* dst = buf;
  size_t room = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &room);
  out.append(buf, dst - buf);
  iconv_close(cd);
  return out;
}

}  // namespace

CodePage ParseCodePageName(const char* value) {
  if (value == nullptr) return CodePage::Gbk;
  if (strcasecmp(value, "utf-8") == 0 || strcasecmp(value, "utf8") == 0 ||
      std::strcmp(value, "65001") == 0) {
    return CodePage::Utf8;
  }
  return CodePage::Gbk;
}

CodePage AnsiCodePage() {
  static const CodePage cp = ParseCodePageName(std::getenv("TALLYVANE_CODEPAGE"));
  return cp;
}

namespace {

// Plain byte search, tuned for the short lines and two- or three-byte
// markers of the classifiers.
size_t FindBytes(std::string_view hay, std::string_view needle, size_t from) {
  const size_t n = hay.size(), m = needle.size();
  if (m == 0) return from <= n ? from : std::string_view::npos;
  if (from >= n || m > n - from) return std::string_view::npos;
  const char first = needle[0];
  const char* s = hay.data();
  if (m == 1) {
    const void* hit = std::memchr(s + from, first, n - from);
    return hit == nullptr ? std::string_view::npos
                          : static_cast<size_t>(static_cast<const char*>(hit) - s);
  }
  const size_t last_start = n - m;
  for (size_t i = from; i <= last_start; ++i) {
    // Short lines are scanned directly; a library call costs more there.
    if (last_start - i >= 16) {
      const void* hit = std::memchr(s + i, first, last_start - i + 1);
      if (hit == nullptr) return std::string_view::npos;
      i = static_cast<size_t>(static_cast<const char*>(hit) - s);
    } else if (s[i] != first) {
      continue;
    }
    size_t k = 1;
    while (k < m && s[i + k] == needle[k]) ++k;
    if (k == m) return i;
  }
  return std::string_view::npos;
}

}  // namespace

size_t FindText(std::string_view hay, std::string_view needle, size_t from, CodePage cp) {
  size_t p = FindBytes(hay, needle, from);
  if (cp != CodePage::Gbk || p == std::string_view::npos || needle.empty() ||
      !IsTrailByte(static_cast<unsigned char>(needle[0]))) {
    return p;
  }
  // Walk the characters from the start of the line; a candidate that falls
  // on the second byte of a double-byte character is no match.
  const auto* s = reinterpret_cast<const unsigned char*>(hay.data());
  const size_t n = hay.size();
  size_t b = 0;
  while (p != std::string_view::npos) {
    while (b < p) b += CharLength(cp, s, b, n);
    if (b == p) return p;
    p = FindBytes(hay, needle, p + 1);
  }
  return p;
}

std::string LowerAscii(std::string_view s, CodePage cp) {
  std::string out(s);
  const auto* u = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < out.size();) {
    const size_t len = CharLength(cp, u, i, out.size());
    if (len == 1 && u[i] >= 'A' && u[i] <= 'Z') out[i] = static_cast<char>(u[i] + ('a' - 'A'));
    i += len;  // the second byte of a character is never changed
  }
  return out;
}

size_t Utf8SequenceLength(std::string_view s) {
  if (s.empty()) return 0;
  const auto* u = reinterpret_cast<const unsigned char*>(s.data());
  unsigned char c = u[0];
  if (c < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < len) return 0;
  if (u[1] < lo || u[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i) {
    if (u[i] < 0x80 || u[i] > 0xBF) return 0;
  }
  return len;
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    size_t len = Utf8SequenceLength(bytes.substr(i));
    if (len == 0) {
      out.append(kReplacement);
      ++i;
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t len = Utf8SequenceLength(bytes.substr(i));
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string NameToUtf8(std::string_view name, CodePage cp) {
  if (IsValidUtf8(name)) return std::string(name);
  std::string out;
  out.reserve(name.size() * 3 / 2);
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    const std::string_view part = name.substr(start, slash - start);
    out.append(IsValidUtf8(part) ? std::string(part) : AnsiToUtf8(part, cp));
    if (slash == std::string_view::npos) return out;
    out.push_back('/');
    start = slash + 1;
  }
}

std::string AnsiToUtf8(std::string_view ansi, CodePage cp) {
  if (cp == CodePage::Utf8) return SanitizeUtf8(ansi);
  bool ascii = true;
  for (char c : ansi) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(ansi);
  return Convert(ansi, "UTF-8", "GB18030", kReplacement);
}

std::string Utf8ToAnsi(std::string_view utf8, CodePage cp) {
  if (cp == CodePage::Utf8) return SanitizeUtf8(utf8);
  bool ascii = true;
  for (char c : utf8) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(utf8);
  if (utf8.find(kReplacement) == std::string_view::npos) {
    return Convert(utf8, "GB18030", "UTF-8", "?");
  }
  std::string marked(utf8);
  for (size_t at = 0; (at = marked.find(kReplacement, at)) != std::string::npos; ++at) {
    marked.replace(at, kReplacement.size(), "?");
  }
  return Convert(marked, "GB18030", "UTF-8", "?");
}

size_t CutWithoutSplitting(std::string_view ansi, size_t max_bytes, CodePage cp) {
  if (ansi.size() <= max_bytes) return ansi.size();
  size_t i = 0;
  while (i < max_bytes) {
    size_t len;
    if (cp == CodePage::Gbk) {
      const auto* u = reinterpret_cast<const unsigned char*>(ansi.data());
      len = CharLength(cp, u, i, ansi.size());
      // A four-byte GB18030 character: lead, digit, lead, digit.
      if (IsLeadByte(cp, u[i]) && i + 3 < ansi.size() && u[i + 1] >= 0x30 && u[i + 1] <= 0x39) {
        len = 4;
      }
    } else {
      len = Utf8SequenceLength(ansi.substr(i));
      if (len == 0) len = 1;
    }
    if (i + len > max_bytes) break;
    i += len;
  }
  return i;
}

}  // namespace tv
