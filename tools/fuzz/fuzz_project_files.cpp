// Fuzzes the seven project-file readers. The first input byte picks the
// reader (its low seven bits modulo 7: dsp, vcproj, bpr, vbp, vbg, dpr,
// csproj) and the code page (bit 7: UTF-8, else GBK); the rest is the
// project file. For .bpr and .vbg the first NUL byte divides the rest: before
// it the project, after it the file the project names (written as Main.cpp,
// and as both .vbp files of the tree).
//
// The project is read inside a small tree whose names differ in letter case
// and nesting. Every member the reader returns must be, in order, the
// project's folder followed by one field of a line of the input that the
// format takes member texts from, with "\" turned into "/" and each
// component either as written or, when the path does not exist as written,
// the first entry of its folder (in walk order) that equals it without regard
// to ASCII case.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/codepage.h"
#include "runs/project_files.h"

namespace {

enum class Format { Dsp, Vcproj, Bpr, Vbp, Vbg, Dpr, Csproj };
constexpr std::string_view kExtensions[] = {"dsp", "vcproj", "bpr", "vbp", "vbg", "dpr", "csproj"};

// The fixed part of the tree: names that differ only in case ("Src" and
// "src", "Main.h" and "main.h"), nested folders, and a file of every member
// extension.
constexpr std::string_view kTreeFiles[] = {
    "Main.h",          "main.h",       "Unit1.cpp", "Unit1.h",       "Src/Core/Engine.cpp",
    "Src/Core/util.h", "src/main.cpp", "Form1.frm", "Module1.bas",   "Class1.cls",
    "Ctl1.ctl",        "Unit1.pas",    "Form1.cs",  "Sub/Form1.frm", "Sub/Mod.BAS",
    "Sub/Unit2.cpp",   "Sub/unit2.H"};

struct Fixture {
  tv::fuzz::ScratchTree tree;

  Fixture() {
    for (std::string_view file : kTreeFiles) {
      size_t slash = file.rfind('/');
      if (slash != std::string_view::npos) tree.MakeFolder(file.substr(0, slash));
      tree.Write(file, "");
    }
    // A main source in a subfolder whose unit lies one level up.
    tree.Write("Sub/Main.cpp", "USEUNIT(\"..\\Unit1.cpp\");\r\nUSEFORM(\"unit2.cpp\", F);\r\n");
    // The files each input writes exist from the start, so that every
    // folder lists the same entries whatever the input.
    for (std::string_view e : kExtensions) tree.Write("proj." + std::string(e), "");
    for (std::string_view file : {"Main.cpp", "A.vbp", "Sub/B.vbp"}) tree.Write(file, "");
  }
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A folder's entries in walk order: by their lower-cased bytes, then by
// their bytes.
std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> entries;  // lower-cased, as named
  DIR* d = ::opendir(folder.c_str());
  if (d == nullptr) return {};
  while (const dirent* e = ::readdir(d)) entries.emplace_back(Lower(e->d_name), e->d_name);
  ::closedir(d);
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> names;
  for (auto& entry : entries) names.push_back(std::move(entry.second));
  return names;
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The bytes of a regular file; nullopt for anything else.
std::optional<std::string> ReadRegularFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A project or source file as the readers see it: UTF-8 lines (CR LF or LF
// ends a line, a last line without one counts when not empty), each also
// with "\" turned into "/", and that lower-cased.
struct InputText {
  std::vector<std::string> raw, mapped, lower;
};

InputText ReadText(std::string_view bytes, tv::CodePage cp) {
  InputText in;
  const std::optional<tv::FileText> file = tv::DecodeFileText(bytes, cp);
  if (!file) return in;  // broken UTF-16 is no text
  const std::string text = tv::AnsiToUtf8(file->text, file->code_page);
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string::npos ? text.size() : nl;
    size_t len = end - start;
    if (len > 0 && text[end - 1] == '\r') --len;
    in.raw.push_back(text.substr(start, len));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  for (const std::string& line : in.raw) {
    std::string mapped = line;
    std::replace(mapped.begin(), mapped.end(), '\\', '/');
    in.lower.push_back(Lower(mapped));
    in.mapped.push_back(std::move(mapped));
  }
  return in;
}

// The lower-cased text after the last "." of the name (after the last "/").
std::string Extension(std::string_view rel) {
  size_t slash = rel.rfind('/');
  std::string_view name = slash == std::string_view::npos ? rel : rel.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : Lower(name.substr(dot + 1));
}

bool ExtensionIn(std::string_view rel, std::initializer_list<std::string_view> wanted) {
  const std::string ext = Extension(rel);
  return std::find(wanted.begin(), wanted.end(), ext) != wanted.end();
}

// True when `got` is what the member text `text` ("\" already turned into
// "/") becomes under `base`: the text as written when that path exists;
// otherwise, component by component, the component as written when it is
// an entry of its folder (or empty, "." or ".."), else the first entry in
// walk order that equals it without regard to case, and when there is none
// the rest of the text as written.
bool ResolvesTo(const std::string& base, std::string_view text, std::string_view got) {
  if (got.size() != text.size() || Lower(got) != Lower(text)) return false;
  if (EntryExists(base + std::string(text))) return got == text;
  std::string folder = base;
  size_t pos = 0;
  for (;;) {
    const size_t slash = text.find('/', pos);
    const size_t len = slash == std::string_view::npos ? std::string_view::npos : slash - pos;
    const std::string_view written = text.substr(pos, len), chosen = got.substr(pos, len);
    if (written.empty() || written == "." || written == "..") {
      if (chosen != written) return false;
    } else {
      const std::vector<std::string> names = ListFolder(folder);
      if (std::find(names.begin(), names.end(), written) != names.end()) {
        if (chosen != written) return false;
      } else {
        const std::string lower = Lower(written);
        auto match = std::find_if(names.begin(), names.end(),
                                  [&](const std::string& n) { return Lower(n) == lower; });
        if (match == names.end()) return got.substr(pos) == text.substr(pos);
        if (chosen != *match) return false;
      }
    }
    if (slash == std::string_view::npos) return true;
    folder.append(chosen).push_back('/');
    pos = slash + 1;
  }
}

// Where a format takes a member text from: the field [i, j) of a line.
using FieldRule = bool (*)(std::string_view line, size_t i, size_t j);

// Blanks may stand between a field and its delimiters.
bool AfterBlanks(std::string_view line, size_t i, std::string_view delimiters) {
  while (i > 0 && line[i - 1] == ' ') --i;
  return i > 0 && delimiters.find(line[i - 1]) != std::string_view::npos;
}
bool BeforeBlanks(std::string_view line, size_t j, char delimiter) {
  while (j < line.size() && line[j] == ' ') ++j;
  return delimiter == '\0' ? j == line.size() : j < line.size() && line[j] == delimiter;
}

// SOURCE=.\name: after ".\", to the end of the line.
bool DspField(std::string_view line, size_t i, size_t j) {
  return i >= 2 && line[i - 2] == '.' && line[i - 1] == '\\' && j == line.size();
}
// RelativePath=?name? : from the 15th character to a quote, or to the last
// two characters when there is no quote.
bool VcprojField(std::string_view line, size_t i, size_t j) {
  return i >= 14 && line.substr(i - 14, 13) == "RelativePath=" &&
         ((j < line.size() && line[j] == '"') || j + 2 == line.size());
}
// Between the first and the last double quote of a line that begins, after
// blanks and then tabs, with one of `keys`; empty when the line holds fewer
// than two quotes.
bool OuterQuotedField(std::string_view line, size_t i, size_t j,
                      std::initializer_list<std::string_view> keys) {
  std::string_view lead = line;
  while (lead.starts_with(' ')) lead.remove_prefix(1);
  while (lead.starts_with('\t')) lead.remove_prefix(1);
  if (std::none_of(keys.begin(), keys.end(),
                   [&](std::string_view k) { return lead.starts_with(k); })) {
    return false;
  }
  const size_t first = line.find('"'), last = line.rfind('"');
  if (first == std::string_view::npos || first == last) return i == j;
  return i == first + 1 && j == last;
}
// The main source of a .bpr, and the units its main source names.
bool MainSourceField(std::string_view line, size_t i, size_t j) {
  return OuterQuotedField(line, i, j, {"<MAINSOURCE"});
}
bool UnitField(std::string_view line, size_t i, size_t j) {
  return OuterQuotedField(line, i, j, {"USEFORM(", "USEUNIT("});
}
// After "=" or ";" (blanks between), to the end of the line.
bool VbpField(std::string_view line, size_t i, size_t j) {
  return AfterBlanks(line, i, "=;") && BeforeBlanks(line, j, '\0');
}
bool DprField(std::string_view line, size_t i, size_t j) {
  return AfterBlanks(line, i, "'") && BeforeBlanks(line, j, '\'');
}
bool CsprojField(std::string_view line, size_t i, size_t j) {
  return AfterBlanks(line, i, "\"") && BeforeBlanks(line, j, '"');
}

// The first line at or after `from` with a field the rule accepts whose text
// becomes `rel` under `base`; `texts` receives that line's accepted texts.
std::optional<size_t> FindMemberLine(const InputText& in, size_t from, const std::string& base,
                                     std::string_view rel, FieldRule rule,
                                     std::vector<std::string>* texts = nullptr) {
  const std::string needle = Lower(rel);
  for (size_t k = from; k < in.raw.size(); ++k) {
    bool found = false;
    for (size_t i = in.lower[k].find(needle); i != std::string::npos;
         i = in.lower[k].find(needle, i + 1)) {
      if (!rule(in.raw[k], i, i + rel.size())) continue;
      std::string text = in.mapped[k].substr(i, rel.size());
      if (!ResolvesTo(base, text, rel)) continue;
      found = true;
      if (texts == nullptr) break;
      texts->push_back(std::move(text));
    }
    if (found) return k;
  }
  return std::nullopt;
}

std::string_view RelativeTo(const std::string& base, const std::string& path) {
  TV_FUZZ_CHECK(path.starts_with(base));
  return std::string_view(path).substr(base.size());
}

// Members taken one per line, in line order.
void CheckLineMembers(const std::vector<std::string>& members, const InputText& in,
                      const std::string& base, FieldRule rule,
                      std::initializer_list<std::string_view> extensions) {
  size_t next = 0;
  for (const std::string& path : members) {
    const std::string_view rel = RelativeTo(base, path);
    TV_FUZZ_CHECK(ExtensionIn(rel, extensions));
    const auto line = FindMemberLine(in, next, base, rel, rule);
    TV_FUZZ_CHECK(line.has_value());
    next = *line + 1;
  }
}

// The member text with the extension of its name replaced by ".h".
std::string HeaderText(std::string_view text) {
  size_t name = text.rfind('/');
  name = name == std::string_view::npos ? 0 : name + 1;
  size_t dot = text.rfind('.');
  if (dot == std::string_view::npos || dot < name) dot = text.size();
  return std::string(text.substr(0, dot)) + ".h";
}

// The main source and its units, each followed by its header when that
// file exists.
void CheckBprMembers(const std::vector<std::string>& members, const InputText& project,
                     const std::string& base, tv::CodePage cp) {
  if (members.empty()) return;
  std::vector<std::string> texts;  // the texts the last source or unit may stand for
  const std::string_view main_rel = RelativeTo(base, members[0]);
  TV_FUZZ_CHECK(ExtensionIn(main_rel, {"cpp"}));
  TV_FUZZ_CHECK(FindMemberLine(project, 0, base, main_rel, &MainSourceField, &texts));

  const std::optional<std::string> main_bytes = ReadRegularFile(members[0]);
  const InputText source = main_bytes ? ReadText(*main_bytes, cp) : InputText();
  size_t next = 0;
  for (size_t m = 1;; ++m) {
    // A header that exists, whatever text it comes from, must come next.
    bool header_due = !texts.empty();
    for (const std::string& text : texts) {
      const std::string header = tv::ResolveMemberPath(base, HeaderText(text), cp);
      TV_FUZZ_CHECK(ResolvesTo(base, HeaderText(text), RelativeTo(base, header)));
      header_due = header_due && FileExists(header);
    }
    if (m == members.size()) {
      TV_FUZZ_CHECK(!header_due);
      return;
    }
    const std::string_view rel = RelativeTo(base, members[m]);
    const bool is_header = FileExists(members[m]) &&
                           std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
                             return ResolvesTo(base, HeaderText(text), rel);
                           });
    TV_FUZZ_CHECK(is_header || !header_due);
    texts.clear();
    if (is_header) continue;
    const auto line = FindMemberLine(source, next, base, rel, &UnitField, &texts);
    TV_FUZZ_CHECK(line.has_value());
    next = *line + 1;
  }
}

// The members of each project the group names, in order, each made from
// its project's own folder.
void CheckVbgMembers(const std::vector<std::string>& members, const InputText& group,
                     const std::string& base, tv::CodePage cp) {
  struct Project {
    std::string folder;
    InputText text;
    size_t next = 0;
  };
  std::optional<Project> current;
  size_t next_line = 0;
  for (const std::string& path : members) {
    TV_FUZZ_CHECK(path.starts_with(base));
    if (current && path.starts_with(current->folder)) {
      const auto line = FindMemberLine(current->text, current->next, current->folder,
                                       RelativeTo(current->folder, path), &VbpField);
      if (line) {
        current->next = *line + 1;
        continue;
      }
    }
    // The member opens the next project: the text after an "=" up to the
    // end of a later line of the group.
    bool found = false;
    for (; next_line < group.raw.size() && !found; ++next_line) {
      const std::string& raw = group.raw[next_line];
      for (size_t eq = raw.find('='); eq != std::string::npos && !found;
           eq = raw.find('=', eq + 1)) {
        const std::string text = group.mapped[next_line].substr(eq + 1);
        if (Extension(text) != "vbp") continue;
        const std::string project = tv::ResolveMemberPath(base, raw.substr(eq + 1), cp);
        TV_FUZZ_CHECK(ResolvesTo(base, text, RelativeTo(base, project)));
        const std::string folder(project.substr(0, project.rfind('/') + 1));
        const std::optional<std::string> bytes = ReadRegularFile(project);
        if (!bytes || !path.starts_with(folder)) continue;
        Project p{folder, ReadText(*bytes, cp)};
        const std::string_view rel = RelativeTo(folder, path);
        if (!ExtensionIn(rel, {"frm", "bas", "ctl", "cls"})) continue;
        const auto line = FindMemberLine(p.text, 0, folder, rel, &VbpField);
        if (!line) continue;
        p.next = *line + 1;
        current = std::move(p);
        found = true;
      }
    }
    TV_FUZZ_CHECK(found);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const Fixture fixture;
  const tv::fuzz::ScratchTree& tree = fixture.tree;
  const auto format = static_cast<Format>((data[0] & 0x7F) % 7);
  const tv::CodePage cp = (data[0] & 0x80) != 0 ? tv::CodePage::Utf8 : tv::CodePage::Gbk;
  std::string_view project(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view named;
  if (format == Format::Bpr || format == Format::Vbg) {
    size_t nul = project.find('\0');
    if (nul != std::string_view::npos) {
      named = project.substr(nul + 1);
      project = project.substr(0, nul);
    }
  }

  // Each file a reader of this format may open is written anew, so that no
  // input sees what an earlier one left: the main source of a .bpr, the
  // projects of a .vbg (proj.vbp among them).
  const std::string_view ext = kExtensions[static_cast<int>(format)];
  tree.Write("proj." + std::string(ext), project);
  if (format == Format::Bpr) tree.Write("Main.cpp", named);
  if (format == Format::Vbg) {
    tree.Write("proj.vbp", "");
    tree.Write("A.vbp", named);
    tree.Write("Sub/B.vbp", named);
  }

  const std::string& base = tree.root();
  const std::string path = base + "proj." + std::string(ext);
  const InputText in = ReadText(project, cp);
  std::vector<std::string> members;
  switch (format) {
    case Format::Dsp:
      members = tv::ReadDspMembers(path, cp);
      CheckLineMembers(members, in, base, &DspField, {"cpp", "h"});
      break;
    case Format::Vcproj:
      members = tv::ReadVcprojMembers(path, cp);
      CheckLineMembers(members, in, base, &VcprojField, {"cpp", "h"});
      break;
    case Format::Bpr:
      members = tv::ReadBprMembers(path, cp);
      CheckBprMembers(members, in, base, cp);
      break;
    case Format::Vbp:
      members = tv::ReadVbpMembers(path, cp);
      CheckLineMembers(members, in, base, &VbpField, {"frm", "bas", "ctl", "cls"});
      break;
    case Format::Vbg:
      members = tv::ReadVbgMembers(path, cp);
      CheckVbgMembers(members, in, base, cp);
      break;
    case Format::Dpr:
      members = tv::ReadDprMembers(path, cp);
      CheckLineMembers(members, in, base, &DprField, {"pas"});
      break;
    case Format::Csproj:
      members = tv::ReadCsprojMembers(path, cp);
      CheckLineMembers(members, in, base, &CsprojField, {"cs"});
      break;
  }
  // The extension picks the same reader.
  TV_FUZZ_CHECK(tv::IsProjectFile(path, cp));
  TV_FUZZ_CHECK(tv::IsHandedOverProjectFile(path, cp) == (format != Format::Vcproj));
  TV_FUZZ_CHECK(tv::ReadProjectMembers(path, cp) == members);
  return 0;
}
