// Runs counted on several threads: rows in list order with their file and
// family, and aborts that end a run. Stops and the bar are in runs.tsv.
#include <gtest/gtest.h>

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

// File j has code[j] code lines, a comment, a blank line and the next of five
// extensions; a big file early lets the workers finish later files first.
TEST(WindowRunTest, RowsFollowTheListOrderAndCarryTheirFileAndFamily) {
  test::TempDir dir;
  RunState state;
  using F = LanguageFamily;
  using S = SelectionType;
  const std::string exts[] = {".c", ".pas", ".sql", ".asm", ".bas"};
  const F families[] = {F::CFamily, F::Pascal, F::Sql, F::Assembly, F::Basic};
  struct Case {
    const char* name;
    std::vector<uint64_t> code;
    S type = S::OneDirectory;
    int filter = 0;  // a file list's type fixes every family: 16 is SQL
    bool progress = false, command_line = false;
  };
  std::vector<uint64_t> falling;
  for (uint64_t j = 0; j < 30; ++j) falling.push_back((30 - j) * 997);
  const Case cases[] = {
      {"big first file", {200000, 1, 2, 3}},
      {"big first file, progress bar", {200000, 1, 2, 3}, S::OneDirectory, 0, true},
      {"big middle file, typed file list", {1, 2, 150000, 1, 1, 1, 1, 1, 1, 1, 1}, S::FileList, 16},
      {"sizes falling over many files, all files", falling, S::AllFiles},
      {"command line", {100000, 5, 1, 7, 2, 0, 9}, S::OneDirectory, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir / ("order" + std::to_string(&c - cases));
    std::vector<std::string> names, paths;
    for (size_t j = 0; j < c.code.size(); ++j) {
      names.push_back((j < 10 ? "f0" : "f") + std::to_string(j) + exts[j % 5]);
      paths.push_back(folder + "/" + names.back());
      std::string text;
      for (uint64_t k = 0; k < c.code[j]; ++k) text += "x;\n";
      test::WriteFile(paths.back(), text + "// c\n\n");
    }
    test::RecordingView view;
    view.flags.progress_option = c.progress;
    RunRequest r = Request(dir, c.type, c.type == S::OneDirectory ? folder : "");
    (c.type == S::FileList ? r.file_list : r.selection_list) = paths;
    r.file_type_filter = c.filter;
    r.command_line = c.command_line;
    ASSERT_EQ(ExecuteRun(r, view.flags, state, view), RunOutcome::Completed);
    const std::vector<ResultRow>& rows = c.command_line ? state.results.rows : view.rows;
    ASSERT_EQ(rows.size(), paths.size());
    for (size_t j = 0; j < paths.size(); ++j) {
      SCOPED_TRACE(paths[j]);
      EXPECT_EQ(rows[j][kName], c.type == S::OneDirectory ? paths[j] : names[j]);
      EXPECT_EQ(rows[j][kLines], std::to_string(c.code[j] + 2));
      EXPECT_EQ(rows[j].path, paths[j]);
      EXPECT_EQ(rows[j].family, c.filter ? F::Sql : families[j % 5]);
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
