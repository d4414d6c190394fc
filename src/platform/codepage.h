// The ANSI code page: the 8-bit text encoding of settings, selection files,
// project files and reports, and the character rule of the searches inside
// source lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tv {

enum class CodePage { Gbk, Utf8 };

/// The code page chosen for this process: GBK unless TALLYVANE_CODEPAGE is
/// "utf-8" (any case), "utf8" or "65001". Read once, on first use.
CodePage AnsiCodePage();

/// Parses a TALLYVANE_CODEPAGE value; a null or unknown value gives GBK.
CodePage ParseCodePageName(const char* value);

/// A byte that begins a double-byte character.
inline bool IsLeadByte(CodePage cp, unsigned char b) {
  return cp == CodePage::Gbk && b >= 0x81 && b <= 0xFE;
}

/// A byte that can be the second byte of a double-byte character.
inline bool IsTrailByte(unsigned char b) {
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

/// The length of the character at s[i] (1 or 2): a lead byte takes the next
/// byte with it when that byte can be a second byte; in text that is not
/// valid a lead byte stands alone, so ASCII punctuation is never hidden.
inline size_t CharLength(CodePage cp, const unsigned char* s, size_t i, size_t n) {
  return IsLeadByte(cp, s[i]) && i + 1 < n && IsTrailByte(s[i + 1]) ? 2 : 1;
}

/// First position at or after `from` where `needle` occurs in `hay` and that
/// is not the second byte of a double-byte character; npos when there is none.
/// A needle that starts below 0x40 can never start on a second byte, so it is
/// found by a plain byte search.
size_t FindText(std::string_view hay, std::string_view needle, size_t from, CodePage cp);

inline bool ContainsText(std::string_view hay, std::string_view needle, CodePage cp) {
  return FindText(hay, needle, 0, cp) != std::string_view::npos;
}

/// Lower-cases ASCII letters, leaving both bytes of double-byte characters alone.
std::string LowerAscii(std::string_view s, CodePage cp);

/// ANSI text to UTF-8. Bytes that are not valid text become U+FFFD.
std::string AnsiToUtf8(std::string_view ansi, CodePage cp);

/// UTF-8 text to ANSI. Invalid UTF-8 bytes become "?" (GBK) or U+FFFD (UTF-8);
/// under GBK a U+FFFD, the mark of a character that could not be read, is
/// written as "?" too.
std::string Utf8ToAnsi(std::string_view utf8, CodePage cp);

/// Makes any byte string valid UTF-8: every invalid byte becomes U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

/// True when `bytes` is valid UTF-8 throughout.
bool IsValidUtf8(std::string_view bytes);

/// A file name or path as UTF-8 text to show. Each name of a path is taken
/// on its own: valid UTF-8 stays as it is, any other name is read in the
/// ANSI code page, which is how names made on the users' Windows systems
/// read right. Bytes invalid there too become U+FFFD.
std::string NameToUtf8(std::string_view name, CodePage cp);

/// Byte length of the first `max_bytes` of `ansi` cut so that no double-byte
/// character is split.
size_t CutWithoutSplitting(std::string_view ansi, size_t max_bytes, CodePage cp);

/// Length of the valid UTF-8 sequence that starts `s`, or 0 when it is not valid.
size_t Utf8SequenceLength(std::string_view s);

/// How a settings, selection or project file holds its text: in the ANSI
/// code page, or after a byte-order mark in UTF-8 or in UTF-16 of either
/// byte order.
enum class TextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

/// A file's text as the readers take it.
struct FileText {
  std::string text;                    // without the byte-order mark; UTF-16 turned into UTF-8
  CodePage code_page = CodePage::Gbk;  // the code page of `text`
  TextEncoding encoding = TextEncoding::Ansi;
};

/// The text of a file's bytes, told by its byte-order mark. Nullopt when
/// UTF-16 text is broken (an odd number of bytes, half of a surrogate pair):
/// such a file can neither be read nor written back without loss.
std::optional<FileText> DecodeFileText(std::string_view bytes, CodePage ansi);

/// `text`, in the code page DecodeFileText gives for `encoding`, as the
/// bytes of a file in that encoding, its byte-order mark first.
std::string EncodeFileText(std::string_view text, TextEncoding encoding);

}  // namespace tv
