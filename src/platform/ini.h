// INI profile files: sections of "key=value" lines, read and written with the
// semantics the program's settings, selection and folder-list files rely on.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/codepage.h"

namespace tv {

/// The lines of one INI file, kept as the file's own text so that lines the
/// program does not change are written back exactly. LF, CR LF and a lone
/// CR each end a line. Section and key names match without regard to ASCII
/// letter case. A section runs to the next line whose first non-blank
/// character is "[". A value ends at its first NUL byte. Names and values
/// given and returned are UTF-8; the file holds them in its encoding (the
/// ANSI code page, or UTF-8 or UTF-16 after a byte-order mark), and is
/// written back in it.
class IniDocument {
 public:
  /// An empty document, written in the ANSI code page.
  explicit IniDocument(CodePage ansi = CodePage::Gbk) : cp_(ansi) {}

  /// A document from a file's bytes; nullopt when they cannot be read as
  /// text without loss (see DecodeFileText).
  static std::optional<IniDocument> Parse(std::string_view bytes, CodePage ansi);
  /// Loads a file; a missing or unreadable file gives nullopt.
  static std::optional<IniDocument> Load(const std::string& path, CodePage ansi);
  /// Loads a file that is about to be changed: a missing file gives an empty
  /// document. A file that exists but cannot be read whole, or not as text,
  /// gives nullopt and "cannot read the existing file" in `error`: replacing
  /// it would lose what it holds.
  static std::optional<IniDocument> LoadForChange(const std::string& path, CodePage ansi,
                                                  std::string* error);

  /// The value of `key` in the first section named `section`, blanks around
  /// it removed and one pair of enclosing quotes dropped.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  /// Replaces the key's value where it stands, adds the key at the end of its
  /// section, or adds the section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  /// Removes every section named `section` with all its lines.
  void DeleteSection(std::string_view section);
  /// Adds the section with its keys, in order, at the end of the file, as
  /// setting each key of a new section would.
  void AppendSection(std::string_view section,
                     const std::vector<std::pair<std::string, std::string>>& keys);

  /// Calls `visit(name, value)` for every key of the first section named
  /// `section`, in file order, with name and value as the file holds them (in
  /// code_page(), blanks and one pair of quotes around the value removed).
  /// False when there is no such section.
  bool VisitSection(std::string_view section,
                    const std::function<void(std::string_view, std::string_view)>& visit) const;
  /// True when two names in the file's code page are the same name.
  bool SameName(std::string_view a, std::string_view b) const;

  /// The file's bytes in its encoding: every line ends in CR LF.
  std::string Serialize() const;
  /// Replaces the file at `path` with Serialize() atomically, creating its
  /// folder when missing; false with the reason in `error`.
  bool Save(const std::string& path, std::string* error) const;

  const std::vector<std::string>& lines() const { return lines_; }
  CodePage code_page() const { return cp_; }

 private:
  // [begin, end) line indexes of the body of the first section `section`;
  // nullopt when there is none. `header` receives the section line's index.
  struct Range {
    size_t header, begin, end;
  };
  std::optional<Range> FindSection(std::string_view ansi_section) const;
  std::optional<size_t> FindKey(const Range& r, std::string_view ansi_key) const;

  std::vector<std::string> lines_;
  CodePage cp_ = CodePage::Gbk;
  TextEncoding encoding_ = TextEncoding::Ansi;
};

/// Splits text into lines the way a text-mode reader does: LF and CR LF end a
/// line and the CR is dropped; a final line without LF counts when not empty.
std::vector<std::string> SplitTextLines(std::string_view text);

/// Reads one key of an INI file. Missing file, section or key: `fallback`.
/// The value is cut to buffer_size - 1 bytes of the file's code page without
/// splitting a character.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback, size_t buffer_size,
                              CodePage ansi);

/// Writes one key, replacing the file atomically; creates the file and its
/// folder when missing. False (with a reason in `error`) when it cannot.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, CodePage ansi, std::string* error = nullptr);

/// Deletes a whole section, replacing the file atomically.
bool DeleteProfileSection(const std::string& path, std::string_view section, CodePage ansi,
                          std::string* error = nullptr);

/// Buffer size for values that hold a path: never below this platform's
/// path limit.
size_t PathBufferSize(size_t requested);

}  // namespace tv
