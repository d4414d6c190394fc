// The JSON report read back with the library that wrote it.
#include "reports/json_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "reports/result_texts.h"
#include "test_util.h"

namespace tv {
namespace {

using json = nlohmann::ordered_json;

// Both reports of one run of examples/, with the per-file shares on: the
// JSON rows and totals, written as CSV lines, are the CSV report without the
// shares beside its counts and the words after its total ratio.
TEST(JsonReportTest, HoldsTheCsvReportsRowsAndTotals) {
  test::TempDir dir;
  test::WriteFile(dir / "Setup.ini", "[SHOW SINGLE FILE PERCENT]\r\nFlag=1\r\n");
  const std::string run = "cd '" TV_SOURCE_DIR
                          "' && TALLYVANE_CODEPAGE=utf-8 TALLYVANE_SETTINGS='" +
                          dir / "Setup.ini" + "' '" TV_PROGRAM_PATH "' -d examples -o ";
  const json doc = json::parse(test::CommandOutput(run + "-"));
  test::CommandOutput(run + "'" + dir / "r.csv" + "'");
  auto line = [](const std::string& name, const std::string& lines, const json& j) {
    std::string text = name + "," + lines;
    for (const char* key : {"code", "comment", "blank"}) text += "," + j[key].dump();
    return text + "," + FormatFixed2(j["comment_ratio"].get<double>()) + "%\r\n";
  };
  std::string csv = "文件名,总行数,代码行,注释行,空白行,代码注释率\r\n";
  for (const json& file : doc["files"]) csv += line(file["name"], file["lines"].dump(), file);
  const json& totals = doc["totals"];
  csv +=
      "\r\n" + line("统计汇总",
                    totals["lines"].dump() + " (共" + totals["files"].dump() + "个文件)", totals);
  EXPECT_EQ(csv, std::regex_replace(test::ReadFile(dir / "r.csv"),
                                    std::regex(" \\([0-9.]+%\\)|  \\(.*"), ""));
  EXPECT_EQ(doc["selection"], "examples");
}

// Names with quotes, a backslash, control characters and bytes that are not
// UTF-8, and counts beyond 2^53, come back exactly; a stopped run's totals
// take the rows' line sum.
TEST(JsonReportTest, NamesAndLargeCountsComeBackExactly) {
  BatchResults results;
  results.rows.push_back({"q\"b\\c\x01\t\n\xB6\xFE\xFF.c", "9007199254740993",
                          "18446744073709551615 (100.00%)", "0", "1", "12.34%"});
  results.rows[0].path = "/t/" + results.rows[0][kName];
  results.rows[0].family = LanguageFamily::Assembly;
  results.rows.push_back({"名.c", "2", "1", "1", "0", "50.00%"});
  results.rows[1].path = "/t/名.c";
  results.summary = {std::string(kStoppedText), "3", "1", "1", "abc"};
  const json doc = json::parse(JsonReportText(results, CodePage::Gbk));
  const json& odd = doc["files"][0];
  EXPECT_EQ(odd["name"], "q\"b\\c\x01\t\n\xE4\xBA\x8C\xEF\xBF\xBD.c");  // GBK "二", then U+FFFD
  EXPECT_EQ(odd["path"], "/t/" + odd["name"].get<std::string>());
  EXPECT_EQ(odd["path_bytes"], "2f742f7122625c6301090ab6feff2e63");
  EXPECT_EQ(odd["family"], "asm");
  EXPECT_EQ(odd["lines"].get<uint64_t>(), 9007199254740993u);
  EXPECT_EQ(odd["code"].get<uint64_t>(), 18446744073709551615u);
  EXPECT_EQ(odd["comment_ratio"].get<double>(), 12.34);
  EXPECT_EQ(doc["files"][1].dump(), R"({"path":"/t/名.c","name":"名.c","family":"c","lines":2,)"
                                    R"("code":1,"comment":1,"blank":0,"comment_ratio":50.0})");
  EXPECT_EQ(doc["totals"].dump(), R"({"files":2,"lines":9007199254740995,"code":3,"comment":1,)"
                                  R"("blank":1,"comment_ratio":0.0})");
}

// A large run's file gets every row once, in order, with the rows' sum as
// the line total of a stopped run.
TEST(JsonReportTest, LargeRunKeepsEveryRowInOrder) {
  BatchResults results{{}, {std::string(kStoppedText), "0", "0", "0", "0.00%"}};
  const uint64_t n = 40000;
  for (uint64_t i = 0; i < n; ++i)
    results.rows.push_back({"f.c", std::to_string(i), "0", "0", "0", "0.00%"});
  test::TempDir dir;
  ASSERT_TRUE(WriteJsonReport(dir / "r.json", results, CodePage::Gbk).ok);
  const json doc = json::parse(test::ReadFile(dir / "r.json"));
  uint64_t out_of_place = doc["files"].size() != n;
  for (uint64_t i = 0; i < n && !out_of_place; ++i) out_of_place += doc["files"][i]["lines"] != i;
  EXPECT_EQ(out_of_place, 0u);
  EXPECT_EQ(doc["totals"]["lines"], n * (n - 1) / 2);
}

}  // namespace
}  // namespace tv
