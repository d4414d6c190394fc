// Writing the Excel and JSON reports for a large run, each against the CSV
// report of the same rows.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "reports/excel_report.h"
#include "reports/json_report.h"
#include "reports/text_reports.h"

namespace {

// A run over `count` files with the texts a directory run gives them.
tv::BatchResults SampleResults(int count) {
  tv::BatchResults results;
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    results.rows.push_back(
        {"/home/dev/project/src/模块" + std::to_string(i % 97) + "/file_" + n + ".cpp",
         std::to_string(100 + i % 900), "70 (63.64%)", "25 (22.73%)", "15 (13.64%)", "26.32%"});
    results.rows.back().path = results.rows.back()[tv::kName];
  }
  results.summary = {"9999999 (共" + std::to_string(count) + "个文件)", "1400000 (63.64%)",
                     "500000 (22.73%)", "300000 (13.64%)",
                     "26.32%  ( 代码注释率 = 注释行/(注释行+有效代码行) )"};
  return results;
}

// Writes one report format of `rows` rows `state.iterations()` times into a
// fresh folder.
template <class Write>
void WriteReportRepeatedly(benchmark::State& state, const char* name, Write write,
                           int rows = 20000) {
  tv::BatchResults results = SampleResults(rows);
  std::string dir = (std::filesystem::temp_directory_path() / "tallyvane-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("cannot create a temporary folder");
    return;
  }
  std::string path = dir + "/" + name;
  for (auto _ : state) {
    tv::ReportResult result = write(path, results);
    if (!result.ok) state.SkipWithError(result.error.c_str());
  }
  state.SetItemsProcessed(state.iterations() * rows);
  std::filesystem::remove_all(dir);
}

// The workbook for 20,000 rows, and the CSV report of the same rows as the
// baseline it is compared with.
void BM_ExcelReport20000(benchmark::State& state) {
  WriteReportRepeatedly(state, "report.xls", [](const std::string& path, const auto& results) {
    return tv::WriteExcelReport(path, results);
  });
}
BENCHMARK(BM_ExcelReport20000)->Unit(benchmark::kMillisecond);

void BM_CsvReport20000(benchmark::State& state) {
  WriteReportRepeatedly(state, "report.csv", [](const std::string& path, const auto& results) {
    return tv::WriteCsvReport(path, results, tv::CodePage::Gbk);
  });
}
BENCHMARK(BM_CsvReport20000)->Unit(benchmark::kMillisecond);

// The JSON report of a 70,000-file run, and the CSV report of the same rows.
void BM_JsonReport70000(benchmark::State& state) {
  WriteReportRepeatedly(
      state, "report.json",
      [](const std::string& path, const auto& results) {
        return tv::WriteJsonReport(path, results, tv::CodePage::Gbk);
      },
      70000);
}
BENCHMARK(BM_JsonReport70000)->Unit(benchmark::kMillisecond);

void BM_CsvReport70000(benchmark::State& state) {
  WriteReportRepeatedly(
      state, "report.csv",
      [](const std::string& path, const auto& results) {
        return tv::WriteCsvReport(path, results, tv::CodePage::Gbk);
      },
      70000);
}
BENCHMARK(BM_CsvReport70000)->Unit(benchmark::kMillisecond);

}  // namespace
