#include "runs/project_files.h"

#include <algorithm>

#include "engine/file_types.h"
#include "platform/file_reader.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "runs/directory_walker.h"
#include "runs/path_resolver.h"

namespace tv {

namespace {

// Member texts are UTF-8 once read, so extensions are taken as UTF-8.
std::string Ext(std::string_view text) {
  return GetFileExtension(text, CodePage::Utf8);
}

// The lines of a project or source file as UTF-8 text: the file is in the
// ANSI code page unless it starts with a byte-order mark (UTF-8 or UTF-16).
// Converting the whole text first means a "\" that is the second byte of a
// double-byte character is never taken for a separator.
bool ReadTextLines(const std::string& path, CodePage cp, std::vector<std::string>& lines) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  const std::optional<FileText> file = DecodeFileText(bytes, cp);
  if (!file) return false;
  lines = SplitTextLines(AnsiToUtf8(file->text, file->code_page));
  return true;
}

// Leading blanks are removed, and then leading tabs.
std::string_view TrimLead(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.front() == '\t') s.remove_prefix(1);
  return s;
}

// The text between the first and the last double quote; empty when the line
// holds fewer than two.
std::string_view BetweenOuterQuotes(std::string_view s) {
  size_t first = s.find('"');
  size_t last = s.rfind('"');
  if (first == std::string_view::npos || last == first) return {};
  return s.substr(first + 1, last - first - 1);
}

// The text between the first `quote` and the next one after it; empty when
// there is no pair.
std::string_view BetweenQuotePair(std::string_view s, char quote) {
  size_t first = s.find(quote);
  if (first == std::string_view::npos) return {};
  size_t next = s.find(quote, first + 1);
  if (next == std::string_view::npos) return {};
  return s.substr(first + 1, next - first - 1);
}

// A member text written on Windows, with "/" for "\\".
std::string WindowsPath(std::string_view text) {
  std::string path(text);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The member text with the extension of its file name replaced by ".h" (".h"
// added when the name has no dot).
std::string HeaderText(std::string_view text) {
  size_t name = text.find_last_of("\\/");
  name = name == std::string_view::npos ? 0 : name + 1;
  size_t dot = text.rfind('.');
  if (dot == std::string_view::npos || dot < name) dot = text.size();
  return std::string(text.substr(0, dot)) + ".h";
}

// Collects the members of one reading.
struct Members {
  std::string dir;  // the project's folder, with its final "/"
  PathResolver resolver;
  std::vector<std::string> paths;

  Members(std::string_view project_path, CodePage cp)
      : dir(GetDirectoryPart(project_path)), resolver({cp, /*ignore_case=*/true, {}}) {}

  std::string Resolve(std::string_view text) { return resolver.Resolve(dir, WindowsPath(text)); }
  void Add(std::string_view text) { paths.push_back(Resolve(text)); }
  void AddWithHeader(std::string_view text) {
    Add(text);
    std::string header = Resolve(HeaderText(text));
    if (PathExists(header)) paths.push_back(std::move(header));
  }
};

void ReadVbpInto(const std::string& project_path, CodePage cp, Members& m) {
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return;
  // The text after the last ";" (after the key when there is none), blanks
  // removed: "Module=Name; File.bas".
  auto after_semicolon = [](std::string_view line, size_t key_len) {
    size_t semi = line.rfind(';');
    return TrimSpaces(semi == std::string_view::npos ? line.substr(key_len)
                                                     : line.substr(semi + 1));
  };
  for (const std::string& raw : lines) {
    std::string_view line = TrimLead(raw);
    std::string_view text, want;
    if (line.starts_with("Form=")) {
      text = line.substr(5);
      want = "frm";
    } else if (line.starts_with("Module=")) {
      text = after_semicolon(line, 7);
      want = "bas";
    } else if (line.starts_with("UserControl=")) {
      text = line.substr(12);
      want = "ctl";
    } else if (line.starts_with("Class=")) {
      text = after_semicolon(line, 6);
      want = "cls";
    } else {
      continue;
    }
    if (Ext(text) == want) m.Add(text);
  }
}

}  // namespace

std::string ResolveMemberPath(std::string_view dir, std::string_view member_text, CodePage cp) {
  return PathResolver({cp, /*ignore_case=*/true, {}}).Resolve(dir, WindowsPath(member_text));
}

bool IsProjectFile(std::string_view path, CodePage cp) {
  return GetFileExtension(path, cp) == "vcproj" || IsHandedOverProjectFile(path, cp);
}

bool IsHandedOverProjectFile(std::string_view path, CodePage cp) {
  const std::string ext = GetFileExtension(path, cp);
  return ext == "dsp" || ext == "bpr" || ext == "vbp" || ext == "vbg" || ext == "dpr" ||
         ext == "csproj";
}

std::vector<std::string> ReadProjectMembers(const std::string& project_path, CodePage cp) {
  const std::string ext = GetFileExtension(project_path, cp);
  if (ext == "dsp") return ReadDspMembers(project_path, cp);
  if (ext == "vcproj") return ReadVcprojMembers(project_path, cp);
  if (ext == "bpr") return ReadBprMembers(project_path, cp);
  if (ext == "vbp") return ReadVbpMembers(project_path, cp);
  if (ext == "vbg") return ReadVbgMembers(project_path, cp);
  if (ext == "dpr") return ReadDprMembers(project_path, cp);
  if (ext == "csproj") return ReadCsprojMembers(project_path, cp);
  return {};
}

void AddProjectMembers(const std::string& project_path, RunList& list, CodePage cp) {
  for (const std::string& path : ReadProjectMembers(project_path, cp)) list.Add(path);
}

std::vector<std::string> ReadDspMembers(const std::string& project_path, CodePage cp) {
  Members m(project_path, cp);
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return {};
  for (const std::string& raw : lines) {
    // SOURCE=.\name: the 8th and 9th characters are "." and "\", the name
    // starts at the 10th. Quoted, parent-relative and absolute paths fail
    // the test.
    std::string_view line = TrimLead(raw);
    if (!line.starts_with("SOURCE") || line.size() < 9 || line[7] != '.' || line[8] != '\\') {
      continue;
    }
    std::string_view text = line.substr(9);
    const std::string ext = Ext(text);
    if (ext == "cpp" || ext == "h") m.Add(text);
  }
  return std::move(m.paths);
}

std::vector<std::string> ReadVcprojMembers(const std::string& project_path, CodePage cp) {
  Members m(project_path, cp);
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return {};
  for (const std::string& raw : lines) {
    // RelativePath="name"> : the name from the 15th character to its closing
    // quote. Files whose ">" stands on the next line end the value with the
    // quote alone, so the quote, not the last two characters, ends it.
    std::string_view line = TrimLead(raw);
    if (!line.starts_with("RelativePath=") || line.size() < 16) continue;
    const size_t close = line.find('"', 14);
    std::string_view text = close != std::string_view::npos ? line.substr(14, close - 14)
                                                            : line.substr(14, line.size() - 16);
    const std::string ext = Ext(text);
    if (ext == "cpp" || ext == "h") m.Add(text);
  }
  return std::move(m.paths);
}

std::vector<std::string> ReadBprMembers(const std::string& project_path, CodePage cp) {
  Members m(project_path, cp);
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return {};
  for (const std::string& raw : lines) {
    std::string_view line = TrimLead(raw);
    if (!line.starts_with("<MAINSOURCE")) continue;
    std::string_view main_text = BetweenOuterQuotes(line);
    if (Ext(main_text) != "cpp") continue;
    m.AddWithHeader(main_text);
    // The main source names the units; the project is not read further.
    std::vector<std::string> source;
    if (!ReadTextLines(m.paths.front(), cp, source)) break;
    for (const std::string& src_raw : source) {
      std::string_view src = TrimLead(src_raw);
      if (src.starts_with("USEFORM(") || src.starts_with("USEUNIT(")) {
        m.AddWithHeader(BetweenOuterQuotes(src));
      }
    }
    break;
  }
  return std::move(m.paths);
}

std::vector<std::string> ReadVbpMembers(const std::string& project_path, CodePage cp) {
  Members m(project_path, cp);
  ReadVbpInto(project_path, cp, m);
  return std::move(m.paths);
}

std::vector<std::string> ReadVbgMembers(const std::string& project_path, CodePage cp) {
  Members group(project_path, cp);
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return {};
  std::vector<std::string> projects;
  for (const std::string& raw : lines) {
    std::string_view line = TrimLead(raw);
    std::string_view text;
    if (line.starts_with("StartupProject=")) {
      text = line.substr(15);
    } else if (line.starts_with("Project=")) {
      text = line.substr(8);
    } else {
      continue;
    }
    if (Ext(text) == "vbp") projects.push_back(group.Resolve(text));
  }
  // Each project's members are made from the project's own folder, as the
  // development environment itself resolves them.
  std::vector<std::string> members;
  for (const std::string& project : projects) {
    Members m(project, cp);
    ReadVbpInto(project, cp, m);
    members.insert(members.end(), std::make_move_iterator(m.paths.begin()),
                   std::make_move_iterator(m.paths.end()));
  }
  return members;
}

std::vector<std::string> ReadDprMembers(const std::string& project_path, CodePage cp) {
  Members m(project_path, cp);
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return {};
  for (const std::string& line : lines) {  // not trimmed: ".pas" may be anywhere
    if (line.find(".pas") == std::string::npos) continue;
    std::string_view text = TrimSpaces(BetweenQuotePair(line, '\''));
    if (Ext(text) == "pas") m.Add(text);
  }
  return std::move(m.paths);
}

std::vector<std::string> ReadCsprojMembers(const std::string& project_path, CodePage cp) {
  Members m(project_path, cp);
  std::vector<std::string> lines;
  if (!ReadTextLines(project_path, cp, lines)) return {};
  for (const std::string& raw : lines) {
    std::string_view line = TrimLead(raw);
    if (!line.starts_with("RelPath")) continue;
    std::string_view text = TrimSpaces(BetweenQuotePair(line, '"'));
    if (Ext(text) == "cs") m.Add(text);
  }
  return std::move(m.paths);
}

}  // namespace tv
