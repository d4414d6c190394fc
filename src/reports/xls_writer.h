// Excel 97-2003 workbooks (.xls): BIFF8 records inside an OLE2 compound
// file. Tables of text and number cells become worksheets; a table with more
// rows than a sheet holds goes on in further sheets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

/// Rows of one worksheet (row indexes are 16-bit).
inline constexpr size_t kXlsMaxRows = 65536;
inline constexpr size_t kXlsMaxColumns = 256;
/// UTF-16 code units one text cell holds.
inline constexpr size_t kXlsMaxTextUnits = 32767;
/// UTF-16 code units of a sheet name.
inline constexpr size_t kXlsMaxSheetNameUnits = 31;

/// UTF-8 to UTF-16. Every byte that is not part of a valid sequence becomes
/// U+FFFD, so any byte string converts.
std::u16string Utf8ToUtf16(std::string_view utf8);
/// The same, appended to `out`.
void AppendUtf16(std::string_view utf8, std::u16string& out);

/// The workbook's shared texts: each distinct text once, in the order first added.
class XlsStringTable {
 public:
  /// Stores `utf8` (when new) and gives its index. False when the text is
  /// longer than a cell holds.
  bool Add(std::string_view utf8, uint32_t* index);
  size_t size() const { return unit_starts_.size() - 1; }
  std::u16string_view operator[](uint32_t index) const {
    return std::u16string_view(units_).substr(unit_starts_[index],
                                              unit_starts_[index + 1] - unit_starts_[index]);
  }

 private:
  std::string_view Utf8(uint32_t index) const {
    return std::string_view(utf8_).substr(utf8_starts_[index],
                                          utf8_starts_[index + 1] - utf8_starts_[index]);
  }
  void Grow();

  // All texts one after another, in both encodings, with where each begins.
  std::string utf8_;
  std::vector<size_t> utf8_starts_{0};
  std::u16string units_;
  std::vector<size_t> unit_starts_{0};
  // Open addressing: index + 1 of the text in each slot, 0 for a free slot.
  std::vector<uint32_t> slots_ = std::vector<uint32_t>(1024, 0);
};

enum class XlsCellKind : uint8_t { Empty, Number, Text };

struct XlsCell {
  XlsCellKind kind = XlsCellKind::Empty;
  uint32_t text = 0;  // index into the workbook's XlsStringTable
  double number = 0;
};

/// One table of the workbook. Its first sheet is named after it; rows that
/// do not fit go on in sheets named with "2", "3", ... appended. With a
/// header, every sheet of the table begins with it.
struct XlsTable {
  std::string name;              // UTF-8, a valid sheet name
  size_t columns = 0;            // 1 to kXlsMaxColumns
  std::vector<uint32_t> header;  // string indexes, one per column; empty: no header row
  std::vector<XlsCell> cells;    // the data rows one after another, `columns` cells each

  size_t RowCount() const { return columns == 0 ? 0 : cells.size() / columns; }
};

/// Why `name` cannot name a sheet, or "" when it can.
std::string SheetNameProblem(std::string_view name);

/// The names of the sheets the tables fill, in order.
std::vector<std::string> XlsSheetNames(const std::vector<XlsTable>& tables);

/// The complete .xls file. The first sheet is the selected and active one.
/// A workbook without tables holds one empty sheet "Sheet1".
std::string BuildXlsWorkbook(const std::vector<XlsTable>& tables, const XlsStringTable& strings);

}  // namespace tv
