// The cases of excel_cases.tsv: the report's texts, the driver's connection
// strings, statements and connections, sheet names, and workbooks and reports
// read back by an independent reader.

#include <cstdio>

#include "reports/excel_report.h"
#include "test_util.h"
#include "xls_reader.h"

namespace tv {
namespace {

// What the function named by the case's first field gives for the others.
std::vector<std::string> Evaluate(const std::vector<std::string>& in, const std::string& dir) {
  const std::string& kind = in[0];
  if (kind == "leading") return {std::to_string(LeadingNumber(in.at(1)))};
  if (kind == "quote") return {QuoteSqlText(in.at(1))};
  if (kind == "insert") return {ExcelInsertStatement(in[1], in[2], in[3], in[4], in[5], in.at(6))};
  if (kind == "connection-string") return {ExcelConnectionString(in.at(1))};
  if (kind == "driver") return {FindExcelDriver({in.begin() + 1, in.end()})};
  if (kind == "sheet-name") return {SheetNameProblem(in.at(1))};
  std::string error;
  if (kind == "settings") {
    ConnectionSettings s{"old", "old", "old", "old", true, false};
    if (!ParseConnectionString(in.at(1), &s, &error)) return {error};
    return {s.driver, s.dsn, s.create_db, s.dbq,
            std::to_string(s.first_row_has_names) + std::to_string(s.read_only)};
  }
  if (kind == "sql") {
    SqlStatement st;
    return {ParseSqlStatement(in.at(1), &st, &error) ? "parsed" : error};
  }
  if (kind == "utf16") {
    std::string out;
    for (char16_t unit : Utf8ToUtf16(in.at(1))) {
      char hex[8];
      std::snprintf(hex, sizeof hex, out.empty() ? "%04X" : " %04X", unsigned{unit});
      out += hex;
    }
    return {out};
  }
  if (kind == "sheet-names") {
    std::vector<XlsTable> tables;
    for (size_t i = 2; i + 1 < in.size(); i += 2) {
      tables.push_back({in[i], 2, {}, std::vector<XlsCell>(2 * std::stoul(in[i + 1]))});
      if (in[1] == "header") tables.back().header = {0, 0};
    }
    return XlsSheetNames(tables);
  }
  if (kind == "report") {
    BatchResults results{{}, {in.at(2), in.at(3), in.at(4), in.at(5), in.at(6)}};
    for (size_t i = 7; i + 6 <= in.size(); i += 6) {
      results.rows.push_back({in[i], in[i + 1], in[i + 2], in[i + 3], in[i + 4], in[i + 5]});
    }
    const std::filesystem::path path = dir + "/" + in[1];
    std::filesystem::create_directories(path.parent_path());
    ReportResult result = WriteExcelReport(path, results);
    EXPECT_EQ(test::FolderEntries(path.parent_path()), std::vector{path.filename().string()});
    return result.ok ? test::ReadXls(dir + "/" + in[1]) : std::vector{result.error};
  }
  EXPECT_EQ(kind, "execute");
  ExcelConnection connection(in.at(1) == "*" ? InstalledDrivers()
                             : in[1].empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{in[1]});
  std::vector<std::string> out{connection.Open(in.at(2)) ? "open" : connection.error()};
  for (size_t i = 3; i < in.size(); ++i) {
    const bool ok = in[i] == "commit"  ? connection.Commit()
                    : in[i] == "close" ? (connection.Close(), true)
                                       : connection.Execute(in[i]);
    out.push_back(ok ? "ok" : connection.error());
  }
  const auto& tables = connection.tables();
  out.push_back(tables.empty() ? "no table"
                               : "rows " + std::to_string(tables[0].RowCount()) + ", texts " +
                                     std::to_string(connection.strings().size()));
  for (const std::string& name : test::FolderEntries(dir)) {
    if (name.starts_with(".")) {
      out.push_back("temporary file");
      continue;
    }
    out.insert(out.end(), {name, test::FileLayout(test::ReadFile(dir + "/" + name))});
    for (std::string& line : test::ReadXls(dir + "/" + name)) out.push_back(std::move(line));
  }
  return out;
}

TEST(ExcelCasesTest, EachFunctionGivesItsExpectedTexts) {
  for (const test::TableCase& c : test::ReadEscapedTableCases("../excel/excel_cases.tsv")) {
    SCOPED_TRACE(c.line);
    test::TempDir dir;
    // $DIR is the case's folder, $LONG a text one character longer than a cell holds.
    auto here = [&](std::vector<std::string> fields) {
      for (std::string& f : fields) {
        for (size_t at; (at = f.find("$DIR")) != std::string::npos;) f.replace(at, 4, dir.Path());
        for (size_t at; (at = f.find("$LONG")) != std::string::npos;)
          f.replace(at, 5, std::string(kXlsMaxTextUnits + 1, 'y'));
      }
      return fields;
    };
    EXPECT_EQ(Evaluate(here(c.in), dir.Path()), here(c.out));
  }
  EXPECT_EQ(FindExcelDriver(InstalledDrivers()), "Microsoft Excel Driver (*.xls)");
}

}  // namespace
}  // namespace tv
