#include "runs/run.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/ini.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv {
namespace {

// Records every visible effect of a run as one line of text, in order.
class RecordingView : public RunView {
 public:
  std::vector<std::string> log;
  std::vector<ResultRow> rows;
  SummaryTexts summary;
  std::function<void(const std::string&)> on_effect;

  void SetSelectionButtonsEnabled(bool e) override { Note(e ? "buttons on" : "buttons off"); }
  void SetStartButtonFace(StartButtonFace f) override {
    Note(f == StartButtonFace::Start ? "face start" : "face stop");
  }
  void SetStartButtonEnabled(bool e) override { Note(e ? "start on" : "start off"); }
  void ClearResults() override { Note("clear"); }
  void ShowNotice(std::string_view text) override { Note("notice " + std::string(text)); }
  void SetProgressRange(uint64_t max, bool stepping) override {
    Note("range " + std::to_string(max) + (stepping ? " step" : ""));
  }
  void SetProgressPosition(uint64_t p) override { Note("position " + std::to_string(p)); }
  void AddRow(const ResultRow& row) override {
    rows.push_back(row);
    Note("row " + row[kName]);
  }
  void SetSummary(const SummaryTexts& s) override {
    summary = s;
    Note("summary " + s.lines);
  }
  void RefreshCursor() override { Note("cursor"); }

 private:
  void Note(const std::string& what) {
    log.push_back(what);
    if (on_effect) on_effect(what);
  }
};

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = dir_ / "Setup.ini";
    ASSERT_TRUE(WriteDefaultSettings(settings_, CodePage::Gbk));
    test::WriteFile(dir_ / "src/a.c", "int a;\n// note\n\n");       // 3 lines
    test::WriteFile(dir_ / "src/b.java", "/* x */\nclass B {}\n");  // 2 lines
    test::WriteFile(dir_ / "src/sub/c.sql", "SELECT 1; -- one\n");  // 1 line
    test::WriteFile(dir_ / "src/readme.txt", "not counted\n");
  }

  RunRequest Request(SelectionType type, const std::string& path = "") {
    RunRequest r;
    r.type = type;
    r.path = path;
    r.settings_path = settings_;
    r.code_page = CodePage::Gbk;
    return r;
  }

  test::TempDir dir_;
  std::string settings_;
  RunFlags flags_;
  RunState state_;
  RecordingView view_;
};

TEST_F(RunTest, DirectoryRunShowsItsEffectsInOrder) {
  flags_.progress_option = 1;
  EXPECT_EQ(ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "src"), flags_, state_, view_),
            RunOutcome::Completed);
  const std::vector<std::string> expected = {"buttons off",
                                             "face stop",
                                             "clear",
                                             "range 6 step",
                                             "row " + (dir_ / "src/a.c"),
                                             "row " + (dir_ / "src/b.java"),
                                             "row " + (dir_ / "src/sub/c.sql"),
                                             "summary 6 (共3个文件)",
                                             "start on",
                                             "position 6",
                                             "buttons on",
                                             "cursor",
                                             "face start"};
  EXPECT_EQ(view_.log, expected);
  EXPECT_EQ(view_.rows[0], (ResultRow{dir_ / "src/a.c", "3", "1", "1", "1", "50.00%"}));
  EXPECT_EQ(view_.rows[2][kComment], "1") << "the SQL file is counted with SQL rules";
  EXPECT_EQ(view_.summary.ratio, "50.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )");
  EXPECT_EQ(state_.results.summary, view_.summary) << "the summary is also kept for saving";
  EXPECT_EQ(flags_.counting, 0);
  EXPECT_EQ(flags_.run_finished, 1);
  EXPECT_EQ(state_.progress_lines.load(), 6u);
}

TEST_F(RunTest, PerFilePercentagesComeFromTheSettings) {
  ASSERT_TRUE(
      WriteProfileString(settings_, "SHOW SINGLE FILE PERCENT", "Flag", "1", CodePage::Gbk));
  ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "src"), flags_, state_, view_);
  EXPECT_EQ(view_.rows[0][kCode], "1 (33.33%)");
}

TEST_F(RunTest, FileListRunUsesTheChosenTypeAndBareNames) {
  RunRequest r = Request(SelectionType::FileList);
  r.file_list = {dir_ / "src/sub/c.sql"};
  r.file_type_filter = 13;  // Java: C-family rules for every file
  EXPECT_EQ(ExecuteRun(r, flags_, state_, view_), RunOutcome::Completed);
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0], (ResultRow{"c.sql", "1", "1", "0", "0", "0.00%"}));
  EXPECT_EQ(flags_.run_finished, 0) << "a file selection leaves the finished flag alone";
}

TEST_F(RunTest, EmptyFilesGiveThePlainRatioOnlyInFileListRuns) {
  test::WriteFile(dir_ / "empty/e.c", "");
  RunRequest r = Request(SelectionType::FileList);
  r.file_list = {dir_ / "empty/e.c"};
  r.file_type_filter = 4;
  ExecuteRun(r, flags_, state_, view_);
  EXPECT_EQ(view_.summary.ratio, "0.00%");
  EXPECT_EQ(view_.summary.code, "0 (0.00%)");
  RecordingView other;
  ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "empty"), flags_, state_, other);
  EXPECT_EQ(other.summary.ratio, "0.00%  ( 代码注释率 = 注释行/(注释行+有效代码行) )");
}

TEST_F(RunTest, NothingCountableShowsTheNoticeAndEndsEarly) {
  RunRequest r = Request(SelectionType::AllFiles);
  r.selection_list = {dir_ / "src/readme.txt"};
  EXPECT_EQ(ExecuteRun(r, flags_, state_, view_), RunOutcome::NothingToCount);
  const std::vector<std::string> expected = {"buttons off", "face stop",
                                             "clear",       "notice 没有适合的统计类型文件！",
                                             "buttons on",  "face start"};
  EXPECT_EQ(view_.log, expected);
  EXPECT_EQ(flags_.counting, 0);
  EXPECT_EQ(flags_.run_finished, 0);
}

TEST_F(RunTest, StopDuringTheWalkOfAFolderListSaysUserStopped) {
  ASSERT_TRUE(
      WriteProfileString(settings_, "Selected Folder", "TotalFolderNum", "1", CodePage::Gbk));
  ASSERT_TRUE(
      WriteProfileString(settings_, "Selected Folder", "Folder1", dir_ / "src", CodePage::Gbk));
  view_.on_effect = [&](const std::string& e) {
    if (e == "clear") flags_.stop_request = 1;
  };
  EXPECT_EQ(ExecuteRun(Request(SelectionType::FolderList), flags_, state_, view_),
            RunOutcome::NothingToCount);
  EXPECT_EQ(view_.log[3], "notice 用户中断！");
  RecordingView one_dir;
  one_dir.on_effect = view_.on_effect;
  ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "src"), flags_, state_, one_dir);
  EXPECT_EQ(one_dir.log[3], "notice 没有适合的统计类型文件！");
}

TEST_F(RunTest, StopDuringTheCountKeepsTheCountedRows) {
  view_.on_effect = [&](const std::string& e) {
    if (e.rfind("row ", 0) == 0) flags_.stop_request = 1;
  };
  EXPECT_EQ(ExecuteRun(Request(SelectionType::OneDirectory, dir_ / "src"), flags_, state_, view_),
            RunOutcome::Stopped);
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.summary.lines, "用户中断");
  EXPECT_EQ(view_.summary.code, "1 (33.33%)") << "totals of the counted file only";
}

TEST_F(RunTest, StopDuringThePreCountLeavesNoRows) {
  RunRequest r = Request(SelectionType::FileList);
  r.file_list = {dir_ / "src/a.c", dir_ / "src/b.java"};
  r.file_type_filter = 4;
  view_.on_effect = [&](const std::string& e) {
    if (e == "clear") flags_.stop_request = 1;
  };
  EXPECT_EQ(ExecuteRun(r, flags_, state_, view_), RunOutcome::StoppedEarly);
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(view_.log.back(), "face start");
}

TEST_F(RunTest, CommandLineFormCountsInListOrderWithoutPreCount) {
  for (int i = 0; i < 40; ++i) {
    test::WriteFile(dir_ / ("many/f" + std::to_string(100 + i) + ".c"),
                    std::string(static_cast<size_t>(i), '\n') + "x;\n");
  }
  RunRequest r = Request(SelectionType::OneDirectory, dir_ / "many");
  r.command_line = true;
  EXPECT_EQ(ExecuteRun(r, flags_, state_, view_), RunOutcome::Completed);
  ASSERT_EQ(state_.results.rows.size(), 40u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(state_.results.rows[i][kLines], std::to_string(i + 1));
  }
  EXPECT_TRUE(view_.rows.empty()) << "command-line rows go to the batch results only";
  EXPECT_EQ(state_.results.summary.lines, "820 (共40个文件)");
}

TEST_F(RunTest, HandedOverProjectIsCountedAfterItsMembers) {
  test::WriteFile(dir_ / "vb/app.vbp", "Module=M; M.bas\r\n");
  test::WriteFile(dir_ / "vb/M.bas", "' note\r\n");
  RunRequest r = Request(SelectionType::AllFiles, dir_ / "vb/app.vbp");
  ExecuteRun(r, flags_, state_, view_);
  ASSERT_EQ(view_.rows.size(), 2u);
  EXPECT_EQ(view_.rows[0][kName], "M.bas");
  EXPECT_EQ(view_.rows[1][kName], "app.vbp");
  // From the command line a project counts only its members.
  r.command_line = true;
  ExecuteRun(r, flags_, state_, view_);
  ASSERT_EQ(state_.results.rows.size(), 1u);
  EXPECT_EQ(state_.results.rows[0][kName], "M.bas");
}

TEST_F(RunTest, ControllerTurnsASecondStartIntoAStop) {
  RunController controller(flags_, state_, view_);
  flags_.run_started = 1;  // as if a worker had just been created
  EXPECT_FALSE(controller.StartRun(Request(SelectionType::OneDirectory, dir_ / "src")));
  EXPECT_EQ(flags_.stop_request, 1);
  flags_.run_started = 0;
  RunOutcome outcome = RunOutcome::NothingToCount;
  ASSERT_TRUE(controller.StartRun(Request(SelectionType::OneDirectory, dir_ / "src"),
                                  [&](RunOutcome o) { outcome = o; }));
  controller.Wait();
  EXPECT_EQ(outcome, RunOutcome::Completed);
  EXPECT_EQ(flags_.stop_request, 0) << "a new start clears the old stop request";
  EXPECT_EQ(flags_.run_started, 0);
}

}  // namespace
}  // namespace tv
