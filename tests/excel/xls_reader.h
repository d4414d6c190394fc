// Reads a workbook back with an independent reader (xlrd under the system's
// Python) and gives its sheets as cell texts.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tv::test {

/// One sheet as the reader saw it. A cell is "T:text", "N:number" (as
/// Python prints a float, e.g. "N:10.0") or "E:" for an empty cell.
struct ReadSheet {
  std::string name;
  int rows = 0;
  int columns = 0;
  bool selected = false;
  bool active = false;
  std::vector<std::vector<std::string>> cells;
};

struct ReadWorkbook {
  std::vector<ReadSheet> sheets;
  /// Warnings of the reader and any other output (a traceback when it failed).
  std::vector<std::string> complaints;
  int exit_status = -1;
};

inline std::string ShellQuote(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

inline std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

inline std::vector<std::string> SplitTabs(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

inline ReadWorkbook ReadXls(const std::string& path) {
  ReadWorkbook book;
  std::string command = "/usr/bin/python3 " +
                        ShellQuote(std::string(TV_SOURCE_DIR) + "/tests/excel/read_xls.py") + " " +
                        ShellQuote(path) + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    book.complaints.push_back("cannot start the reader");
    return book;
  }
  std::string output;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  book.exit_status = ::pclose(pipe);
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string_view line(output.data() + start, end - start);
    start = end + 1;
    std::vector<std::string> fields = SplitTabs(line);
    if (fields[0] == "SHEET" && fields.size() == 6) {
      ReadSheet sheet;
      sheet.name = Unescape(fields[1]);
      sheet.rows = std::stoi(fields[2]);
      sheet.columns = std::stoi(fields[3]);
      sheet.selected = fields[4] == "1";
      sheet.active = fields[5] == "1";
      book.sheets.push_back(std::move(sheet));
    } else if (fields[0] == "ROW" && !book.sheets.empty()) {
      std::vector<std::string> row;
      for (size_t i = 1; i < fields.size(); ++i) row.push_back(Unescape(fields[i]));
      book.sheets.back().cells.push_back(std::move(row));
    } else {
      book.complaints.emplace_back(line);
    }
  }
  return book;
}

}  // namespace tv::test
