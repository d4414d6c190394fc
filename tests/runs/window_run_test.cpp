// Runs counted on several threads: rows in list order with their file and
// family, and aborts that end a run. Stops and the bar are in runs.tsv.
#include <map>

#include "runs/recording_view.h"
#include "runs/run.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv {
namespace {

// A request of `type` with the default settings, written into `dir`.
RunRequest Request(const test::TempDir& dir, SelectionType type, const std::string& path) {
  RunRequest r;
  r.type = type;
  r.path = path;
  r.settings_path = dir / "Setup.ini";
  EXPECT_TRUE(WriteDefaultSettings(r.settings_path, CodePage::Gbk));
  return r;
}

// The cases of run_order.tsv, each counted in a folder of its own.
TEST(WindowRunTest, RowsFollowTheListOrderAndCarryTheirFileAndFamily) {
  test::TempDir dir;
  RunState state;
  using F = LanguageFamily;
  using S = SelectionType;
  const std::string exts[] = {".c", ".pas", ".sql", ".asm", ".bas"};
  const F families[] = {F::CFamily, F::Pascal, F::Sql, F::Assembly, F::Basic};
  const std::map<std::string, S> types = {
      {"folder", S::OneDirectory}, {"list", S::FileList}, {"all", S::AllFiles}};
  int n = 0;
  for (const test::TableCase& c : test::ReadTableCases("runs/run_order.tsv")) {
    SCOPED_TRACE(c.line);
    const S type = types.at(c.in.at(1));
    const int filter = std::stoi(c.in.at(2));
    const bool command_line = c.in.at(3) == "command line";
    const std::string folder = dir / ("order" + std::to_string(++n));
    std::vector<uint64_t> code;
    std::vector<std::string> names, paths;
    std::istringstream counts(c.in.at(4));
    for (uint64_t lines; counts >> lines;) {
      const size_t j = code.size();
      code.push_back(lines);
      names.push_back((j < 10 ? "f0" : "f") + std::to_string(j) + exts[j % 5]);
      paths.push_back(folder + "/" + names.back());
      std::string text;
      for (uint64_t k = 0; k < lines; ++k) text += "x;\n";
      test::WriteFile(paths.back(), text + "// c\n\n");
    }
    test::RecordingView view;
    view.flags.progress_option = c.in[3] == "bar";
    RunRequest r = Request(dir, type, type == S::OneDirectory ? folder : "");
    (type == S::FileList ? r.file_list : r.selection_list) = paths;
    r.file_type_filter = filter;
    r.command_line = command_line;
    ASSERT_EQ(ExecuteRun(r, view.flags, state, view), RunOutcome::Completed);
    const std::vector<ResultRow>& rows = command_line ? state.results.rows : view.rows;
    ASSERT_EQ(rows.size(), paths.size());
    for (size_t j = 0; j < paths.size(); ++j) {
      SCOPED_TRACE(paths[j]);
      EXPECT_EQ(rows[j][kName], type == S::OneDirectory ? paths[j] : names[j]);
      EXPECT_EQ(rows[j][kLines], std::to_string(code[j] + 2));
      EXPECT_EQ(rows[j].path, paths[j]);
      EXPECT_EQ(rows[j].family, filter ? F::Sql : families[j % 5]);
    }
  }
}

TEST(WindowRunTest, AnAbortEndsTheRunWithoutAnotherViewCallAndNoRunStartsAfter) {
  test::TempDir dir;
  // 8 MB: many read chunks, so a count that ignored the abort would show.
  test::WriteFile(dir / "big/a.c", "x;\n");
  test::WriteFile(dir / "big/b.c", std::string(8 << 20, '\n'));
  const std::string first_row = "row " + (dir / "big/a.c");
  struct Case {
    const char* name;
    std::string trigger;     // the effect the abort comes with, or the last before it
    bool progress, closing;  // closing: the window's abort while the run is held
  };
  const Case cases[] = {
      {"during the walk", "clear", false, false},
      {"as counting begins: not even the first file", "range", true, false},
      {"after the first row, the big file in flight", first_row, false, false},
      {"the window closes while the run is held after its first file", first_row, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::RecordingView view;
    RunState state;
    view.flags.progress_option = c.progress;
    view.on_effect = [&](const std::string& e) {
      if (!c.closing && e.starts_with(c.trigger)) view.flags.abort = 1;
    };
    std::atomic<int> held{0}, outcome{-1};
    RunRequest r = Request(dir, SelectionType::OneDirectory, dir / "big");
    r.after_file = [&](size_t) {  // the gate: only the closing window's abort opens it
      for (held = 1; view.flags.abort == 0;) std::this_thread::yield();
    };
    RunController controller(view.flags, state, view);
    ASSERT_TRUE(controller.StartRun(r, [&](RunOutcome o) { outcome = static_cast<int>(o); }));
    while (c.closing && held == 0) std::this_thread::yield();
    c.closing ? controller.Abort() : controller.Wait();
    EXPECT_EQ(outcome.load(), static_cast<int>(RunOutcome::Aborted));
    EXPECT_EQ(view.rows.size(), c.trigger == first_row ? 1u : 0u);
    // The bar has the accepted file's line, never the big file counted ahead.
    EXPECT_EQ(state.progress_lines.load(), c.closing ? 1u : 0u);
    EXPECT_EQ(view.flags.counting + view.flags.run_started + view.flags.run_finished, 0);
    EXPECT_FALSE(controller.StartRun(r)) << "no run starts once the window is closing";
    // No effect after the abort, not even of the refused start.
    EXPECT_TRUE(view.log.back().starts_with(c.trigger)) << testing::PrintToString(view.log);
  }
}

}  // namespace
}  // namespace tv
