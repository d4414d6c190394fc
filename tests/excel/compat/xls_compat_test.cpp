// Reports opened by office suites. They are not dependencies of the test
// suite, so these checks are a separate program: tools/xls_compat.sh installs
// the suites, builds it and runs it.

#include "excel/xls_reader.h"
#include "reports/excel_report.h"
#include "test_util.h"

namespace tv {
namespace {

const std::string kCsvHeader = "文件名称,总行数,代码行数,注释行数,空白行数,代码注释率\n";

TEST(XlsCompatTest, OfficeSuiteOpensTheWorkbook) {
  test::TempDir dir;
  ASSERT_TRUE(WriteExcelReport(dir / "r.xls", test::ReportOf({"/src/中文/it's.c"})).ok);
  std::string command = "soffice -env:UserInstallation=file://" + dir / "profile --headless " +
                        "--convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " +
                        dir / "out " + dir / "r.xls >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(test::ReadFile(dir / "out/r.csv"),
            kCsvHeader +
                " /src/中文/it's.c ,10,6,2,2,25.00%\n"
                " 统计汇总 ,1234,6,2,2,25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )\n");
}

TEST(XlsCompatTest, GnumericOpensEveryOverflowSheet) {
  test::TempDir dir;
  std::vector<std::string> names(65536, "a");
  names.back() = "last";
  ASSERT_TRUE(WriteExcelReport(dir / "r.xls", test::ReportOf(names)).ok);
  std::string command = "ssconvert -S " + dir / "r.xls " + dir / "sheet-%n.csv >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(
      test::ReadFile(dir / "sheet-1.csv"),
      kCsvHeader +
          "\" last \",10,6,2,2,25.00%\n"
          "\" 统计汇总 \",1234,6,2,2,\"25.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )\"\n");
}

}  // namespace
}  // namespace tv
