// Helpers of the workbook tests: reading a workbook back with an independent
// reader (xlrd under the system's Python, through read_xls.py), and reports.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "reports/results.h"
#include "test_util.h"

namespace tv::test {

inline std::string ShellQuote(std::string_view s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

/// The lines the reader printed: per sheet SheetLine(...) and then one line
/// per row, its cells joined by tabs ("T:text", "N:number" as Python prints
/// it, "E:" empty); then any warning of the reader, and "exit status N" last
/// when it failed. A workbook read without complaint gives nothing else.
inline std::vector<std::string> ReadXls(const std::string& path) {
  std::string command = "/usr/bin/python3 " + ShellQuote(TV_SOURCE_DIR "/tests/excel/read_xls.py") +
                        " " + ShellQuote(path) + " 2>&1";
  int status = 0;
  const std::string output = CommandOutput(command, &status);
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < output.size(); start = end + 1) {
    end = output.find('\n', start);
    lines.push_back(output.substr(start, end - start));
    if (end == std::string::npos) break;
  }
  if (status != 0) lines.push_back("exit status " + std::to_string(status));
  return lines;
}

/// The reader's line for a sheet; only the first sheet is selected and active.
inline std::string SheetLine(std::string_view name, size_t rows, size_t columns,
                             bool first = true) {
  return "SHEET\t" + std::string(name) + "\t" + std::to_string(rows) + "\t" +
         std::to_string(columns) + (first ? "\t1\t1" : "\t0\t0");
}

/// The little-endian 32-bit number at `at`.
inline uint32_t U32At(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

/// A file's signature as two numbers in hex, its length, its allocation-table
/// sectors, its directory sector and its allocation-table extension sectors.
inline std::string FileLayout(std::string_view b) {
  char out[80];
  std::snprintf(out, sizeof out, "%08X %08X %zu %u %u %u", U32At(b, 0), U32At(b, 4), b.size(),
                U32At(b, 44), U32At(b, 48), U32At(b, 72));
  return out;
}

/// A report of files named `names`, each of 10 lines: 6 code, 2 comment, 2 blank.
inline BatchResults ReportOf(const std::vector<std::string>& names) {
  BatchResults r{{},
                 {"1234 (共5个文件)", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)",
                  "25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )"}};
  for (const std::string& n : names) {
    r.rows.push_back({n, "10", "6 (60.00%)", "2 (20.00%)", "2 (20.00%)", "25.00%"});
  }
  return r;
}

}  // namespace tv::test
