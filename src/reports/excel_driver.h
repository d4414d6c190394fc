// The program's own database driver for Excel workbooks: it is listed among
// the installed drivers, opens from a connection string, runs the two SQL
// statements the Excel report uses (CREATE TABLE, INSERT INTO) and writes
// the result as an .xls workbook.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/atomic_file.h"
#include "reports/xls_writer.h"

namespace tv {

/// The description under which the built-in workbook driver is listed.
inline constexpr std::string_view kBuiltInExcelDriver = "Microsoft Excel Driver (*.xls)";

/// Descriptions of the database drivers available to this program.
std::vector<std::string> InstalledDrivers();

/// The first description in `installed` that contains "Excel" (exact case),
/// or "" when there is none.
std::string FindExcelDriver(const std::vector<std::string>& installed);

/// The attributes of a connection string the driver reads. Keys are matched
/// without regard to case; unknown keys are ignored.
struct ConnectionSettings {
  std::string driver;     // DRIVER={...}, without the braces
  std::string dsn;        // DSN, without quotes
  std::string create_db;  // CREATE_DB: the workbook to create
  std::string dbq;        // DBQ: the workbook
  bool first_row_has_names = false;
  bool read_only = true;
};

/// Parses "KEY=value;KEY=value...". A value may be in braces (where "}}"
/// stands for one "}"), double or single quotes (no escapes inside), or bare
/// up to the next ";". A piece
/// without "=" is ignored. False, with a reason in `error`, when a quoted
/// value is not closed or is followed by anything but ";".
bool ParseConnectionString(std::string_view text, ConnectionSettings* settings, std::string* error);

enum class SqlType { Text, Number };

struct SqlColumn {
  std::string name;
  SqlType type = SqlType::Text;
};

/// A literal of an INSERT: a quoted text (with '' read as one ') or a number.
struct SqlValue {
  bool is_text = false;
  std::string text;  // the text, or a number as it was written
  double number = 0;
};

struct CreateTableStatement {
  std::string table;
  std::vector<SqlColumn> columns;
};

struct InsertStatement {
  std::string table;
  std::vector<std::string> columns;  // empty: every column of the table, in order
  std::vector<SqlValue> values;
};

using SqlStatement = std::variant<CreateTableStatement, InsertStatement>;

/// Parses one statement; a final ";" is allowed. Keywords and type names are
/// matched without regard to ASCII case. Identifiers are runs of letters,
/// digits, "_" and non-ASCII characters, or any text in [brackets]. Column
/// types: TEXT, CHAR, VARCHAR, MEMO (text); NUMBER, DOUBLE, FLOAT, INTEGER,
/// INT (numbers); a "(size)" after a type is allowed and ignored.
bool ParseSqlStatement(std::string_view sql, SqlStatement* statement, std::string* error);

/// A connection to one new workbook. Statements fill the workbook in
/// memory; Commit writes it, replacing any file of that name only once the
/// new one is complete. A connection that ends without Commit leaves the
/// file system as it found it.
class ExcelConnection {
 public:
  explicit ExcelConnection(std::vector<std::string> installed_drivers = InstalledDrivers());

  /// Opens from a connection string naming an installed driver (DRIVER,
  /// without regard to case) and the workbook to create (CREATE_DB). Fails
  /// when the folder cannot take the file or an existing file may not be
  /// replaced.
  bool Open(std::string_view connection_string);
  /// Runs one CREATE TABLE or INSERT INTO statement. A failed statement
  /// changes nothing.
  bool Execute(std::string_view sql);
  /// Writes the workbook and closes the connection.
  bool Commit();
  /// Closes without writing.
  void Close();

  bool is_open() const { return open_; }
  /// The reason of the last failure, one line (a file error does not
  /// repeat the workbook's path).
  const std::string& error() const { return error_; }
  const std::vector<XlsTable>& tables() const { return tables_; }
  const XlsStringTable& strings() const { return strings_; }

 private:
  struct TableInfo {
    std::vector<SqlColumn> columns;
  };

  bool Fail(std::string reason);
  bool Create(CreateTableStatement& statement);
  bool Insert(const InsertStatement& statement);
  int FindTable(std::string_view name) const;

  std::vector<std::string> installed_;
  ConnectionSettings settings_;
  AtomicFileWriter file_;
  bool open_ = false;
  std::string error_;
  std::vector<XlsTable> tables_;
  std::vector<TableInfo> info_;
  XlsStringTable strings_;
};

}  // namespace tv
