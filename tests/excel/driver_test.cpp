// The workbook driver: driver list, connection strings, SQL statements and
// the connection's error paths.
#include <gtest/gtest.h>

#include <filesystem>

#include "reports/excel_driver.h"
#include "test_util.h"

namespace tv {
namespace {

TEST(ExcelDriverTest, FindsFirstDescriptionHoldingExcel) {
  EXPECT_EQ(FindExcelDriver({}), "");
  EXPECT_EQ(FindExcelDriver({"SQL Server", "PostgreSQL Unicode"}), "");
  // The test is case-sensitive: "EXCEL" alone is not found.
  EXPECT_EQ(FindExcelDriver({"MICROSOFT EXCEL DRIVER"}), "");
  EXPECT_EQ(FindExcelDriver({"SQL Server", "Excel A", "Excel B"}), "Excel A");
  EXPECT_FALSE(FindExcelDriver(InstalledDrivers()).empty());
}

TEST(ConnectionStringTest, ReadsTheReportsString) {
  ConnectionSettings s;
  std::string error;
  ASSERT_TRUE(ParseConnectionString(
      "DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
      "CREATE_DB=\"/home/王/r=1;x.xls\";DBQ=/home/王/r=1;x.xls",
      &s, &error))
      << error;
  EXPECT_EQ(s.driver, "MICROSOFT EXCEL DRIVER (*.XLS)");
  EXPECT_EQ(s.dsn, "");
  EXPECT_TRUE(s.first_row_has_names);
  EXPECT_FALSE(s.read_only);
  // Quoted, the path keeps its ";"; bare, it is cut there.
  EXPECT_EQ(s.create_db, "/home/王/r=1;x.xls");
  EXPECT_EQ(s.dbq, "/home/王/r=1");
}

TEST(ConnectionStringTest, KeysIgnoreCaseAndDefaultsHold) {
  ConnectionSettings s;
  std::string error;
  ASSERT_TRUE(
      ParseConnectionString(" driver = {X} ; readonly=0;Other=5;create_db='a b.xls';", &s, &error));
  EXPECT_EQ(s.driver, "X");
  EXPECT_FALSE(s.read_only);
  EXPECT_EQ(s.create_db, "a b.xls");
  EXPECT_FALSE(s.first_row_has_names);

  ASSERT_TRUE(ParseConnectionString("", &s, &error));
  EXPECT_TRUE(s.read_only);
  EXPECT_EQ(s.driver, "");
}

TEST(ConnectionStringTest, RejectsUnclosedAndBrokenQuotes) {
  ConnectionSettings s;
  std::string error;
  EXPECT_FALSE(ParseConnectionString("DRIVER={X;DBQ=a", &s, &error));
  EXPECT_EQ(error, "connection string: the value of \"DRIVER\" is not closed");
  // A double quote inside the path ends the quoted value early.
  EXPECT_FALSE(ParseConnectionString("CREATE_DB=\"/tmp/a\"b.xls\";DBQ=/tmp/a\"b.xls", &s, &error));
  EXPECT_EQ(error, "connection string: unexpected text after the value of \"CREATE_DB\"");
}

InsertStatement ParseInsert(std::string_view sql) {
  SqlStatement st;
  std::string error;
  EXPECT_TRUE(ParseSqlStatement(sql, &st, &error)) << error;
  auto* insert = std::get_if<InsertStatement>(&st);
  return insert != nullptr ? *insert : InsertStatement{};
}

std::string ParseError(std::string_view sql) {
  SqlStatement st;
  std::string error;
  EXPECT_FALSE(ParseSqlStatement(sql, &st, &error)) << sql;
  return error;
}

TEST(SqlParserTest, CreateTableWithChineseNamesAndTypes) {
  SqlStatement st;
  std::string error;
  ASSERT_TRUE(ParseSqlStatement(
      "create table Exceldemo (文件名称 TEXT,总行数 NUMBER, [a b] varchar(255), n_2 Double);", &st,
      &error))
      << error;
  const auto& create = std::get<CreateTableStatement>(st);
  EXPECT_EQ(create.table, "Exceldemo");
  ASSERT_EQ(create.columns.size(), 4u);
  EXPECT_EQ(create.columns[0].name, "文件名称");
  EXPECT_EQ(create.columns[0].type, SqlType::Text);
  EXPECT_EQ(create.columns[1].name, "总行数");
  EXPECT_EQ(create.columns[1].type, SqlType::Number);
  EXPECT_EQ(create.columns[2].name, "a b");
  EXPECT_EQ(create.columns[2].type, SqlType::Text);
  EXPECT_EQ(create.columns[3].type, SqlType::Number);
}

TEST(SqlParserTest, StringLiteralsKeepEveryCharacter) {
  InsertStatement st =
      ParseInsert("INSERT INTO T (a,b,c,d) VALUES (' don''t_use.c ','''','中文\\路径 , (x)','')");
  EXPECT_EQ(st.table, "T");
  EXPECT_EQ(st.columns, (std::vector<std::string>{"a", "b", "c", "d"}));
  ASSERT_EQ(st.values.size(), 4u);
  EXPECT_TRUE(st.values[0].is_text);
  EXPECT_EQ(st.values[0].text, " don't_use.c ");
  EXPECT_EQ(st.values[1].text, "'");
  EXPECT_EQ(st.values[2].text, "中文\\路径 , (x)");
  EXPECT_EQ(st.values[3].text, "");
}

TEST(SqlParserTest, GbkBytesInsideLiteralsAreCarriedAsBytes) {
  // GBK text is not UTF-8; its trail bytes include "\" and "|", never a quote.
  std::string name = "\xd6\xd0\xce\xc4\x95\x5c\x81\x7c.c";
  InsertStatement st = ParseInsert("INSERT INTO T VALUES ('" + name + "',1)");
  ASSERT_EQ(st.values.size(), 2u);
  EXPECT_EQ(st.values[0].text, name);
}

TEST(SqlParserTest, NumbersInTheirForms) {
  InsertStatement st =
      ParseInsert("INSERT INTO T VALUES (0, 18446744073709551615, -2.5, +3, 1e3, .5)");
  ASSERT_EQ(st.values.size(), 6u);
  EXPECT_FALSE(st.values[0].is_text);
  EXPECT_EQ(st.values[0].number, 0.0);
  EXPECT_EQ(st.values[1].number, 18446744073709551615.0);
  EXPECT_EQ(st.values[1].text, "18446744073709551615");
  EXPECT_EQ(st.values[2].number, -2.5);
  EXPECT_EQ(st.values[3].number, 3.0);
  EXPECT_EQ(st.values[4].number, 1000.0);
  EXPECT_EQ(st.values[5].number, 0.5);
}

TEST(SqlParserTest, MalformedStatementsNameWhatWasExpected) {
  EXPECT_EQ(ParseError(""), "syntax error at offset 0: expected CREATE or INSERT");
  EXPECT_EQ(ParseError("DROP TABLE T"), "syntax error at offset 0: expected CREATE or INSERT");
  EXPECT_EQ(ParseError("CREATE T (a TEXT)"), "syntax error at offset 7: expected TABLE");
  EXPECT_EQ(ParseError("CREATE TABLE T (a BLOB)"),
            "syntax error at offset 18: expected TEXT or NUMBER");
  EXPECT_EQ(ParseError("CREATE TABLE T (a TEXT"),
            "syntax error at offset 22: expected \",\" or \")\"");
  EXPECT_EQ(ParseError("CREATE TABLE T ()"), "syntax error at offset 16: expected a column name");
  // The quote of "it's" ends the literal; what follows is not SQL.
  EXPECT_EQ(ParseError("INSERT INTO T (a,b) VALUES (' it's.c ',1)"),
            "syntax error at offset 33: expected \",\" or \")\"");
  EXPECT_EQ(ParseError("INSERT INTO T VALUES ('open)"),
            "syntax error at offset 22: expected a closing quote");
  EXPECT_EQ(ParseError("INSERT INTO T VALUES (12abc)"),
            "syntax error at offset 22: expected a quoted text or a number");
  EXPECT_EQ(ParseError("INSERT INTO T VALUES (1e999)"),
            "syntax error at offset 22: expected a number in range");
  EXPECT_EQ(ParseError("INSERT INTO T VALUES (1) extra"),
            "syntax error at offset 25: expected the end of the statement");
  EXPECT_EQ(ParseError("INSERT INTO T VALUES (1);;"),
            "syntax error at offset 25: expected the end of the statement");
  EXPECT_EQ(ParseError("INSERT INTO 9T VALUES (1)"),
            "syntax error at offset 12: expected a table name");
  EXPECT_EQ(ParseError("INSERT INTO T VALUES ()"),
            "syntax error at offset 22: expected a quoted text or a number");
}

// A connection to a workbook in a fresh folder.
class ConnectionTest : public ::testing::Test {
 protected:
  std::string ConnectionString(const std::string& extra = "") {
    return "DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
           "CREATE_DB=\"" +
           path_ + "\";DBQ=" + path_ + extra;
  }
  void OpenWithTable() {
    ASSERT_TRUE(connection_.Open(ConnectionString())) << connection_.error();
    ASSERT_TRUE(connection_.Execute("CREATE TABLE T (名 TEXT, n NUMBER)")) << connection_.error();
  }

  test::TempDir dir_;
  std::string path_ = dir_ / "book.xls";
  ExcelConnection connection_;
};

TEST_F(ConnectionTest, OpenNeedsAnInstalledExcelDriverAndAWorkbook) {
  ExcelConnection none(std::vector<std::string>{});
  EXPECT_FALSE(none.Open(ConnectionString()));
  EXPECT_EQ(none.error(), "driver \"MICROSOFT EXCEL DRIVER (*.XLS)\" is not installed");

  ExcelConnection other({"PostgreSQL"});
  EXPECT_FALSE(other.Open("DRIVER={PostgreSQL};CREATE_DB=\"" + path_ + "\""));
  EXPECT_EQ(other.error(), "driver \"PostgreSQL\" is not installed");

  EXPECT_FALSE(connection_.Open("DRIVER={Microsoft Excel Driver (*.xls)};DBQ=" + path_));
  EXPECT_EQ(connection_.error(), "the connection names no workbook to create (CREATE_DB)");

  EXPECT_FALSE(connection_.Open("DRIVER={Microsoft Excel Driver (*.xls)};CREATE_DB=\"" +
                                dir_.Path() + "/missing/book.xls\""));
  EXPECT_EQ(connection_.error(), "cannot create: No such file or directory");
  EXPECT_FALSE(connection_.is_open());
  EXPECT_FALSE(connection_.Execute("CREATE TABLE T (a TEXT)"));
  EXPECT_EQ(connection_.error(), "the connection is not open");
}

TEST_F(ConnectionTest, StatementErrorsAreReportedAndChangeNothing) {
  OpenWithTable();
  EXPECT_FALSE(connection_.Execute("CREATE TABLE t (a TEXT)"));
  EXPECT_EQ(connection_.error(), "table \"t\" already exists");
  EXPECT_FALSE(connection_.Execute("CREATE TABLE U (a TEXT, A NUMBER)"));
  EXPECT_EQ(connection_.error(), "column \"A\" appears twice");
  EXPECT_FALSE(connection_.Execute("CREATE TABLE [a:b] (a TEXT)"));
  EXPECT_EQ(connection_.error(),
            "table \"a:b\": a sheet name cannot hold control characters or any of : \\ / ? * [ ]");
  EXPECT_FALSE(connection_.Execute("INSERT INTO X VALUES ('a', 1)"));
  EXPECT_EQ(connection_.error(), "no table \"X\"");
  EXPECT_FALSE(connection_.Execute("INSERT INTO T (名, m) VALUES ('a', 1)"));
  EXPECT_EQ(connection_.error(), "no column \"m\" in table \"T\"");
  EXPECT_FALSE(connection_.Execute("INSERT INTO T (n, N) VALUES (1, 1)"));
  EXPECT_EQ(connection_.error(), "column \"N\" is named twice");
  EXPECT_FALSE(connection_.Execute("INSERT INTO T (名, n) VALUES ('a')"));
  EXPECT_EQ(connection_.error(), "1 values for 2 columns");
  EXPECT_FALSE(connection_.Execute("INSERT INTO T VALUES ('a', 1, 2)"));
  EXPECT_EQ(connection_.error(), "3 values for 2 columns");
  EXPECT_FALSE(connection_.Execute("INSERT INTO T (名, n) VALUES ('a', '12')"));
  EXPECT_EQ(connection_.error(), "column \"n\" takes a number, not a text");
  EXPECT_FALSE(connection_.Execute("INSERT INTO T VALUES ('" + std::string(32768, 'x') + "', 1)"));
  EXPECT_EQ(connection_.error(), "column \"名\": a text holds at most 32767 characters");

  ASSERT_EQ(connection_.tables().size(), 1u);
  EXPECT_EQ(connection_.tables()[0].RowCount(), 0u);
}

TEST_F(ConnectionTest, InsertFillsNamedColumnsInTheTablesOrder) {
  OpenWithTable();
  ASSERT_TRUE(connection_.Execute("insert into t (N, 名) values (7, ' a''b ')"));
  ASSERT_TRUE(connection_.Execute("INSERT INTO T (名) VALUES (42)"));
  ASSERT_TRUE(connection_.Execute("INSERT INTO T VALUES (' a''b ', 1)"));
  const XlsTable& t = connection_.tables()[0];
  ASSERT_EQ(t.RowCount(), 3u);
  ASSERT_EQ(t.header.size(), 2u);
  EXPECT_EQ(connection_.strings()[t.header[0]], u"名");
  EXPECT_EQ(t.cells[0].kind, XlsCellKind::Text);
  EXPECT_EQ(connection_.strings()[t.cells[0].text], u" a'b ");
  EXPECT_EQ(t.cells[1].kind, XlsCellKind::Number);
  EXPECT_EQ(t.cells[1].number, 7.0);
  // A number for a text column is kept as written; an unnamed column stays empty.
  EXPECT_EQ(connection_.strings()[t.cells[2].text], u"42");
  EXPECT_EQ(t.cells[3].kind, XlsCellKind::Empty);
  // Equal texts are stored once.
  EXPECT_EQ(t.cells[4].text, t.cells[0].text);
}

TEST_F(ConnectionTest, ReadOnlyConnectionRefusesChanges) {
  ASSERT_TRUE(connection_.Open(ConnectionString(";READONLY=TRUE")));
  EXPECT_FALSE(connection_.Execute("CREATE TABLE T (a TEXT)"));
  EXPECT_EQ(connection_.error(), "the workbook is opened read-only");
}

TEST_F(ConnectionTest, OnlyCommitCreatesTheFile) {
  OpenWithTable();
  ASSERT_TRUE(connection_.Execute("INSERT INTO T VALUES ('x', 1)"));
  connection_.Close();
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));

  OpenWithTable();
  ASSERT_TRUE(connection_.Commit()) << connection_.error();
  EXPECT_FALSE(connection_.is_open());
  EXPECT_EQ(test::ReadFile(path_).substr(0, 4), "\xd0\xcf\x11\xe0");
  EXPECT_FALSE(connection_.Commit());
  EXPECT_EQ(connection_.error(), "the connection is not open");
  EXPECT_EQ(test::FolderEntries(dir_.Path()).size(), 1u);
}

}  // namespace
}  // namespace tv
