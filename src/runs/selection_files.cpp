#include "runs/selection_files.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/ini.h"
#include "platform/text.h"
#include "runs/directory_walker.h"
#include "runs/path_resolver.h"
#include "settings/settings.h"

namespace tv {

namespace {

// The buffers the values are read into: 2048 bytes, but never less than a
// path needs.
constexpr size_t kValueBuffer = 2048;

// The number k of a key named prefix + k, k written in plain decimal from 1
// on (so "File01" is no entry, as a lookup of "File1" would not find it); 0
// for any other key.
unsigned long long EntryNumber(std::string_view name, std::string_view prefix,
                               const IniDocument& doc) {
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 18) return 0;
  if (!doc.SameName(name.substr(0, prefix.size()), prefix)) return 0;
  std::string_view digits = name.substr(prefix.size());
  if (digits.front() == '0') return 0;
  unsigned long long k = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    k = k * 10 + static_cast<unsigned>(c - '0');
  }
  return k;
}

std::vector<std::string> NumberedValues(const IniDocument& doc, std::string_view section,
                                        std::string_view count_key, std::string_view prefix) {
  const CodePage cp = doc.code_page();
  // One pass over the section for the count and all numbered keys.
  std::optional<std::string_view> count_text;
  std::vector<std::pair<unsigned long long, std::string_view>> entries;
  const bool found = doc.VisitSection(section, [&](std::string_view name, std::string_view value) {
    if (doc.SameName(name, count_key)) {
      if (!count_text) count_text = value;
    } else if (unsigned long long k = EntryNumber(name, prefix, doc)) {
      entries.emplace_back(k, value);
    }
  });
  if (!found) return {};
  if (!count_text) return {};
  const long long count =
      ParseCount(count_text->substr(0, CutWithoutSplitting(*count_text, kValueBuffer - 1, cp)));
  if (count <= 0) return {};

  // Number order; of two keys with the same number the first in the file wins.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string joined;  // all values in one conversion, each ended by LF
  const size_t limit = PathBufferSize(kValueBuffer) - 1;
  unsigned long long previous = 0;
  for (const auto& [k, value] : entries) {
    if (k > static_cast<unsigned long long>(count)) break;
    if (k == previous) continue;
    previous = k;
    joined.append(TrimBlanks(value.substr(0, CutWithoutSplitting(value, limit, cp))));
    joined.push_back('\n');
  }
  // LF is never part of a character in the ANSI code page, so the values
  // come apart again at the same places.
  const std::string text = AnsiToUtf8(joined, cp);
  std::vector<std::string> values;
  size_t start = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    values.emplace_back(text, start, nl - start);
    start = nl + 1;
  }
  return values;
}

// A listed folder as it is walked: one final "/" removed, except from the
// root itself.
std::string FolderToWalk(std::string folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// The listed paths as found on disk: a name stored as text finds its entry
// whatever bytes the name is made of (see PathResolver).
std::vector<std::string> ListedPaths(const IniDocument& doc, std::string_view section,
                                     std::string_view count_key, std::string_view prefix,
                                     CodePage cp) {
  std::vector<std::string> paths = NumberedValues(doc, section, count_key, prefix);
  PathResolver resolver({cp, false, {}});
  for (std::string& path : paths) path = resolver.Resolve("", path);
  return paths;
}

void WalkFolders(const IniDocument& doc, RunList& list, const GatherContext& ctx) {
  for (const std::string& folder : ListedPaths(doc, kSectionSelectedFolder, kKeyTotalFolderNum,
                                               kKeyFolderPrefix, ctx.code_page)) {
    // An empty entry walks nothing.
    if (!folder.empty()) WalkDirectory(FolderToWalk(folder), list, ctx);
  }
}

}  // namespace

long long ParseCount(std::string_view text) {
  size_t i = 0;
  auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < text.size() && space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    n = std::min<long long>(n * 10 + (text[i] - '0'), INT_MAX);
  }
  return negative ? 0 : n;
}

std::optional<std::vector<std::string>> ReadNumberedList(const std::string& ini_path,
                                                         std::string_view section,
                                                         std::string_view count_key,
                                                         std::string_view prefix, CodePage cp) {
  auto doc = IniDocument::Load(ini_path, cp);
  if (!doc) return std::nullopt;
  return ListedPaths(*doc, section, count_key, prefix, cp);
}

void GatherSelectionFile(const std::string& selection_path, RunList& list,
                         const GatherContext& ctx) {
  auto doc = IniDocument::Load(selection_path, ctx.code_page);
  if (!doc) return;
  for (const std::string& file :
       ListedPaths(*doc, kSectionSelectedFiles, kKeyTotalFileNum, kKeyFilePrefix, ctx.code_page)) {
    // An empty entry names no file.
    if (!file.empty()) list.AddIfCountable(file, ctx);
  }
  WalkFolders(*doc, list, ctx);
}

void GatherFolderList(RunList& list, const GatherContext& ctx) {
  auto doc = IniDocument::Load(ctx.settings_path, ctx.code_page);
  if (doc) WalkFolders(*doc, list, ctx);
}

std::optional<std::vector<std::string>> ReadFolderList(const std::string& settings_path,
                                                       CodePage cp) {
  return ReadNumberedList(settings_path, kSectionSelectedFolder, kKeyTotalFolderNum,
                          kKeyFolderPrefix, cp);
}

bool WriteFolderList(const std::string& settings_path, const std::vector<std::string>& folders,
                     CodePage cp, std::string* error) {
  for (const std::string& folder : folders) {
    if (folder.find_first_of("\r\n") != std::string::npos) {
      if (error != nullptr) *error = "a folder name holds a line break";
      return false;
    }
  }
  // Never replace a file that exists but cannot be read: its keys would be lost.
  std::optional<IniDocument> doc = IniDocument::LoadForChange(settings_path, cp, error);
  if (!doc) return false;
  doc->DeleteSection(kSectionSelectedFolder);
  // The section goes to the end of the file, its keys in order, as writing
  // the keys one by one would leave it; built in one piece so that a long
  // list costs one pass and one replacement of the file.
  std::vector<std::pair<std::string, std::string>> keys;
  keys.reserve(folders.size() + 1);
  keys.emplace_back(kKeyTotalFolderNum, std::to_string(folders.size()));
  for (size_t k = 0; k < folders.size(); ++k) {
    keys.emplace_back(std::string(kKeyFolderPrefix) + std::to_string(k + 1), folders[k]);
  }
  doc->AppendSection(kSectionSelectedFolder, keys);
  return doc->Save(settings_path, error);
}

}  // namespace tv
