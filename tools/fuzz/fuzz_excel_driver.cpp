// Fuzzes the Excel driver stand-in. The low four bits of the first input
// byte, modulo 5, pick what the rest is:
//   0  the six cell texts of a report row (FuzzedDataProvider strings):
//      the report's INSERT statement must read back as exactly those cells,
//      and store them in the workbook;
//   1  a workbook path: the report's connection string must open exactly it;
//   2  any SQL text: what parses must print and parse again to the same;
//   3  any connection string: what parses must build and parse again to the
//      same settings;
//   4  statements (divided by NUL bytes) run on one connection; bits 4 to 6
//      of the first byte choose a header row, a read-only workbook and a
//      final Commit. A failed statement changes nothing; one that succeeds
//      adds one table or one row.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "fuzz_support.h"
#include "reports/excel_driver.h"
#include "reports/excel_report.h"
#include "reports/result_texts.h"
#include "reports/xls_writer.h"

namespace {

// A statement in one spelling the parser reads: every name in brackets,
// texts quoted with single quotes doubled, numbers as they were written.
std::string Print(const tv::SqlStatement& statement) {
  if (const auto* create = std::get_if<tv::CreateTableStatement>(&statement)) {
    std::string out = "CREATE TABLE [" + create->table + "] (";
    for (size_t i = 0; i < create->columns.size(); ++i) {
      const tv::SqlColumn& c = create->columns[i];
      out +=
          (i == 0 ? "[" : ", [") + c.name + (c.type == tv::SqlType::Text ? "] TEXT" : "] NUMBER");
    }
    return out + ")";
  }
  const auto& insert = std::get<tv::InsertStatement>(statement);
  std::string out = "INSERT INTO [" + insert.table + "]";
  for (size_t i = 0; i < insert.columns.size(); ++i) {
    out += (i == 0 ? " ([" : ", [") + insert.columns[i] + "]";
  }
  if (!insert.columns.empty()) out += ")";
  out += " VALUES (";
  for (size_t i = 0; i < insert.values.size(); ++i) {
    const tv::SqlValue& v = insert.values[i];
    if (i > 0) out += ", ";
    out += v.is_text ? "'" + tv::QuoteSqlText(v.text) + "'" : v.text;
  }
  return out + ")";
}

bool SameValue(const tv::SqlValue& a, const tv::SqlValue& b) {
  return a.is_text == b.is_text && a.text == b.text && (a.is_text || a.number == b.number);
}

bool SameStatement(const tv::SqlStatement& a, const tv::SqlStatement& b) {
  if (a.index() != b.index()) return false;
  if (const auto* ca = std::get_if<tv::CreateTableStatement>(&a)) {
    const auto& cb = std::get<tv::CreateTableStatement>(b);
    return ca->table == cb.table && ca->columns.size() == cb.columns.size() &&
           std::equal(ca->columns.begin(), ca->columns.end(), cb.columns.begin(),
                      [](const tv::SqlColumn& x, const tv::SqlColumn& y) {
                        return x.name == y.name && x.type == y.type;
                      });
  }
  const auto& ia = std::get<tv::InsertStatement>(a);
  const auto& ib = std::get<tv::InsertStatement>(b);
  return ia.table == ib.table && ia.columns == ib.columns && ia.values.size() == ib.values.size() &&
         std::equal(ia.values.begin(), ia.values.end(), ib.values.begin(), &SameValue);
}

// What a connection holds, to tell whether a statement changed it.
struct Snapshot {
  std::vector<std::string> names;
  std::vector<size_t> columns, headers, cells;
  size_t strings = 0;

  explicit Snapshot(const tv::ExcelConnection& c) : strings(c.strings().size()) {
    for (const tv::XlsTable& t : c.tables()) {
      names.push_back(t.name);
      columns.push_back(t.columns);
      headers.push_back(t.header.size());
      cells.push_back(t.cells.size());
    }
  }
  bool operator==(const Snapshot&) const = default;
};

const tv::fuzz::ScratchTree& Scratch() {
  static const tv::fuzz::ScratchTree tree;
  return tree;
}

std::string WorkbookPath() {
  return Scratch().root() + "report.xls";
}

void CheckReportRow(FuzzedDataProvider& in) {
  std::string cells[6];
  for (std::string& cell : cells) cell = in.ConsumeRandomLengthString();
  const std::string& name = cells[0];
  const std::string& ratio = cells[5];

  static const tv::CreateTableStatement kTable = [] {
    tv::SqlStatement st;
    std::string error;
    TV_FUZZ_CHECK(tv::ParseSqlStatement(tv::kExcelCreateTableStatement, &st, &error));
    TV_FUZZ_CHECK(std::holds_alternative<tv::CreateTableStatement>(st));
    return std::get<tv::CreateTableStatement>(st);
  }();
  TV_FUZZ_CHECK(kTable.columns.size() == 6);

  const std::string sql =
      tv::ExcelInsertStatement(name, cells[1], cells[2], cells[3], cells[4], ratio);
  tv::SqlStatement st;
  std::string error;
  TV_FUZZ_CHECK(tv::ParseSqlStatement(sql, &st, &error));
  const auto* insert = std::get_if<tv::InsertStatement>(&st);
  TV_FUZZ_CHECK(insert != nullptr);
  TV_FUZZ_CHECK(tv::SheetNameProblem(insert->table).empty());
  TV_FUZZ_CHECK(insert->table == kTable.table);
  TV_FUZZ_CHECK(insert->columns.size() == 6 && insert->values.size() == 6);
  const std::string name_cell = " " + name + " ";
  for (size_t i = 0; i < 6; ++i) {
    TV_FUZZ_CHECK(insert->columns[i] == kTable.columns[i].name);
    const tv::SqlValue& v = insert->values[i];
    if (kTable.columns[i].type == tv::SqlType::Text) {
      TV_FUZZ_CHECK(v.is_text && v.text == (i == 0 ? name_cell : ratio));
    } else {
      const uint64_t n = tv::LeadingNumber(cells[i]);
      TV_FUZZ_CHECK(!v.is_text && v.text == std::to_string(n));
      TV_FUZZ_CHECK(v.number == static_cast<double>(n));
    }
  }

  // The connection stores the row: texts through the shared strings.
  tv::ExcelConnection connection;
  TV_FUZZ_CHECK(connection.Open(tv::ExcelConnectionString(WorkbookPath())));
  TV_FUZZ_CHECK(connection.Execute(tv::kExcelCreateTableStatement));
  const Snapshot before(connection);
  const bool fits = tv::Utf8ToUtf16(name_cell).size() <= tv::kXlsMaxTextUnits &&
                    tv::Utf8ToUtf16(ratio).size() <= tv::kXlsMaxTextUnits;
  TV_FUZZ_CHECK(connection.Execute(sql) == fits);
  if (!fits) {
    TV_FUZZ_CHECK(Snapshot(connection) == before);
    connection.Close();
    return;
  }
  const tv::XlsTable& table = connection.tables().at(0);
  const tv::XlsStringTable& strings = connection.strings();
  TV_FUZZ_CHECK(table.columns == 6 && table.cells.size() == 6 && table.header.size() == 6);
  for (size_t i = 0; i < 6; ++i) {
    TV_FUZZ_CHECK(strings[table.header[i]] == tv::Utf8ToUtf16(kTable.columns[i].name));
    const tv::XlsCell& cell = table.cells[i];
    if (kTable.columns[i].type == tv::SqlType::Text) {
      TV_FUZZ_CHECK(cell.kind == tv::XlsCellKind::Text);
      TV_FUZZ_CHECK(strings[cell.text] == tv::Utf8ToUtf16(i == 0 ? name_cell : ratio));
    } else {
      TV_FUZZ_CHECK(cell.kind == tv::XlsCellKind::Number);
      TV_FUZZ_CHECK(cell.number == static_cast<double>(tv::LeadingNumber(cells[i])));
    }
  }
  connection.Close();
}

void CheckReportConnection(std::string_view bytes) {
  std::string path(bytes);
  std::erase(path, '\0');  // a path never holds one
  if (path.empty()) return;
  tv::ConnectionSettings settings;
  std::string error;
  TV_FUZZ_CHECK(tv::ParseConnectionString(tv::ExcelConnectionString(path), &settings, &error));
  TV_FUZZ_CHECK(settings.driver == tv::kExcelConnectionDriver);
  TV_FUZZ_CHECK(settings.dsn.empty());
  TV_FUZZ_CHECK(settings.first_row_has_names && !settings.read_only);
  TV_FUZZ_CHECK(settings.create_db == path);
  TV_FUZZ_CHECK(settings.dbq == path);
}

void CheckSql(std::string_view sql) {
  tv::SqlStatement st;
  std::string error;
  if (!tv::ParseSqlStatement(sql, &st, &error)) {
    constexpr std::string_view kHead = "syntax error at offset ";
    TV_FUZZ_CHECK(error.starts_with(kHead));
    TV_FUZZ_CHECK(std::stoull(error.substr(kHead.size())) <= sql.size());
    return;
  }
  if (const auto* insert = std::get_if<tv::InsertStatement>(&st)) {
    for (const tv::SqlValue& v : insert->values) {
      if (!v.is_text) TV_FUZZ_CHECK(std::isfinite(v.number));
    }
  }
  const std::string printed = Print(st);
  tv::SqlStatement again;
  TV_FUZZ_CHECK(tv::ParseSqlStatement(printed, &again, &error));
  TV_FUZZ_CHECK(SameStatement(st, again));
  TV_FUZZ_CHECK(Print(again) == printed);
}

// A value in braces, double or single quotes, whichever it does not hold.
std::optional<std::string> Enclosed(const std::string& value) {
  if (value.find('}') == std::string::npos) return "{" + value + "}";
  if (value.find('"') == std::string::npos) return "\"" + value + "\"";
  if (value.find('\'') == std::string::npos) return "'" + value + "'";
  return std::nullopt;
}

void CheckConnectionString(std::string_view text) {
  tv::ConnectionSettings s;
  std::string error;
  if (!tv::ParseConnectionString(text, &s, &error)) {
    TV_FUZZ_CHECK(error.starts_with("connection string: "));
    TV_FUZZ_CHECK(error.find('\n') == std::string::npos);
    return;
  }
  std::string built;
  const std::pair<const char*, const std::string*> values[] = {
      {"DRIVER", &s.driver}, {"dsn", &s.dsn}, {"Create_DB", &s.create_db}, {"DBQ", &s.dbq}};
  for (const auto& [key, value] : values) {
    const auto enclosed = Enclosed(*value);
    if (!enclosed) return;
    built += std::string(key) + "=" + *enclosed + ";";
  }
  built += std::string("FIRSTROWHASNAMES=") + (s.first_row_has_names ? "1" : "0");
  built += std::string(";READONLY=") + (s.read_only ? "TRUE" : "FALSE");
  tv::ConnectionSettings again;
  TV_FUZZ_CHECK(tv::ParseConnectionString(built, &again, &error));
  TV_FUZZ_CHECK(again.driver == s.driver && again.dsn == s.dsn && again.create_db == s.create_db &&
                again.dbq == s.dbq && again.first_row_has_names == s.first_row_has_names &&
                again.read_only == s.read_only);
}

void CheckConnection(uint8_t flags, std::string_view statements) {
  const bool header = (flags & 1) != 0, read_only = (flags & 2) != 0, commit = (flags & 4) != 0;
  tv::ExcelConnection connection;
  const std::string path = WorkbookPath();
  TV_FUZZ_CHECK(connection.Open(std::string("DRIVER={Microsoft Excel Driver (*.xls)};") +
                                "FIRSTROWHASNAMES=" + (header ? "1" : "0") + ";READONLY=" +
                                (read_only ? "1" : "0") + ";CREATE_DB=\"" + path + "\""));
  size_t start = 0;
  for (int n = 0; n < 64 && start <= statements.size(); ++n) {
    size_t end = statements.find('\0', start);
    if (end == std::string_view::npos) end = statements.size();
    const std::string_view sql = statements.substr(start, end - start);
    start = end + 1;

    const Snapshot before(connection);
    if (!connection.Execute(sql)) {
      TV_FUZZ_CHECK(!connection.error().empty());
      TV_FUZZ_CHECK(connection.error().find('\n') == std::string::npos);
      TV_FUZZ_CHECK(Snapshot(connection) == before);
      continue;
    }
    TV_FUZZ_CHECK(!read_only);
    tv::SqlStatement st;
    std::string error;
    TV_FUZZ_CHECK(tv::ParseSqlStatement(sql, &st, &error));
    const Snapshot after(connection);
    const auto& tables = connection.tables();
    if (const auto* create = std::get_if<tv::CreateTableStatement>(&st)) {
      TV_FUZZ_CHECK(tables.size() == before.names.size() + 1);
      const tv::XlsTable& t = tables.back();
      TV_FUZZ_CHECK(t.name == create->table && t.columns == create->columns.size());
      TV_FUZZ_CHECK(t.header.size() == (header ? t.columns : 0) && t.cells.empty());
      TV_FUZZ_CHECK(t.columns >= 1 && t.columns <= tv::kXlsMaxColumns);
      TV_FUZZ_CHECK(tv::SheetNameProblem(t.name).empty());
    } else {
      TV_FUZZ_CHECK(tables.size() == before.names.size());
      size_t grown = 0;
      for (size_t i = 0; i < tables.size(); ++i) {
        if (after.cells[i] == before.cells[i]) continue;
        ++grown;
        TV_FUZZ_CHECK(after.cells[i] == before.cells[i] + tables[i].columns);
      }
      TV_FUZZ_CHECK(grown == 1);
    }
  }
  if (!commit) {
    connection.Close();
    return;
  }
  if (connection.Commit()) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    TV_FUZZ_CHECK(bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));  // compound file
    TV_FUZZ_CHECK(bytes.size() % 512 == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  switch ((data[0] & 0x0F) % 5) {
    case 0: {
      FuzzedDataProvider in(data + 1, size - 1);
      CheckReportRow(in);
      break;
    }
    case 1:
      CheckReportConnection(rest);
      break;
    case 2:
      CheckSql(rest);
      break;
    case 3:
      CheckConnectionString(rest);
      break;
    default:
      CheckConnection(static_cast<uint8_t>(data[0] >> 4), rest);
      break;
  }
  return 0;
}
