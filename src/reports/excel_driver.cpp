#include "reports/excel_driver.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace tv {

namespace {

char LowerAsciiChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAsciiChar(x) == LowerAsciiChar(y);
         });
}

bool ContainsNoCase(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return false;
  for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    if (EqualNoCase(hay.substr(i, needle.size()), needle)) return true;
  }
  return false;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A name for an error message: quoted, on one line.
std::string Shown(std::string_view s) {
  std::string out = "\"";
  for (char c : s) out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  return out + "\"";
}

bool IsWordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '_';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Recursive-descent reader of the two statement forms.
class SqlParser {
 public:
  explicit SqlParser(std::string_view sql) : s_(sql) {}

  bool Parse(SqlStatement* out, std::string* error) {
    bool ok = false;
    if (Keyword("CREATE")) {
      CreateTableStatement create;
      ok = ParseCreate(&create);
      if (ok) *out = std::move(create);
    } else if (Keyword("INSERT")) {
      InsertStatement insert;
      ok = ParseInsert(&insert);
      if (ok) *out = std::move(insert);
    } else {
      Expected("CREATE or INSERT");
    }
    if (ok) {
      Punct(';');
      SkipBlanks();
      if (pos_ < s_.size()) ok = Expected("the end of the statement");
    }
    if (!ok) *error = error_;
    return ok;
  }

 private:
  bool ParseCreate(CreateTableStatement* st) {
    if (!Keyword("TABLE")) return Expected("TABLE");
    if (!Identifier(&st->table)) return Expected("a table name");
    if (!Punct('(')) return Expected("\"(\"");
    do {
      SqlColumn column;
      if (!Identifier(&column.name)) return Expected("a column name");
      std::string type;
      size_t at = pos_;
      if (!Word(&type)) return Expected("a column type");
      static constexpr std::string_view kTextTypes[] = {"TEXT", "CHAR", "VARCHAR", "MEMO"};
      static constexpr std::string_view kNumberTypes[] = {"NUMBER", "DOUBLE", "FLOAT", "INTEGER",
                                                          "INT"};
      auto is = [&](std::string_view t) { return EqualNoCase(type, t); };
      if (std::any_of(std::begin(kTextTypes), std::end(kTextTypes), is)) {
        column.type = SqlType::Text;
      } else if (std::any_of(std::begin(kNumberTypes), std::end(kNumberTypes), is)) {
        column.type = SqlType::Number;
      } else {
        pos_ = at;
        return Expected("TEXT or NUMBER");
      }
      if (Punct('(')) {
        SkipBlanks();
        size_t digits = pos_;
        while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
        if (pos_ == digits) return Expected("a size");
        if (!Punct(')')) return Expected("\")\"");
      }
      st->columns.push_back(std::move(column));
    } while (Punct(','));
    if (!Punct(')')) return Expected("\",\" or \")\"");
    return true;
  }

  bool ParseInsert(InsertStatement* st) {
    if (!Keyword("INTO")) return Expected("INTO");
    if (!Identifier(&st->table)) return Expected("a table name");
    if (Punct('(')) {
      st->columns.reserve(8);
      do {
        std::string name;
        if (!Identifier(&name)) return Expected("a column name");
        st->columns.push_back(std::move(name));
      } while (Punct(','));
      if (!Punct(')')) return Expected("\",\" or \")\"");
    }
    if (!Keyword("VALUES")) return Expected("VALUES");
    if (!Punct('(')) return Expected("\"(\"");
    st->values.reserve(std::max<size_t>(8, st->columns.size()));
    do {
      SqlValue value;
      if (!Literal(&value)) return false;
      st->values.push_back(std::move(value));
    } while (Punct(','));
    if (!Punct(')')) return Expected("\",\" or \")\"");
    return true;
  }

  void SkipBlanks() {
    while (pos_ < s_.size() && IsBlank(s_[pos_])) ++pos_;
  }

  bool Punct(char c) {
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Word(std::string* out) {
    SkipBlanks();
    size_t start = pos_;
    while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
    if (pos_ == start) return false;
    out->assign(s_.substr(start, pos_ - start));
    return true;
  }

  bool Keyword(std::string_view keyword) {
    size_t start = pos_;
    std::string word;
    if (Word(&word) && EqualNoCase(word, keyword)) return true;
    pos_ = start;
    return false;
  }

  bool Identifier(std::string* out) {
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '[') {
      size_t close = s_.find(']', pos_ + 1);
      if (close == std::string_view::npos || close == pos_ + 1) return false;
      out->assign(s_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return true;
    }
    if (pos_ < s_.size() && IsDigit(s_[pos_])) return false;
    return Word(out);
  }

  bool Literal(SqlValue* value) {
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '\'') {
      size_t start = pos_++;
      value->is_text = true;
      for (;;) {
        size_t quote = s_.find('\'', pos_);
        if (quote == std::string_view::npos) {
          pos_ = start;
          return Expected("a closing quote");
        }
        value->text.append(s_.substr(pos_, quote - pos_));
        pos_ = quote + 1;
        if (pos_ < s_.size() && s_[pos_] == '\'') {
          value->text += '\'';  // a doubled quote stands for one
          ++pos_;
          continue;
        }
        return true;
      }
    }
    size_t start = pos_;
    size_t p = pos_;
    if (p < s_.size() && (s_[p] == '-' || s_[p] == '+')) ++p;
    size_t mantissa = p;
    while (p < s_.size() && IsDigit(s_[p])) ++p;
    if (p < s_.size() && s_[p] == '.') {
      ++p;
      while (p < s_.size() && IsDigit(s_[p])) ++p;
    }
    bool has_digits = false;
    for (size_t k = mantissa; k < p; ++k) has_digits = has_digits || IsDigit(s_[k]);
    if (!has_digits) return Expected("a quoted text or a number");
    if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
      size_t q = p + 1;
      if (q < s_.size() && (s_[q] == '-' || s_[q] == '+')) ++q;
      if (q < s_.size() && IsDigit(s_[q])) {
        p = q;
        while (p < s_.size() && IsDigit(s_[p])) ++p;
      }
    }
    if (p < s_.size() && IsWordChar(s_[p])) return Expected("a quoted text or a number");
    double number = 0;
    auto [end, ec] = std::from_chars(s_.data() + mantissa, s_.data() + p, number);
    if (ec == std::errc::result_out_of_range) return Expected("a number in range");
    if (ec != std::errc() || end != s_.data() + p) return Expected("a quoted text or a number");
    value->is_text = false;
    value->number = s_[start] == '-' ? -number : number;
    value->text.assign(s_.substr(start, p - start));
    pos_ = p;
    return true;
  }

  bool Expected(std::string_view what) {
    SkipBlanks();
    error_ = "syntax error at offset " + std::to_string(pos_) + ": expected " + std::string(what);
    return false;
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

std::vector<std::string> InstalledDrivers() {
  return {std::string(kBuiltInExcelDriver)};
}

std::string FindExcelDriver(const std::vector<std::string>& installed) {
  for (const std::string& description : installed) {
    if (description.find("Excel") != std::string::npos) return description;
  }
  return "";
}

bool ParseConnectionString(std::string_view text, ConnectionSettings* settings,
                           std::string* error) {
  ConnectionSettings result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eq = text.find('=', pos);
    size_t semi = text.find(';', pos);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      // A piece without "=" (such as the rest of a path cut by ";") says nothing.
      if (semi == std::string_view::npos) break;
      pos = semi + 1;
      continue;
    }
    std::string_view key = TrimBlanks(text.substr(pos, eq - pos));
    size_t v = eq + 1;
    while (v < text.size() && (text[v] == ' ' || text[v] == '\t')) ++v;
    std::string value;
    size_t next;
    char open = v < text.size() ? text[v] : '\0';
    if (open == '{' || open == '"' || open == '\'') {
      char close = open == '{' ? '}' : open;
      size_t at = v + 1;  // the first byte of the value not yet taken
      for (;;) {
        size_t end = text.find(close, at);
        if (end == std::string_view::npos) {
          *error = "connection string: the value of " + Shown(key) + " is not closed";
          return false;
        }
        if (open == '{' && end + 1 < text.size() && text[end + 1] == '}') {
          value.append(text.substr(at, end + 1 - at));  // "}}" inside braces is one "}"
          at = end + 2;
          continue;
        }
        value.append(text.substr(at, end - at));
        next = end + 1;
        break;
      }
      while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) ++next;
      if (next < text.size() && text[next] != ';') {
        *error = "connection string: unexpected text after the value of " + Shown(key);
        return false;
      }
    } else {
      next = semi == std::string_view::npos ? text.size() : semi;
      value.assign(TrimBlanks(text.substr(v, next - v)));
    }
    if (EqualNoCase(key, "DRIVER")) {
      result.driver = value;
    } else if (EqualNoCase(key, "DSN")) {
      result.dsn = value;
    } else if (EqualNoCase(key, "CREATE_DB")) {
      result.create_db = value;
    } else if (EqualNoCase(key, "DBQ")) {
      result.dbq = value;
    } else if (EqualNoCase(key, "FIRSTROWHASNAMES")) {
      result.first_row_has_names = value == "1";
    } else if (EqualNoCase(key, "READONLY")) {
      result.read_only = !(EqualNoCase(value, "FALSE") || value == "0");
    }
    pos = next < text.size() ? next + 1 : text.size();
  }
  *settings = std::move(result);
  return true;
}

bool ParseSqlStatement(std::string_view sql, SqlStatement* statement, std::string* error) {
  return SqlParser(sql).Parse(statement, error);
}

ExcelConnection::ExcelConnection(std::vector<std::string> installed_drivers)
    : installed_(std::move(installed_drivers)) {}

bool ExcelConnection::Fail(std::string reason) {
  error_ = std::move(reason);
  return false;
}

bool ExcelConnection::Open(std::string_view connection_string) {
  if (open_) return Fail("the connection is already open");
  ConnectionSettings settings;
  std::string error;
  if (!ParseConnectionString(connection_string, &settings, &error)) return Fail(error);
  bool known = ContainsNoCase(settings.driver, "excel") &&
               std::any_of(installed_.begin(), installed_.end(),
                           [&](const std::string& d) { return EqualNoCase(d, settings.driver); });
  if (!known) return Fail("driver " + Shown(settings.driver) + " is not installed");
  if (settings.create_db.empty()) {
    return Fail("the connection names no workbook to create (CREATE_DB)");
  }
  if (!file_.Begin(settings.create_db)) return Fail(file_.error());
  settings_ = std::move(settings);
  tables_.clear();
  info_.clear();
  strings_ = XlsStringTable();
  open_ = true;
  error_.clear();
  return true;
}

int ExcelConnection::FindTable(std::string_view name) const {
  for (size_t i = 0; i < tables_.size(); ++i) {
    if (EqualNoCase(tables_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

bool ExcelConnection::Execute(std::string_view sql) {
  if (!open_) return Fail("the connection is not open");
  SqlStatement statement;
  std::string error;
  if (!ParseSqlStatement(sql, &statement, &error)) return Fail(error);
  if (settings_.read_only) return Fail("the workbook is opened read-only");
  if (auto* create = std::get_if<CreateTableStatement>(&statement)) return Create(*create);
  return Insert(std::get<InsertStatement>(statement));
}

bool ExcelConnection::Create(CreateTableStatement& st) {
  std::string problem = SheetNameProblem(st.table);
  if (!problem.empty()) return Fail("table " + Shown(st.table) + ": " + problem);
  if (FindTable(st.table) >= 0) return Fail("table " + Shown(st.table) + " already exists");
  if (st.columns.size() > kXlsMaxColumns) return Fail("a table holds at most 256 columns");
  for (size_t i = 0; i < st.columns.size(); ++i) {
    const std::string& name = st.columns[i].name;
    if (Utf8ToUtf16(name).size() > 64) {
      return Fail("column " + Shown(name) + ": a column name holds at most 64 characters");
    }
    for (size_t k = 0; k < i; ++k) {
      if (EqualNoCase(st.columns[k].name, name)) {
        return Fail("column " + Shown(name) + " appears twice");
      }
    }
  }
  XlsTable table;
  table.name = st.table;
  table.columns = st.columns.size();
  if (settings_.first_row_has_names) {
    for (const SqlColumn& c : st.columns) {
      uint32_t index = 0;
      strings_.Add(c.name, &index);
      table.header.push_back(index);
    }
  }
  tables_.push_back(std::move(table));
  info_.push_back({std::move(st.columns)});
  return true;
}

bool ExcelConnection::Insert(const InsertStatement& st) {
  int t = FindTable(st.table);
  if (t < 0) return Fail("no table " + Shown(st.table));
  const std::vector<SqlColumn>& columns = info_[t].columns;
  // Target column of each value.
  std::vector<size_t> target;
  if (st.columns.empty()) {
    for (size_t c = 0; c < columns.size(); ++c) target.push_back(c);
  } else {
    for (const std::string& name : st.columns) {
      // Columns are usually named in the table's order: look there first.
      size_t index = target.size();
      if (index >= columns.size() || !EqualNoCase(columns[index].name, name)) {
        auto found = std::find_if(columns.begin(), columns.end(),
                                  [&](const SqlColumn& c) { return EqualNoCase(c.name, name); });
        if (found == columns.end()) {
          return Fail("no column " + Shown(name) + " in table " + Shown(st.table));
        }
        index = static_cast<size_t>(found - columns.begin());
      }
      if (std::find(target.begin(), target.end(), index) != target.end()) {
        return Fail("column " + Shown(name) + " is named twice");
      }
      target.push_back(index);
    }
  }
  if (st.values.size() != target.size()) {
    return Fail(std::to_string(st.values.size()) + " values for " + std::to_string(target.size()) +
                " columns");
  }
  for (size_t i = 0; i < target.size(); ++i) {
    if (columns[target[i]].type == SqlType::Number && st.values[i].is_text) {
      return Fail("column " + Shown(columns[target[i]].name) + " takes a number, not a text");
    }
  }
  XlsTable& table = tables_[t];
  std::vector<XlsCell> row(table.columns);
  for (size_t i = 0; i < target.size(); ++i) {
    const SqlValue& value = st.values[i];
    XlsCell& cell = row[target[i]];
    if (columns[target[i]].type == SqlType::Number) {
      cell.kind = XlsCellKind::Number;
      cell.number = value.number;
    } else {
      // A number given to a text column is kept as it was written.
      cell.kind = XlsCellKind::Text;
      if (!strings_.Add(value.text, &cell.text)) {
        return Fail("column " + Shown(columns[target[i]].name) +
                    ": a text holds at most 32767 characters");
      }
    }
  }
  table.cells.insert(table.cells.end(), row.begin(), row.end());
  return true;
}

bool ExcelConnection::Commit() {
  if (!open_) return Fail("the connection is not open");
  open_ = false;
  std::string bytes = BuildXlsWorkbook(tables_, strings_);
  if (!file_.Write(bytes) || !file_.Commit()) {
    std::string reason = file_.error();
    file_.Abandon();
    return Fail(reason);
  }
  return true;
}

void ExcelConnection::Close() {
  open_ = false;
  file_.Abandon();
  tables_.clear();
  info_.clear();
  strings_ = XlsStringTable();
}

}  // namespace tv
