#include "runs/run.h"

#include <algorithm>
#include <system_error>

#include "engine/file_types.h"
#include "engine/source_lines.h"
#include "reports/result_texts.h"
#include "runs/count_ahead.h"
#include "runs/directory_walker.h"
#include "runs/project_files.h"
#include "runs/selection_files.h"
#include "settings/settings.h"

namespace tv {

namespace {

std::vector<std::string> Gather(const RunRequest& req, const GatherContext& ctx,
                                std::atomic<uint64_t>& found) {
  RunList list(&found);
  switch (req.type) {
    case SelectionType::FileList:
      found = req.file_list.size();
      return req.file_list;
    case SelectionType::AllFiles:
      if (!req.path.empty()) {
        const bool project = IsHandedOverProjectFile(req.path, ctx.code_page);
        if (project) AddProjectMembers(req.path, list, ctx.code_page);
        // A handed-over project that is itself countable follows its members;
        // from the command line a project counts only its members.
        if (!(req.command_line && project)) list.AddIfCountable(req.path, ctx);
      }
      for (const std::string& path : req.selection_list) list.AddIfCountable(path, ctx);
      break;
    case SelectionType::OneDirectory:
      WalkDirectory(req.path, list, ctx);
      break;
    case SelectionType::FolderList:
      GatherFolderList(list, ctx);
      break;
    case SelectionType::SelectionFile:
      GatherSelectionFile(req.path, list, ctx);
      break;
  }
  return list.TakePaths();
}

}  // namespace

bool RowShowsFileNameOnly(SelectionType type) {
  return type == SelectionType::FileList || type == SelectionType::AllFiles;
}

RunOutcome ExecuteRun(const RunRequest& req, RunFlags& flags, RunState& st, RunView& view) {
  const bool file_list = req.type == SelectionType::FileList;
  const bool walks = req.type == SelectionType::OneDirectory ||
                     req.type == SelectionType::FolderList ||
                     req.type == SelectionType::SelectionFile;
  // A run whose window goes away ends at once and shows nothing more.
  auto aborted = [&] { return flags.abort.load(std::memory_order_relaxed) != 0; };
  auto abort_end = [&] {
    flags.counting = 0;
    flags.run_started = 0;
    return RunOutcome::Aborted;
  };
  if (aborted()) return abort_end();
  if (walks) flags.run_finished = 0;
  view.SetSelectionButtonsEnabled(false);
  view.SetStartButtonFace(StartButtonFace::Stop);
  flags.counting = 1;
  st.totals = {};
  st.progress_lines = 0;
  st.files_done = 0;
  st.files_found = 0;
  st.files_total = 0;
  st.read_failures.clear();
  view.ClearResults();
  if (!file_list) st.results.Clear();

  auto early_end = [&] {
    flags.counting = 0;
    flags.run_started = 0;
    view.SetSelectionButtonsEnabled(true);
    view.SetStartButtonFace(StartButtonFace::Start);
  };

  GatherContext ctx;
  ctx.settings_path = req.settings_path;
  ctx.code_page = req.code_page;
  ctx.rules = ReadCountableRules(req.settings_path, req.code_page);
  ctx.honor_ignore_files =
      req.respect_ignore || ReadHonorIgnoreFiles(req.settings_path, req.code_page);
  ctx.stop = &flags.stop_request;
  ctx.abort = &flags.abort;
  WalkMemory walked;  // no folder is walked twice in one run
  ctx.walks = &walked;
  st.run_list = Gather(req, ctx, st.files_found);
  if (aborted()) return abort_end();
  const size_t n = st.run_list.size();
  st.files_total = n;

  if (n == 0) {
    if (!req.command_line) {
      const bool stopped_walk =
          flags.stop_request != 0 &&
          (req.type == SelectionType::FolderList || req.type == SelectionType::SelectionFile);
      view.ShowNotice(stopped_walk ? kStoppedNoticeText : kNothingToCountText);
    }
    early_end();
    return RunOutcome::NothingToCount;
  }

  const bool progress = flags.progress_option != 0 && !req.command_line;
  const unsigned threads = CountingThreads(n);
  if (progress) {
    // Only the progress bar needs the line total before counting starts.
    // A stop is honoured between files, in list order, as the count does.
    CountAhead lines(n, threads, [&](size_t i, const std::atomic<int>* halt, FileTally& t) {
      t.total = CountFileLines(st.run_list[i], halt);
    });
    for (size_t i = 0; i < n; ++i) {
      FileTally t;
      if (!lines.Take(i, flags.abort, t)) return abort_end();
      st.totals.lines += t.total;
      if (i + 1 < n && flags.stop_request != 0) {
        lines.Halt();
        early_end();
        return RunOutcome::StoppedEarly;
      }
    }
  } else if (n > 1 && flags.stop_request != 0) {
    // Without a pre-count a stop that came before counting (during the walk)
    // ends the run just as the pre-count would have: no rows, no summary.
    early_end();
    return RunOutcome::StoppedEarly;
  }
  // Without a pre-count the line total is not known yet: the bar gets the
  // range 0 and never moves, and the total becomes the sum of the files'.
  view.SetProgressRange(st.totals.lines, progress);

  SetupIniReader reader;
  bool per_file_percent = false;
  UserTypeLists lists;
  if (reader.OpenPath(req.settings_path, req.code_page)) {
    per_file_percent = IsFlagOn(GetValueOr(reader, kSectionPercent, kKeyFlag, "0"));
    lists = ReadUserTypeLists(reader);
  }
  reader.Close();

  // A file selection under a typed filter fixes one family for every file.
  const std::optional<LanguageFamily> typed =
      file_list ? FamilyOfFileType(req.file_type_filter) : std::nullopt;
  std::vector<LanguageFamily> families;
  families.reserve(n);
  for (const std::string& path : st.run_list) {
    families.push_back(typed ? *typed : SelectClassifier(path, lists, req.code_page));
  }

  if (aborted()) return abort_end();
  // Workers count ahead; the rows are taken strictly in list order, and a
  // stop drops whatever was counted beyond the last row taken.
  size_t counted = 0;
  {
    CountAhead files(n, threads, [&](size_t i, const std::atomic<int>* halt, FileTally& t) {
      RunTotals unused;  // the run adds each tally when it takes the row
      // Files counted ahead do not move the bar: it follows the accepted ones.
      const CountOptions options{req.code_page, nullptr, halt};
      CountFile(families[i], st.run_list[i], t, unused, options);
    });
    for (size_t i = 0; i < n; ++i) {
      FileTally tally;
      if (!files.Take(i, flags.abort, tally)) return abort_end();
      st.totals.Add(tally);
      if (progress) {
        st.progress_lines.fetch_add(tally.total, std::memory_order_relaxed);
      } else {
        st.totals.lines += tally.total;
      }
      const std::string& path = st.run_list[i];
      if (tally.read_error != 0) st.read_failures.emplace_back(path, tally.read_error);
      // The name cell is text to show; the row keeps the path's own bytes.
      const std::string_view shown = RowShowsFileNameOnly(req.type) ? GetFileNamePart(path) : path;
      ResultRow row = MakeResultRow(NameToUtf8(shown, req.code_page), tally, per_file_percent);
      row.path = path;
      row.family = families[i];
      if (req.command_line) {
        st.results.rows.push_back(std::move(row));
      } else {
        view.AddRow(row);
      }
      ++counted;
      st.files_done.fetch_add(1, std::memory_order_relaxed);
      if (req.after_file) req.after_file(counted);
      if (flags.stop_request != 0) break;
    }
  }  // files counted ahead of a stop end here, at their next chunk
  if (aborted()) return abort_end();

  const bool stopped = counted < n;
  SummaryTexts summary = MakeSummaryTexts(
      st.totals, n, stopped, file_list ? EmptyRatioStyle::Plain : EmptyRatioStyle::WithExplanation);
  if (!req.command_line) view.SetSummary(summary);
  if (!file_list) st.results.summary = std::move(summary);

  view.SetStartButtonEnabled(true);
  if (progress) view.SetProgressPosition(st.totals.lines);
  view.SetSelectionButtonsEnabled(true);
  flags.counting = 0;
  flags.run_started = 0;
  view.RefreshCursor();
  view.SetStartButtonFace(StartButtonFace::Start);
  if (!file_list) flags.run_finished = 1;
  return stopped ? RunOutcome::Stopped : RunOutcome::Completed;
}

RunController::~RunController() {
  Wait();
}

void RunController::Wait() {
  if (worker_.joinable()) worker_.join();
}

void RunController::Abort() {
  flags_.abort = 1;
  flags_.stop_request = 1;
  Wait();
}

bool RunController::StartRun(RunRequest request, std::function<void(RunOutcome)> done) {
  if (flags_.abort != 0) return false;  // the window is going away
  if (flags_.run_started != 0) {
    flags_.stop_request = 1;
    return false;
  }
  Wait();  // the previous worker has ended; collect it
  flags_.stop_request = 0;
  view_.SetProgressPosition(0);
  // Set before the worker exists, so the worker cannot end before it is set.
  flags_.run_started = 1;
  try {
    worker_ = std::thread([this, request = std::move(request), done = std::move(done)] {
      RunOutcome outcome = ExecuteRun(request, flags_, state_, view_);
      if (done) done(outcome);
    });
  } catch (const std::system_error&) {
    flags_.run_started = 0;
    return false;
  }
  return true;
}

}  // namespace tv
