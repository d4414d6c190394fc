// Runs that count on several threads: rows in list order, stops that keep
// exactly the rows taken, the pre-count only for the progress bar, rows that
// carry their file, and the abort of a closing window.
#include <gtest/gtest.h>

#include <numeric>

#include "reports/result_texts.h"
#include "runs/recording_view.h"
#include "runs/run.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv {
namespace {

std::string Lines(uint64_t n, std::string_view line) {
  std::string text;
  text.reserve(n * line.size());
  for (uint64_t i = 0; i < n; ++i) text.append(line);
  return text;
}

class WindowRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = dir_ / "Setup.ini";
    ASSERT_TRUE(WriteDefaultSettings(settings_, CodePage::Gbk));
  }

  RunRequest Request(SelectionType type, const std::string& path = "") {
    RunRequest r;
    r.type = type;
    r.path = path;
    r.settings_path = settings_;
    r.code_page = CodePage::Gbk;
    return r;
  }

  // Files f00.c, f01.c, ... in `folder` (the walk's order): file j has
  // code[j] code lines, then one comment line and one blank line.
  std::vector<std::string> WriteFiles(const std::string& folder,
                                      const std::vector<uint64_t>& code) {
    std::vector<std::string> paths;
    for (size_t j = 0; j < code.size(); ++j) {
      const std::string name = (j < 10 ? "/f0" : "/f") + std::to_string(j) + ".c";
      paths.push_back(dir_ / (folder + name));
      test::WriteFile(paths.back(), Lines(code[j], "x;\n") + "// c\n\n");
    }
    return paths;
  }

  test::TempDir dir_;
  std::string settings_;
  RunFlags flags_;
  RunState state_;
  test::RecordingView view_;
};

TEST_F(WindowRunTest, RowsFollowTheListOrderWhateverTheFileSizes) {
  struct Case {
    const char* name;
    std::vector<uint64_t> code;
    bool progress;
    bool command_line;
  };
  std::vector<uint64_t> falling;
  for (uint64_t j = 0; j < 30; ++j) falling.push_back((30 - j) * 997);
  const Case cases[] = {
      {"big first file", {200000, 1, 2, 3}, false, false},
      {"big first file, progress bar", {200000, 1, 2, 3}, true, false},
      {"big file in the middle", {1, 2, 150000, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, false, false},
      {"sizes falling over many files", falling, false, false},
      {"command line", {100000, 5, 1, 7, 2, 0, 9}, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = std::string("order") + std::to_string(&c - cases);
    const std::vector<std::string> paths = WriteFiles(folder, c.code);
    flags_.progress_option = c.progress ? 1 : 0;
    test::RecordingView view;
    RunRequest r = Request(SelectionType::OneDirectory, dir_ / folder);
    r.command_line = c.command_line;
    ASSERT_EQ(ExecuteRun(r, flags_, state_, view), RunOutcome::Completed);

    const std::vector<ResultRow>& rows = c.command_line ? state_.results.rows : view.rows;
    ASSERT_EQ(rows.size(), paths.size());
    uint64_t lines = 0;
    for (size_t j = 0; j < paths.size(); ++j) {
      EXPECT_EQ(rows[j][kName], paths[j]) << "row " << j;
      EXPECT_EQ(rows[j][kLines], std::to_string(c.code[j] + 2)) << "row " << j;
      lines += c.code[j] + 2;
    }
    const SummaryTexts& summary = c.command_line ? state_.results.summary : view.summary;
    EXPECT_EQ(summary.lines,
              std::to_string(lines) + " (共" + std::to_string(paths.size()) + "个文件)");
    EXPECT_EQ(state_.files_done.load(), paths.size());
    EXPECT_EQ(state_.progress_lines.load(), c.progress ? lines : 0u);
    if (!c.command_line) {
      // The bar's range is the pre-counted total, or 0 without a pre-count.
      EXPECT_TRUE(view.Saw(c.progress ? "range " + std::to_string(lines) + " step" : "range 0"))
          << testing::PrintToString(view.log);
    }
  }
}

TEST_F(WindowRunTest, WithoutTheProgressOptionTheRangeIsZeroAndNeverMoves) {
  const std::vector<std::string> paths = WriteFiles("two", {4, 1});
  struct Case {
    bool progress;
    std::vector<std::string> log;
  };
  const std::string summary = "summary 9 (共2个文件)";
  const Case cases[] = {
      {false,
       {"buttons off", "face stop", "clear", "range 0", "row " + paths[0], "row " + paths[1],
        summary, "start on", "buttons on", "cursor", "face start"}},
      {true,
       {"buttons off", "face stop", "clear", "range 9 step", "row " + paths[0], "row " + paths[1],
        summary, "start on", "position 9", "buttons on", "cursor", "face start"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.progress ? "option on" : "option off");
    flags_.progress_option = c.progress ? 1 : 0;
    test::RecordingView view;
    ASSERT_EQ(ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "two"), flags_, state_, view),
              RunOutcome::Completed);
    EXPECT_EQ(view.log, c.log);
    EXPECT_EQ(state_.totals.lines, 9u) << "the line total is the sum of the files' totals";
  }
}

TEST_F(WindowRunTest, AStopKeepsExactlyTheRowsTakenInOrder) {
  const std::vector<uint64_t> code = {3000, 1, 2, 3, 4, 5};
  struct Case {
    const char* name;
    std::string trigger;  // the stop comes with the `count`-th effect starting so
    int count;
    bool progress;
    size_t files;
    RunOutcome outcome;
    size_t rows;
  };
  const Case cases[] = {
      {"after the first row", "row ", 1, false, 6, RunOutcome::Stopped, 1},
      {"after the second row, progress bar", "row ", 2, true, 6, RunOutcome::Stopped, 2},
      {"after the fourth row", "row ", 4, false, 6, RunOutcome::Stopped, 4},
      {"after the last row", "row ", 6, false, 6, RunOutcome::Completed, 6},
      {"as counting begins: the first file is counted", "range", 1, false, 6, RunOutcome::Stopped,
       1},
      {"as counting begins, progress bar", "range", 1, true, 6, RunOutcome::Stopped, 1},
      {"before counting, pre-count", "clear", 1, true, 6, RunOutcome::StoppedEarly, 0},
      {"before counting, no pre-count", "clear", 1, false, 6, RunOutcome::StoppedEarly, 0},
      {"before counting one file, pre-count", "clear", 1, true, 1, RunOutcome::Completed, 1},
      {"before counting one file", "clear", 1, false, 1, RunOutcome::Completed, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = std::string("stop") + std::to_string(&c - cases);
    const std::vector<uint64_t> used(code.begin(), code.begin() + static_cast<long>(c.files));
    const std::vector<std::string> paths = WriteFiles(folder, used);
    flags_.stop_request = 0;
    flags_.progress_option = c.progress ? 1 : 0;
    flags_.run_started = 1;
    test::RecordingView view;
    int seen = 0;
    view.on_effect = [&](const std::string& e) {
      if (e.rfind(c.trigger, 0) == 0 && ++seen == c.count) flags_.stop_request = 1;
    };
    // A file selection: gathering ignores the stop, so it can come before
    // counting with every file in the list.
    RunRequest r = Request(SelectionType::FileList);
    r.file_list = paths;
    r.file_type_filter = 4;
    EXPECT_EQ(ExecuteRun(r, flags_, state_, view), c.outcome);
    EXPECT_EQ(flags_.counting, 0);
    EXPECT_EQ(flags_.run_started, 0);
    ASSERT_EQ(view.rows.size(), c.rows);
    EXPECT_EQ(state_.files_done.load(), c.rows);
    for (size_t j = 0; j < c.rows; ++j) EXPECT_EQ(view.rows[j].path, paths[j]) << "row " << j;
    if (c.rows == 0) {
      EXPECT_FALSE(view.Saw("range")) << testing::PrintToString(view.log);
      EXPECT_FALSE(view.Saw("summary"));
      EXPECT_EQ(view.log.back(), "face start");
      continue;
    }
    // The totals are those of the rows shown, not of files counted ahead.
    RunTotals expected;
    expected.code = std::accumulate(used.begin(), used.begin() + static_cast<long>(c.rows), 0ull);
    expected.comment = expected.blank = c.rows;
    expected.lines = std::accumulate(used.begin(), used.end(), 0ull) + 2 * c.files;
    EXPECT_EQ(state_.totals.code, expected.code);
    EXPECT_EQ(state_.totals.comment, expected.comment);
    EXPECT_EQ(state_.totals.blank, expected.blank);
    EXPECT_EQ(view.summary,
              MakeSummaryTexts(expected, c.files, c.rows < c.files, EmptyRatioStyle::Plain));
    EXPECT_EQ(view.summary.lines == "用户中断", c.rows < c.files);
  }
}

TEST_F(WindowRunTest, RowsCarryTheFileAndTheFamilyTheyWereCountedWith) {
  test::WriteFile(dir_ / "fam/a.asm", "mov ax, 1 ; one\n");
  test::WriteFile(dir_ / "fam/b.bas", "' note\n");
  test::WriteFile(dir_ / "fam/c.c", "int c;\n");
  test::WriteFile(dir_ / "fam/d.pas", "{ note }\n");
  test::WriteFile(dir_ / "fam/e.sql", "-- note\n");
  const std::string fam = dir_ / "fam";
  using F = LanguageFamily;
  struct Case {
    const char* name;
    SelectionType type;
    int filter;  // FileList only
    std::vector<std::string> files;
    std::vector<F> families;
    bool bare_names;
    bool command_line;
  };
  const Case cases[] = {
      {"typed filter 16 (SQL) fixes every family",
       SelectionType::FileList,
       16,
       {"c.c", "d.pas"},
       {F::Sql, F::Sql},
       true,
       false},
      {"typed filter 10 (assembly)",
       SelectionType::FileList,
       10,
       {"b.bas"},
       {F::Assembly},
       true,
       false},
      {"typed filter 7 (VB project)",
       SelectionType::FileList,
       7,
       {"e.sql"},
       {F::Basic},
       true,
       false},
      {"a directory: the family of each extension",
       SelectionType::OneDirectory,
       0,
       {"a.asm", "b.bas", "c.c", "d.pas", "e.sql"},
       {F::Assembly, F::Basic, F::CFamily, F::Pascal, F::Sql},
       false,
       false},
      {"all files: bare names, full paths kept",
       SelectionType::AllFiles,
       0,
       {"e.sql", "b.bas"},
       {F::Sql, F::Basic},
       true,
       false},
      {"command line: the batch rows carry them too",
       SelectionType::OneDirectory,
       0,
       {"a.asm", "b.bas", "c.c", "d.pas", "e.sql"},
       {F::Assembly, F::Basic, F::CFamily, F::Pascal, F::Sql},
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> paths;
    for (const std::string& f : c.files) paths.push_back(fam + "/" + f);
    RunRequest r = Request(c.type, c.type == SelectionType::OneDirectory ? fam : "");
    if (c.type == SelectionType::FileList) r.file_list = paths;
    if (c.type == SelectionType::AllFiles) r.selection_list = paths;
    r.file_type_filter = c.filter;
    r.command_line = c.command_line;
    test::RecordingView view;
    ASSERT_EQ(ExecuteRun(r, flags_, state_, view), RunOutcome::Completed);
    const std::vector<ResultRow>& rows = c.command_line ? state_.results.rows : view.rows;
    ASSERT_EQ(rows.size(), paths.size());
    for (size_t j = 0; j < rows.size(); ++j) {
      SCOPED_TRACE(paths[j]);
      EXPECT_EQ(rows[j].path, paths[j]);
      EXPECT_EQ(rows[j].family, c.families[j]);
      EXPECT_EQ(rows[j][kName], c.bare_names ? c.files[j] : paths[j]);
    }
  }
}

TEST_F(WindowRunTest, AnAbortEndsTheRunWithoutAnotherViewCall) {
  // 8 MB: many read chunks, so a count that ignored the abort would show.
  test::WriteFile(dir_ / "big/a.c", "x;\n");
  test::WriteFile(dir_ / "big/b.c", Lines(8 << 20 >> 2, "x;\n\n"));
  struct Case {
    const char* name;
    std::string trigger;  // the abort comes with this effect
    bool progress;
  };
  const Case cases[] = {
      {"during the walk", "clear", false},
      {"as counting begins: not even the first file", "range", true},
      {"after the first row, the big file in flight", "row " + (dir_ / "big/a.c"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunFlags flags;
    RunState state;
    flags.progress_option = c.progress ? 1 : 0;
    flags.run_started = 1;
    test::RecordingView view;
    view.on_effect = [&](const std::string& e) {
      if (e.rfind(c.trigger, 0) == 0) flags.abort = 1;
    };
    EXPECT_EQ(ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "big"), flags, state, view),
              RunOutcome::Aborted);
    ASSERT_FALSE(view.log.empty());
    EXPECT_EQ(view.log.back().rfind(c.trigger, 0), 0u)
        << "effects after the abort: " << testing::PrintToString(view.log);
    EXPECT_EQ(flags.counting, 0);
    EXPECT_EQ(flags.run_started, 0);
    EXPECT_EQ(flags.run_finished, 0);
    if (c.trigger == "range") {
      EXPECT_TRUE(view.rows.empty());
      EXPECT_EQ(state.progress_lines.load(), 0u) << "no file was counted after the abort";
    }
  }
}

TEST_F(WindowRunTest, ControllerAbortStopsAWorkerInMidRunAndStartsNoOther) {
  test::WriteFile(dir_ / "big/a.c", "x;\n");
  test::WriteFile(dir_ / "big/b.c", Lines(8 << 20 >> 2, "x;\n\n"));
  std::atomic<int> at_first_row{0};
  const std::string first_row = "row " + (dir_ / "big/a.c");
  // The worker waits after its first row until the window closes, so the run
  // cannot have ended before the abort, however fast it counts.
  view_.on_effect = [&](const std::string& e) {
    if (e != first_row) return;
    at_first_row = 1;
    while (flags_.abort == 0) std::this_thread::yield();
  };
  flags_.progress_option = 1;
  std::atomic<int> outcome{-1};
  RunController controller(flags_, state_, view_);
  ASSERT_TRUE(controller.StartRun(Request(SelectionType::OneDirectory, dir_ / "big"),
                                  [&](RunOutcome o) { outcome = static_cast<int>(o); }));
  while (at_first_row == 0) std::this_thread::yield();
  controller.Abort();
  EXPECT_EQ(outcome.load(), static_cast<int>(RunOutcome::Aborted));
  EXPECT_EQ(view_.log.back(), first_row);
  EXPECT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(flags_.run_started, 0);
  EXPECT_FALSE(controller.StartRun(Request(SelectionType::OneDirectory, dir_ / "big")))
      << "no run starts once the window is closing";
  EXPECT_EQ(view_.log.back(), first_row);
}

}  // namespace
}  // namespace tv
