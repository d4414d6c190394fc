// Fuzzes the INI profile document and the settings reader: a document is
// parsed from arbitrary bytes (or started empty), changed by a series of
// Set, Get and DeleteSection calls, written out and parsed again, and read
// back through ReadProfileString and SetupIniReader.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "settings/settings.h"

namespace {

// Section and key names the program uses, and a few that differ only in case
// or contain one another.
constexpr std::string_view kSections[] = {"C++ User Defined File Type",
                                          "SQL User Defined File Type",
                                          "CURRENT PATH",
                                          "current path",
                                          "OTHER",
                                          "Selected Files",
                                          "Selected Folder",
                                          "SHOW SINGLE FILE PERCENT",
                                          "S",
                                          "s"};
constexpr std::string_view kKeys[] = {
    "Type",         "TYPE",  "Flag", "Path1", "Path2", "SelectType", "ShowProcPercent",
    "TotalFileNum", "File1", "k"};
// In a document built from nothing, names that no other name contains, so
// the settings reader's substring search of the section line and the
// document's exact search find the same section.
constexpr std::string_view kDistinctSections[] = {"Alpha", "Bravo Charlie", "OTHER", "CURRENT PATH",
                                                  "Delta"};
constexpr std::string_view kDistinctKeys[] = {"Type", "Flag", "Path1", "Path2", "SelectType"};

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// What Get returns for a value written by Set: blanks around it removed and
// one pair of enclosing quotes dropped.
std::string ExpectedGet(std::string_view v) {
  v = TrimBlanks(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

std::string Lower(std::string_view s) {
  return tv::LowerAscii(s, tv::CodePage::Utf8);
}

bool IsValidUtf8(std::string_view s) {
  return tv::SanitizeUtf8(s) == s;
}

// A generated name: letters, digits and inner blanks; never empty.
std::string MakeName(FuzzedDataProvider& in) {
  static const std::string_view kChars = "abcXYZ019_. ";
  std::string name = "n";
  size_t len = in.ConsumeIntegralInRange<size_t>(0, 6);
  for (size_t i = 0; i < len; ++i) name += kChars[in.ConsumeIntegralInRange<size_t>(0, 11)];
  if (in.ConsumeBool()) name = "  " + name + "\t";  // blanks around a name are ignored
  return name;
}

// A value: any bytes but line ends; when `valid_text` is set, only bytes that
// survive the conversion to the code page and back.
std::string MakeValue(FuzzedDataProvider& in, bool valid_text) {
  std::string v = in.ConsumeRandomLengthString(64);
  std::string out;
  for (char c : v) {
    if (c == '\n' || c == '\r') continue;
    if (valid_text && (static_cast<unsigned char>(c) >= 0x80 || c == '\0')) continue;
    out += c;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const tv::CodePage cp = in.ConsumeBool() ? tv::CodePage::Utf8 : tv::CodePage::Gbk;
  const bool fresh = in.ConsumeBool();
  const std::string raw = fresh ? std::string() : in.ConsumeRandomLengthString(4096);

  // Reading the raw bytes through every reader must simply work, unless
  // they are broken UTF-16, which every reader refuses.
  {
    const bool text = tv::IniDocument::Parse(raw, cp).has_value();
    const std::string path = tv::fuzz::WriteMemoryFile(raw);
    tv::SetupIniReader reader;
    TV_FUZZ_CHECK(reader.OpenPath(path, cp) == text);
    std::string value;
    for (std::string_view s : kSections) {
      for (std::string_view k : kKeys) {
        if (reader.GetValue(s, k, value)) {
          TV_FUZZ_CHECK(IsValidUtf8(value));
          TV_FUZZ_CHECK(TrimSpaces(value).size() == value.size());
        }
      }
    }
    const size_t buffer = in.ConsumeIntegralInRange<size_t>(0, 300);
    std::string got = tv::ReadProfileString(path, kSections[2], "Path1", "fallback", buffer, cp);
    TV_FUZZ_CHECK(IsValidUtf8(got));
    if (buffer > 0) {
      const auto doc = tv::IniDocument::Load(path, cp);
      TV_FUZZ_CHECK(doc.has_value() == text);
      if (doc) TV_FUZZ_CHECK(tv::Utf8ToAnsi(got, doc->code_page()).size() < buffer);
    } else {
      TV_FUZZ_CHECK(got.empty());
    }
  }

  // Bytes that are no text (broken UTF-16) are read by nothing: start afresh.
  tv::IniDocument doc = tv::IniDocument::Parse(raw, cp).value_or(tv::IniDocument(cp));
  // What the calls so far say each (section, key) holds, by lower-cased names.
  std::map<std::pair<std::string, std::string>, std::string> model;
  // The same, by exact names, for the settings reader in a fresh document.
  std::map<std::pair<std::string, std::string>, std::string> exact;

  const int steps = in.ConsumeIntegralInRange<int>(0, 24);
  for (int step = 0; step < steps && in.remaining_bytes() > 0; ++step) {
    std::string section, key;
    if (fresh) {
      section = kDistinctSections[in.ConsumeIntegralInRange<size_t>(0, 4)];
      key = kDistinctKeys[in.ConsumeIntegralInRange<size_t>(0, 4)];
    } else {
      section = in.ConsumeBool() ? std::string(kSections[in.ConsumeIntegralInRange<size_t>(0, 9)])
                                 : MakeName(in);
      key = in.ConsumeBool() ? std::string(kKeys[in.ConsumeIntegralInRange<size_t>(0, 9)])
                             : MakeName(in);
    }
    const auto id = std::make_pair(Lower(TrimBlanks(section)), Lower(TrimBlanks(key)));
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
      case 1: {
        const bool valid_text = in.ConsumeBool();
        const std::string value = MakeValue(in, valid_text || fresh);
        doc.Set(section, key, value);
        const auto got = doc.Get(section, key);
        TV_FUZZ_CHECK(got.has_value());
        TV_FUZZ_CHECK(IsValidUtf8(*got));
        if (valid_text || fresh) {
          TV_FUZZ_CHECK(*got == ExpectedGet(value));
          model[id] = value;
          if (fresh) exact[{section, key}] = value;
        } else {
          model.erase(id);  // the value may not survive the code page
        }
        break;
      }
      case 2: {
        const auto got = doc.Get(section, key);
        if (got) TV_FUZZ_CHECK(IsValidUtf8(*got));
        break;
      }
      default: {
        doc.DeleteSection(section);
        TV_FUZZ_CHECK(!doc.Get(section, key).has_value());
        for (auto it = model.begin(); it != model.end();) {
          it = it->first.first == id.first ? model.erase(it) : std::next(it);
        }
        for (auto it = exact.begin(); it != exact.end();) {
          it = it->first.first == section ? exact.erase(it) : std::next(it);
        }
        break;
      }
    }
  }

  // Every value set and not deleted since is still there.
  for (const auto& [id, value] : model) {
    const auto got = doc.Get(id.first, id.second);
    TV_FUZZ_CHECK(got.has_value() && *got == ExpectedGet(value));
  }

  // Writing out and reading in again keeps every line and the values.
  const std::string bytes = doc.Serialize();
  const std::optional<tv::IniDocument> again = tv::IniDocument::Parse(bytes, cp);
  TV_FUZZ_CHECK(again.has_value());
  TV_FUZZ_CHECK(again->lines() == doc.lines());
  TV_FUZZ_CHECK(again->code_page() == doc.code_page());
  TV_FUZZ_CHECK(again->Serialize() == bytes);

  // The settings reader over the written file.
  tv::SetupIniReader reader;
  TV_FUZZ_CHECK(reader.OpenPath(tv::fuzz::WriteMemoryFile(bytes), cp));
  std::string value;
  for (const auto& [id, expected] : exact) {
    TV_FUZZ_CHECK(reader.GetValue(id.first, id.second, value));
    TV_FUZZ_CHECK(value == TrimSpaces(expected));
  }
  if (fresh) {
    for (std::string_view s : kDistinctSections) {
      for (std::string_view k : kDistinctKeys) {
        if (exact.count({std::string(s), std::string(k)}) == 0) {
          TV_FUZZ_CHECK(!reader.GetValue(s, k, value));
        }
      }
    }
  }
  return 0;
}
