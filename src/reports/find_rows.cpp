#include "reports/find_rows.h"

#include <algorithm>

namespace tv {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool CellMatches(std::string_view cell, std::string_view text, bool whole_cell) {
  if (whole_cell) return cell == text;
  const auto it = std::search(cell.begin(), cell.end(), text.begin(), text.end(),
                              [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
  return it != cell.end() || text.empty();
}

RowFinder::Result RowFinder::FindFirst(const std::vector<const ResultRow*>& rows,
                                       std::string_view text, bool whole_cell) {
  return SearchFrom(0, rows, text, whole_cell);
}

RowFinder::Result RowFinder::FindNext(const std::vector<const ResultRow*>& rows,
                                      std::string_view text, bool whole_cell) {
  return SearchFrom(next_row_, rows, text, whole_cell);
}

RowFinder::Result RowFinder::SearchFrom(size_t first, const std::vector<const ResultRow*>& rows,
                                        std::string_view text, bool whole_cell) {
  for (size_t r = first; r < rows.size(); ++r) {
    if (CellMatches((*rows[r])[kName], text, whole_cell)) {
      next_row_ = r + 1;
      return {true, static_cast<int>(r)};
    }
  }
  // Ran off the end (or the list shrank below the position): start over.
  next_row_ = 0;
  return {};
}

}  // namespace tv
