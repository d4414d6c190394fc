#include "reports/json_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <future>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

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

// The lines, code, comment, blank and ratio values, the last four from
// their texts.
void SetCounts(Json* const* values, uint64_t lines, const std::string* cells) {
  *values[0] = lines;
  for (int i = 0; i < 3; ++i) *values[i + 1] = LeadingNumber(cells[i]);
  *values[4] = ShownPercent(cells[3]);
}

// The rows of a part of the files array and their line total.
struct RowsText {
  std::string text;
  uint64_t lines = 0;
};

// Fewer rows than this are written on one core.
constexpr size_t kRowsPerSlice = 8192;

// `rows` as members of the files array after `start`, each on a line of its
// own (one row a line, for readers and line tools) and after a comma unless
// `start` opens the array.
RowsText WriteRows(std::span<const ResultRow> rows, CodePage cp, std::string start) {
  RowsText out;
  const bool opens_array = !start.empty();
  out.text = std::move(start);
  out.text.reserve(out.text.size() + 220 * rows.size() + 200);
  RowObject plain(false);
  std::optional<RowObject> with_bytes;  // made for the first path that is not UTF-8
  for (const ResultRow& row : rows) {
    RowObject* object = &plain;
    const bool text_path = IsValidUtf8(row.path);
    if (!text_path) {
      if (!with_bytes) with_bytes.emplace(true);
      object = &*with_bytes;
      object->PathBytes() = LowerHex(row.path);
    }
    RowObject& o = *object;
    // The name cell shows the path as text, so it is UTF-8 whenever the
    // path is.
    std::string& path = o[0].get_ref<std::string&>();
    std::string& name = o[1].get_ref<std::string&>();
    if (text_path) {
      path.assign(row.path);
      name.assign(row[kName]);
    } else {
      path = NameToUtf8(row.path, cp);
      name = NameToUtf8(row[kName], cp);
    }
    o[2].get_ref<std::string&>() = kFamilyNames[static_cast<int>(row.family)];
    const uint64_t lines = LeadingNumber(row[kLines]);
    out.lines += lines;
    SetCounts(o.Counts(), lines, &row[kCode]);
    out.text += opens_array && &row == &rows.front() ? "\n" : ",\n";
    out.text += o.Text();
  }
  return out;
}

}  // namespace

bool IsJsonReportName(std::string_view path) {
  constexpr std::string_view kSuffix = ".json";
  if (path.size() < kSuffix.size()) return false;
  return LowerAscii(path.substr(path.size() - kSuffix.size()), CodePage::Utf8) == kSuffix;
}

namespace {

// The report's bytes in pieces, in order: the head with the first rows, the
// other slices of rows, then the totals. A large run's rows are written in
// slices on the processor's cores, and the pieces are written to the file
// one after the other, never copied into one text.
std::vector<std::string> JsonReportPieces(const BatchResults& results, CodePage cp) {
  Json head;
  head["program"] = "tallyvane";
  head["version"] = kJsonReportVersion;
  head["selection"] = NameToUtf8(results.selection, cp);
  std::string text = head.dump(-1, ' ', false, kReplace);
  text.pop_back();  // its closing brace: the files and the totals follow
  text += ",\"files\":[";

  const std::span<const ResultRow> rows = results.rows;
  const size_t slices = std::clamp<size_t>(
      std::min<size_t>(rows.size() / kRowsPerSlice, std::thread::hardware_concurrency()), 1, 8);
  std::vector<std::future<RowsText>> others;
  const size_t per_slice = (rows.size() + slices - 1) / slices;
  for (size_t k = 1; k < slices; ++k) {
    const auto slice = rows.subspan(std::min(rows.size(), k * per_slice));
    const auto part = slice.first(std::min(slice.size(), per_slice));
    try {
      others.push_back(std::async(std::launch::async, WriteRows, part, cp, std::string()));
    } catch (const std::system_error&) {  // no thread to spare: written here, in turn
      others.push_back(std::async(std::launch::deferred, WriteRows, part, cp, std::string()));
    }
  }
  std::vector<std::string> pieces;
  RowsText written = WriteRows(rows.first(std::min(rows.size(), per_slice)), cp, std::move(text));
  uint64_t row_lines = written.lines;
  pieces.push_back(std::move(written.text));
  for (std::future<RowsText>& other : others) {
    written = other.get();
    row_lines += written.lines;
    pieces.push_back(std::move(written.text));
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
  pieces.push_back("\n],\"totals\":" + totals.dump(-1, ' ', false, kReplace) + "}\n");
  return pieces;
}

}  // namespace

std::string JsonReportText(const BatchResults& results, CodePage cp) {
  std::string text;
  for (const std::string& piece : JsonReportPieces(results, cp)) text += piece;
  return text;
}

ReportResult WriteJsonReport(const std::string& path, const BatchResults& results, CodePage cp) {
  const std::vector<std::string> pieces = JsonReportPieces(results, cp);
  const std::vector<std::string_view> views(pieces.begin(), pieces.end());
  return WriteReportFile(path, views);
}

}  // namespace tv
