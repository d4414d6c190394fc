#include "platform/ini.h"

#include "platform/atomic_file.h"
#include "platform/file_reader.h"
#include "platform/text.h"

namespace tv {

namespace {

constexpr size_t kPathLimit = 4096;

bool IsSectionLine(std::string_view line) {
  std::string_view t = TrimBlanks(line);
  return !t.empty() && t.front() == '[';
}

// The name of a section line: the text between "[" and "]" (or the end of the
// line when "]" is missing), blanks removed.
std::string_view SectionName(std::string_view line) {
  std::string_view t = TrimBlanks(line);
  t.remove_prefix(1);
  size_t close = t.find(']');
  if (close != std::string_view::npos) t = t.substr(0, close);
  return TrimBlanks(t);
}

bool NamesMatch(std::string_view a, std::string_view b, CodePage cp) {
  return a.size() == b.size() && LowerAscii(a, cp) == LowerAscii(b, cp);
}

// Splits a key line into name and value; false for lines that hold no key.
bool SplitKeyLine(std::string_view line, std::string_view& name, std::string_view& value) {
  std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  name = TrimBlanks(t.substr(0, eq));
  value = TrimBlanks(UpToNul(t.substr(eq + 1)));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return !name.empty();
}

// The lines of an INI file: LF, CR LF and a lone CR each end one, so no
// key hides behind a CR and a rewritten line never takes the next with it.
std::vector<std::string> SplitProfileLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    lines.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
  return lines;
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    size_t len = end - start;
    if (len > 0 && text[end - 1] == '\r') --len;
    lines.emplace_back(text.substr(start, len));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

std::optional<IniDocument> IniDocument::Parse(std::string_view bytes, CodePage ansi) {
  std::optional<FileText> file = DecodeFileText(bytes, ansi);
  if (!file) return std::nullopt;
  IniDocument doc(file->code_page);
  doc.encoding_ = file->encoding;
  doc.lines_ = SplitProfileLines(file->text);
  return doc;
}

std::optional<IniDocument> IniDocument::Load(const std::string& path, CodePage ansi) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return std::nullopt;
  return Parse(bytes, ansi);
}

std::optional<IniDocument> IniDocument::LoadForChange(const std::string& path, CodePage ansi,
                                                      std::string* error) {
  std::string bytes;
  std::optional<IniDocument> doc;
  if (ReadWholeFile(path, bytes)) {
    doc = Parse(bytes, ansi);
  } else if (!PathExists(path)) {
    doc = IniDocument(ansi);
  }
  if (!doc && error != nullptr) *error = "cannot read the existing file";
  return doc;
}

std::optional<IniDocument::Range> IniDocument::FindSection(std::string_view ansi_section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!IsSectionLine(lines_[i]) || !NamesMatch(SectionName(lines_[i]), ansi_section, cp_)) {
      continue;
    }
    size_t end = i + 1;
    while (end < lines_.size() && !IsSectionLine(lines_[end])) ++end;
    return Range{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const Range& r, std::string_view ansi_key) const {
  for (size_t i = r.begin; i < r.end; ++i) {
    std::string_view name, value;
    if (SplitKeyLine(lines_[i], name, value) && NamesMatch(name, ansi_key, cp_)) return i;
  }
  return std::nullopt;
}

bool IniDocument::VisitSection(
    std::string_view section,
    const std::function<void(std::string_view, std::string_view)>& visit) const {
  auto range = FindSection(Utf8ToAnsi(TrimBlanks(section), cp_));
  if (!range) return false;
  for (size_t i = range->begin; i < range->end; ++i) {
    std::string_view name, value;
    if (SplitKeyLine(lines_[i], name, value)) visit(name, value);
  }
  return true;
}

bool IniDocument::SameName(std::string_view a, std::string_view b) const {
  return NamesMatch(a, b, cp_);
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  auto range = FindSection(Utf8ToAnsi(TrimBlanks(section), cp_));
  if (!range) return std::nullopt;
  auto at = FindKey(*range, Utf8ToAnsi(TrimBlanks(key), cp_));
  if (!at) return std::nullopt;
  std::string_view name, value;
  SplitKeyLine(lines_[*at], name, value);
  return AnsiToUtf8(value, cp_);
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string ansi_section = Utf8ToAnsi(TrimBlanks(section), cp_);
  const std::string ansi_key = Utf8ToAnsi(TrimBlanks(key), cp_);
  // A value that is not UTF-8 is a file name in its own bytes: it is stored
  // as the text it shows as (see NameToUtf8), which under GBK is those bytes.
  const std::string ansi_value = Utf8ToAnsi(NameToUtf8(value, cp_), cp_);
  auto range = FindSection(ansi_section);
  if (!range) {
    lines_.push_back("[" + ansi_section + "]");
    lines_.push_back(ansi_key + "=" + ansi_value);
    return;
  }
  if (auto at = FindKey(*range, ansi_key)) {
    // The key keeps the spelling it has in the file.
    std::string_view name, old_value;
    SplitKeyLine(lines_[*at], name, old_value);
    lines_[*at] = std::string(name) + "=" + ansi_value;
    return;
  }
  // After the section's last non-blank line, so blank lines before the next
  // section stay where they are.
  size_t insert = range->end;
  while (insert > range->begin && TrimBlanks(lines_[insert - 1]).empty()) --insert;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), ansi_key + "=" + ansi_value);
}

void IniDocument::DeleteSection(std::string_view section) {
  const std::string ansi_section = Utf8ToAnsi(TrimBlanks(section), cp_);
  while (auto range = FindSection(ansi_section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
  }
}

void IniDocument::AppendSection(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>>& keys) {
  lines_.push_back("[" + Utf8ToAnsi(TrimBlanks(section), cp_) + "]");
  for (const auto& [key, value] : keys) {
    lines_.push_back(Utf8ToAnsi(TrimBlanks(key), cp_) + "=" +
                     Utf8ToAnsi(NameToUtf8(value, cp_), cp_));
  }
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const std::string& line : lines_) {
    out.append(line);
    out.append("\r\n");
  }
  return EncodeFileText(out, encoding_);
}

bool IniDocument::Save(const std::string& path, std::string* error) const {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirectories(path.substr(0, slash));
  return WriteFileAtomically(path, Serialize(), error);
}

size_t PathBufferSize(size_t requested) {
  return requested < kPathLimit ? kPathLimit : requested;
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback, size_t buffer_size,
                              CodePage ansi) {
  auto doc = IniDocument::Load(path, ansi);
  std::optional<std::string> value;
  if (doc) value = doc->Get(section, key);
  std::string text = value ? *value : std::string(fallback);
  if (buffer_size == 0) return {};
  const CodePage cp = doc ? doc->code_page() : ansi;
  std::string encoded = Utf8ToAnsi(text, cp);
  size_t keep = CutWithoutSplitting(encoded, buffer_size - 1, cp);
  if (keep == encoded.size()) return text;
  return AnsiToUtf8(std::string_view(encoded).substr(0, keep), cp);
}

namespace {

template <class Change>
bool RewriteProfile(const std::string& path, CodePage ansi, std::string* error, Change change) {
  std::optional<IniDocument> doc = IniDocument::LoadForChange(path, ansi, error);
  if (!doc) return false;
  change(*doc);
  return doc->Save(path, error);
}

}  // namespace

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, CodePage ansi, std::string* error) {
  // A line break would end the line early and could start a new section.
  for (std::string_view text : {section, key, value}) {
    if (text.find_first_of("\r\n") != std::string_view::npos) {
      if (error != nullptr) *error = "a name or value holds a line break";
      return false;
    }
  }
  return RewriteProfile(path, ansi, error, [&](IniDocument& doc) { doc.Set(section, key, value); });
}

bool DeleteProfileSection(const std::string& path, std::string_view section, CodePage ansi,
                          std::string* error) {
  if (!PathExists(path)) return true;  // nothing to delete; no empty file is left behind
  return RewriteProfile(path, ansi, error, [&](IniDocument& doc) { doc.DeleteSection(section); });
}

}  // namespace tv
