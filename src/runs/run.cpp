#include "runs/run.h"

#include <algorithm>
#include <system_error>

#include "engine/file_types.h"
#include "engine/source_lines.h"
#include "reports/result_texts.h"
#include "runs/directory_walker.h"
#include "runs/project_files.h"
#include "runs/selection_files.h"
#include "settings/settings.h"

namespace tv {

namespace {

std::vector<std::string> Gather(const RunRequest& req, const GatherContext& ctx) {
  RunList list;
  switch (req.type) {
    case SelectionType::FileList:
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

// Counts every file of the list on several threads; tallies in list order.
std::vector<FileTally> CountInParallel(const std::vector<std::string>& paths,
                                       const std::vector<LanguageFamily>& families, CodePage cp,
                                       std::atomic<uint64_t>& files_done) {
  std::vector<FileTally> tallies(paths.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    RunTotals ignored;
    for (size_t i = next.fetch_add(1); i < paths.size(); i = next.fetch_add(1)) {
      CountFile(families[i], paths[i], tallies[i], ignored, {cp, nullptr});
      files_done.fetch_add(1, std::memory_order_relaxed);
    }
  };
  unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  threads = static_cast<unsigned>(std::min<size_t>(threads, paths.size()));
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads simply take longer
    }
  }
  work();
  for (std::thread& t : pool) t.join();
  return tallies;
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
  if (walks) flags.run_finished = 0;
  view.SetSelectionButtonsEnabled(false);
  view.SetStartButtonFace(StartButtonFace::Stop);
  flags.counting = 1;
  st.totals = {};
  st.progress_lines = 0;
  st.files_done = 0;
  st.files_total = 0;
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
  ctx.stop = &flags.stop_request;
  st.run_list = Gather(req, ctx);
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

  // The window's progress bar needs the line total before counting starts;
  // the command line reads every file once and adds the totals up instead.
  if (!req.command_line) {
    for (size_t i = 0; i < n; ++i) {
      st.totals.lines += CountFileLines(st.run_list[i]);
      if (i + 1 < n && flags.stop_request != 0) {
        early_end();
        return RunOutcome::StoppedEarly;
      }
    }
  }
  const bool progress = flags.progress_option != 0;
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
  const bool fixed = typed.has_value();
  const LanguageFamily fixed_family = typed.value_or(LanguageFamily::CFamily);
  auto family_of = [&](const std::string& path) {
    return fixed ? fixed_family : SelectClassifier(path, lists, req.code_page);
  };
  auto row_for = [&](const std::string& path, const FileTally& tally) {
    std::string name = RowShowsFileNameOnly(req.type) ? std::string(GetFileNamePart(path)) : path;
    return MakeResultRow(std::move(name), tally, per_file_percent);
  };

  size_t counted = 0;
  if (req.command_line) {
    std::vector<LanguageFamily> families;
    families.reserve(n);
    for (const std::string& path : st.run_list) families.push_back(family_of(path));
    std::vector<FileTally> tallies =
        CountInParallel(st.run_list, families, req.code_page, st.files_done);
    st.results.rows.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      st.totals.Add(tallies[i]);
      st.totals.lines += tallies[i].total;
      st.results.rows.push_back(row_for(st.run_list[i], tallies[i]));
    }
    counted = n;
  } else {
    const CountOptions options{req.code_page, progress ? &st.progress_lines : nullptr};
    for (size_t i = 0; i < n; ++i) {
      FileTally tally;
      CountFile(family_of(st.run_list[i]), st.run_list[i], tally, st.totals, options);
      view.AddRow(row_for(st.run_list[i], tally));
      ++counted;
      st.files_done.fetch_add(1, std::memory_order_relaxed);
      if (flags.stop_request != 0) break;
    }
  }

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

bool RunController::StartRun(RunRequest request, std::function<void(RunOutcome)> done) {
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
