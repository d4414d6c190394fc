// Finding a file in the results: how a search text matches a row's name and
// where "find" and "find next" go in the rows as they are shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/results.h"

namespace tv {

/// With `whole_cell` the cell must equal the text byte for byte; otherwise
/// the cell must contain the text, both with ASCII letters lower-cased
/// (other bytes compare as they are).
bool CellMatches(std::string_view cell, std::string_view text, bool whole_cell);

/// The find dialog's position in the rows across its two buttons. It names
/// the next row to compare: 0 when the dialog opens, the row after a match,
/// and 0 again once a search ran off the end, so "find next" then starts
/// over at the first row.
class RowFinder {
 public:
  struct Result {
    bool found = false;
    int row = -1;  // the matching display row when found
  };

  /// Searches the first column of `rows` (in display order) from the first row.
  Result FindFirst(const std::vector<const ResultRow*>& rows, std::string_view text,
                   bool whole_cell);
  /// Searches from the row after the last match.
  Result FindNext(const std::vector<const ResultRow*>& rows, std::string_view text,
                  bool whole_cell);
  int NextRow() const { return next_row_; }

 private:
  Result SearchFrom(size_t first, const std::vector<const ResultRow*>& rows, std::string_view text,
                    bool whole_cell);

  size_t next_row_ = 0;
};

}  // namespace tv
