// Fuzzes the selection-file reader: bit 0 of the first input byte picks the
// code page (set: UTF-8, else GBK), the rest is the selection file.
//
// Both numbered lists ("Selected Files" and "Selected Folder") must be what
// reading the keys one by one through the profile functions gives: the
// count key converted the C way, then File1 (Folder1) up to the count, each
// key that is present with blanks and tabs removed at both ends. Gathering
// the file (when it lists no folder to walk) must give exactly the listed
// files that are countable, in the same order.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_types.h"
#include "fuzz_support.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "runs/run_list.h"
#include "runs/selection_files.h"

namespace {

// Entries looked up one by one at most; beyond them only the order is checked.
constexpr long long kLookedUp = 128;
// Values are read into buffers of this size, never smaller than a path needs.
constexpr size_t kValueBuffer = 2048;

struct NumberedList {
  std::string_view section, count_key, prefix;
};
constexpr NumberedList kFiles{"Selected Files", "TotalFileNum", "File"};
constexpr NumberedList kFolders{"Selected Folder", "TotalFolderNum", "Folder"};

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The C library's decimal conversion, negative counts as 0 and larger ones
// as the int range's largest value.
long long CCount(const std::string& text) {
  const long long n = std::strtoll(text.c_str(), nullptr, 10);
  return n < 0 ? 0 : std::min<long long>(n, INT_MAX);
}

// Checks one list of the file at `path`; returns what the reader gave.
std::vector<std::string> CheckList(const std::string& path, std::string_view bytes,
                                   const NumberedList& list, tv::CodePage cp) {
  const auto got = tv::ReadNumberedList(path, list.section, list.count_key, list.prefix, cp);
  TV_FUZZ_CHECK(got.has_value());

  const std::string count_text =
      tv::ReadProfileString(path, list.section, list.count_key, "", kValueBuffer, cp);
  const long long count = tv::ParseCount(count_text);
  TV_FUZZ_CHECK(count == CCount(count_text));
  TV_FUZZ_CHECK(static_cast<long long>(got->size()) <= count);
  for (const std::string& value : *got) {
    TV_FUZZ_CHECK(tv::SanitizeUtf8(value) == value);
    TV_FUZZ_CHECK(value.find('\n') == std::string::npos);  // a lone CR is text
    TV_FUZZ_CHECK(TrimBlanks(value) == value);
  }

  // Looked up key by key; a file shorter than the path buffer holds no value
  // that reading cuts.
  if (bytes.size() >= tv::PathBufferSize(kValueBuffer)) return *got;
  const auto doc = tv::IniDocument::Load(path, cp);
  TV_FUZZ_CHECK(doc.has_value());
  std::vector<std::string> expected;
  for (long long k = 1; k <= std::min(count, kLookedUp); ++k) {
    const auto value = doc->Get(list.section, std::string(list.prefix) + std::to_string(k));
    if (value) expected.emplace_back(TrimBlanks(*value));
  }
  if (count <= kLookedUp) {
    TV_FUZZ_CHECK(*got == expected);
  } else {
    // Keys beyond those looked up follow them.
    TV_FUZZ_CHECK(got->size() >= expected.size());
    TV_FUZZ_CHECK(std::equal(expected.begin(), expected.end(), got->begin()));
  }
  return *got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const tv::CodePage cp = (data[0] & 1) != 0 ? tv::CodePage::Utf8 : tv::CodePage::Gbk;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = tv::fuzz::WriteMemoryFile(bytes);

  const std::vector<std::string> files = CheckList(path, bytes, kFiles, cp);
  const std::vector<std::string> folders = CheckList(path, bytes, kFolders, cp);
  TV_FUZZ_CHECK(tv::ReadFolderList(path, cp) == folders);

  // Gathering walks every folder listed; with none to walk, it gives the
  // countable files in list order.
  for (const std::string& folder : folders) {
    if (!folder.empty()) return 0;
  }
  tv::GatherContext ctx;
  ctx.code_page = cp;
  tv::RunList list;
  tv::GatherSelectionFile(path, list, ctx);
  std::vector<std::string> countable;
  for (const std::string& file : files) {
    if (!file.empty() && tv::IsCountableFile(file, ctx.rules, {}, cp)) countable.push_back(file);
  }
  TV_FUZZ_CHECK(list.paths() == countable);
  return 0;
}
