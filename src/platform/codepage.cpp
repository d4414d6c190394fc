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

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

unsigned Utf16Unit(std::string_view bytes, size_t i, bool big_endian) {
  const auto first = static_cast<unsigned char>(bytes[i]);
  const auto second = static_cast<unsigned char>(bytes[i + 1]);
  return big_endian ? (first << 8 | second) : (second << 8 | first);
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return;
  }
  char buf[4];
  size_t n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  for (size_t i = n; i-- > 1; c >>= 6) buf[i] = static_cast<char>(0x80 | (c & 0x3F));
  buf[0] = static_cast<char>((n == 2 ? 0xC0 : n == 3 ? 0xE0 : 0xF0) | c);
  out.append(buf, n);
}

void AppendUtf16(char32_t c, bool big_endian, std::string& out) {
  auto unit = [&](unsigned u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out.push_back(big_endian ? hi : lo);
    out.push_back(big_endian ? lo : hi);
  };
  if (c < 0x10000) {
    unit(c);
  } else {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// UTF-16 to UTF-8; false when the text is not whole UTF-16.
bool DecodeUtf16(std::string_view bytes, bool big_endian, std::string& out) {
  if (bytes.size() % 2 != 0) return false;
  out.reserve(bytes.size() * 3 / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = Utf16Unit(bytes, i, big_endian);
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 2 >= bytes.size()) return false;
      const char32_t low = Utf16Unit(bytes, i + 2, big_endian);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(c, out);
  }
  return true;
}

}  // namespace

std::optional<FileText> DecodeFileText(std::string_view bytes, CodePage ansi) {
  FileText file;
  if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
    const bool big_endian = bytes.starts_with(kUtf16BeMark);
    file.encoding = big_endian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
    file.code_page = CodePage::Utf8;
    if (!DecodeUtf16(bytes.substr(2), big_endian, file.text)) return std::nullopt;
  } else if (bytes.starts_with(kUtf8Mark)) {
    file.encoding = TextEncoding::Utf8;
    file.code_page = CodePage::Utf8;
    file.text = bytes.substr(kUtf8Mark.size());
  } else {
    file.code_page = ansi;
    file.text = bytes;
  }
  return file;
}

std::string EncodeFileText(std::string_view text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Ansi:
      return std::string(text);
    case TextEncoding::Utf8:
      return std::string(kUtf8Mark).append(text);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
      break;
  }
  const bool big_endian = encoding == TextEncoding::Utf16Be;
  std::string out(big_endian ? kUtf16BeMark : kUtf16LeMark);
  out.reserve(2 + text.size() * 2);
  for (size_t i = 0; i < text.size();) {
    const size_t len = Utf8SequenceLength(text.substr(i));
    if (len == 0) {  // never in text read from a file; a mark of its own otherwise
      AppendUtf16(0xFFFD, big_endian, out);
      ++i;
      continue;
    }
    const auto* u = reinterpret_cast<const unsigned char*>(text.data() + i);
    char32_t c = len == 1 ? u[0] : u[0] & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) c = c << 6 | (u[k] & 0x3F);
    AppendUtf16(c, big_endian, out);
    i += len;
  }
  return out;
}

}  // namespace tv
