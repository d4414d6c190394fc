#include "reports/json_report.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "reports/result_texts.h"
#include "reports/text_reports.h"

namespace tv {

namespace {

// Objects keep their keys in the order they are set, so the report reads
// in the same order as the other reports.
using Json = nlohmann::ordered_json;

// Indexed by LanguageFamily.
constexpr const char* kFamilyNames[] = {"c", "sql", "pascal", "basic", "asm"};

// The percentage a ratio text shows ("12.34%" gives 12.34); 0 when the text
// does not start with a number.
double ShownPercent(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && std::isfinite(value) ? value : 0;
}

std::string LowerHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

constexpr auto kReplace = Json::error_handler_t::replace;

// The counts of a row and of the totals, in their order.
constexpr const char* kCountKeys[] = {"lines", "code", "comment", "blank", "comment_ratio"};

// An object whose keys are set once and whose values are replaced for each
// row, so that a row costs no allocation but its text. `values` are the
// path, name, family, lines, code, comment, blank and ratio; "path_bytes",
// when the object has it, follows "path".
class RowObject {
 public:
  explicit RowObject(bool with_path_bytes) {
    for (const char* key : {"path", "path_bytes", "name", "family"}) {
      if (with_path_bytes || key != std::string_view("path_bytes")) object_[key] = std::string();
    }
    for (const char* key : kCountKeys) object_[key] = 0;
    size_t i = 0;
    for (auto& [key, value] : object_.get_ref<Json::object_t&>()) {
      if (key != "path_bytes") values_[i++] = &value;
    }
  }
  RowObject(const RowObject&) = delete;
  RowObject& operator=(const RowObject&) = delete;

  Json& operator[](size_t i) { return *values_[i]; }
  Json* const* Counts() { return values_ + 3; }
  std::string& PathBytes() { return object_["path_bytes"].get_ref<std::string&>(); }
  std::string Text() const { return object_.dump(-1, ' ', false, kReplace); }

 private:
  Json object_;
  Json* values_[8];
};

// A name as UTF-8 text into a string value, reusing its room.
void SetName(Json& value, const std::string& name, CodePage cp) {
  std::string& text = value.get_ref<std::string&>();
  if (IsValidUtf8(name)) {
    text.assign(name);
  } else {
    text = NameToUtf8(name, cp);
  }
}

// The lines, code, comment, blank and ratio values, the last four from
// their texts.
void SetCounts(Json* const* values, uint64_t lines, const std::string* cells) {
  *values[0] = lines;
  for (int i = 0; i < 3; ++i) *values[i + 1] = LeadingNumber(cells[i]);
  *values[4] = ShownPercent(cells[3]);
}

}  // namespace

bool IsJsonReportName(std::string_view path) {
  constexpr std::string_view kSuffix = ".json";
  if (path.size() < kSuffix.size()) return false;
  return LowerAscii(path.substr(path.size() - kSuffix.size()), CodePage::Utf8) == kSuffix;
}

std::string JsonReportText(const BatchResults& results, CodePage cp) {
  Json head;
  head["program"] = "tallyvane";
  head["version"] = kJsonReportVersion;
  head["selection"] = NameToUtf8(results.selection, cp);
  std::string text = head.dump(-1, ' ', false, kReplace);
  text.pop_back();  // its closing brace: the files and the totals follow
  text.reserve(text.size() + 220 * results.rows.size() + 200);
  text += ",\"files\":[";

  // One row a line, for readers and line tools.
  RowObject plain(false);
  std::optional<RowObject> with_bytes;  // made for the first path that is not UTF-8
  uint64_t row_lines = 0;
  for (const ResultRow& row : results.rows) {
    RowObject* object = &plain;
    if (!IsValidUtf8(row.path)) {
      if (!with_bytes) with_bytes.emplace(true);
      object = &*with_bytes;
      object->PathBytes() = LowerHex(row.path);
    }
    RowObject& o = *object;
    SetName(o[0], row.path, cp);
    SetName(o[1], row[kName], cp);
    o[2].get_ref<std::string&>() = kFamilyNames[static_cast<int>(row.family)];
    const uint64_t lines = LeadingNumber(row[kLines]);
    row_lines += lines;
    SetCounts(o.Counts(), lines, &row[kCode]);
    text += &row == &results.rows.front() ? "\n" : ",\n";
    text += o.Text();
  }

  const SummaryTexts& s = results.summary;
  const bool has_line_total = !s.lines.empty() && s.lines.front() >= '0' && s.lines.front() <= '9';
  Json totals;
  totals["files"] = static_cast<uint64_t>(results.rows.size());
  for (const char* key : kCountKeys) totals[key] = 0;
  Json* counts[std::size(kCountKeys)];
  for (size_t i = 0; i < std::size(kCountKeys); ++i) counts[i] = &totals[kCountKeys[i]];
  const std::string cells[4] = {s.code, s.comment, s.blank, s.ratio};
  SetCounts(counts, has_line_total ? LeadingNumber(s.lines) : row_lines, cells);
  text += "\n],\"totals\":";
  text += totals.dump(-1, ' ', false, kReplace);
  text += "}\n";
  return text;
}

ReportResult WriteJsonReport(const std::string& path, const BatchResults& results, CodePage cp) {
  return WriteReportFile(path, JsonReportText(results, cp));
}

}  // namespace tv
