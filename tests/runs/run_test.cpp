#include "runs/run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/ini.h"
#include "runs/recording_view.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv {
namespace {

using test::Joined;

// Each case of runs.tsv runs a copy of tests/data/runs/tree that has in cpp/
// a FIFO, a link back up and a dangling link named like sources.
TEST(RunTest, ShowsTheEffectsOfItsTable) {
  const std::vector<std::string> types = {"FileList", "AllFiles", "OneDirectory", "FolderList",
                                          "SelectionFile"};
  const std::string outcomes[] = {"Completed", "Stopped", "NothingToCount", "StoppedEarly"};
  for (const test::TableCase& c : test::ReadTableCases("runs/runs.tsv")) {
    SCOPED_TRACE(c.line);
    test::TempDir dir;
    std::filesystem::copy(std::string(TV_TEST_DATA_DIR) + "/runs/tree", dir.Path(),
                          std::filesystem::copy_options::recursive);
    ASSERT_EQ(::mkfifo((dir / "cpp/pipe.c").c_str(), 0644), 0);
    std::filesystem::create_directory_symlink(dir / "cpp", dir / "cpp/sub/loop");
    std::filesystem::create_symlink(dir / "gone.c", dir / "cpp/dangling.c");
    auto fill = [&](std::string s) {
      for (size_t at; (at = s.find("{}")) != std::string::npos;) s.replace(at, 2, dir.Path());
      return s;
    };
    RunRequest r;
    r.type = static_cast<SelectionType>(std::find(types.begin(), types.end(), c.in.at(1)) -
                                        types.begin());
    r.settings_path = dir / "Setup.ini";
    ASSERT_TRUE(WriteDefaultSettings(r.settings_path, CodePage::Gbk));
    RunState state;
    test::RecordingView view;
    bool controller = false;
    for (size_t i = 2; i < c.in.size(); ++i) {
      const std::string option = fill(c.in[i]), key = option.substr(0, option.find('=')),
                        value = option.substr(option.find('=') + 1);
      if (key == "path") r.path = value;
      if (key == "file") r.file_list.push_back(value);
      if (key == "select") r.selection_list.push_back(value);
      if (key == "filter") r.file_type_filter = std::stoi(value);
      if (key == "stop-at") view.stop_at = value;
      if (key == "ini") {
        ASSERT_TRUE(WriteProfileString(r.settings_path, c.in.at(i + 1), c.in.at(i + 2),
                                       fill(c.in.at(i + 3)), CodePage::Gbk));
        i += 3;
      }
      r.command_line |= key == "command-line";
      controller |= key == "controller";
      if (key == "progress") view.flags.progress_option = 1;
      if (key == "was-finished") view.flags.run_finished = 1;
    }
    RunOutcome outcome =
        controller ? RunOutcome::StoppedEarly : ExecuteRun(r, view.flags, state, view);
    if (controller) {
      RunController ctl(view.flags, state, view);
      view.flags.run_started = 1;  // as if a worker had just been created
      view.Note(ctl.StartRun(r) ? "started"
                                : "refused, stop=" + std::to_string(view.flags.stop_request));
      view.flags.run_started = 0;
      EXPECT_TRUE(ctl.StartRun(r, [&](RunOutcome o) { outcome = o; }));
      ctl.Wait();
    }
    for (const ResultRow& row : state.results.rows) view.log.push_back("kept row " + Joined(row));
    if (!state.results.summary.lines.empty())
      view.log.push_back("kept summary " + Joined(state.results.summary));
    const RunFlags& f = view.flags;
    view.log.push_back(
        "end " + outcomes[static_cast<int>(outcome)] + " counting=" + std::to_string(f.counting) +
        " started=" + std::to_string(f.run_started) +
        " finished=" + std::to_string(f.run_finished) + " stop=" + std::to_string(f.stop_request) +
        " lines=" + std::to_string(state.progress_lines) +
        " files=" + std::to_string(state.files_done) + "/" + std::to_string(state.files_total));
    // What the progress showed while gathering came to the files gathered.
    if (outcome != RunOutcome::Aborted) {
      EXPECT_EQ(state.files_found, state.files_total);
    }
    std::vector<std::string> expected;
    for (const std::string& e : c.out) expected.push_back(fill(e));
    EXPECT_EQ(view.log, expected);
  }
}

}  // namespace
}  // namespace tv
