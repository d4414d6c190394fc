#include "runs/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/file_types.h"
#include "platform/atomic_file.h"
#include "platform/program_paths.h"
#include "platform/text.h"
#include "reports/excel_report.h"
#include "reports/json_report.h"
#include "reports/text_reports.h"
#include "runs/run.h"
#include "settings/settings.h"

namespace tv {

namespace {

bool IsOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

// A command-line run shows nothing but its progress.
class QuietView : public RunView {
 public:
  void SetSelectionButtonsEnabled(bool) override {}
  void SetStartButtonFace(StartButtonFace) override {}
  void SetStartButtonEnabled(bool) override {}
  void ClearResults() override {}
  void ShowNotice(std::string_view) override {}
  void SetProgressRange(uint64_t, bool) override {}
  void SetProgressPosition(uint64_t) override {}
  void AddRow(const ResultRow&) override {}
  void SetSummary(const SummaryTexts&) override {}
  void RefreshCursor() override {}
};

// A one-line progress indicator on a terminal, redrawn a few times a second.
class ProgressLine {
 public:
  ProgressLine(std::FILE* err, const RunState& state) : err_(err), state_(state) {
    if (err_ == nullptr || !::isatty(::fileno(err_))) return;
    try {
      thread_ = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
      // No thread to spare (a process limit): the run goes on without the line.
    }
  }
  ~ProgressLine() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(150), [this] { return done_; })) {
      const uint64_t total = state_.files_total.load();
      const uint64_t done = state_.files_done.load();
      if (total == 0) {
        // A long walk shows that it goes on.
        std::fprintf(err_, "\r\033[KGathering files... %llu found",
                     static_cast<unsigned long long>(state_.files_found.load()));
      } else {
        std::fprintf(err_, "\r\033[KCounting: %llu of %llu files (%llu%%)",
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                     static_cast<unsigned long long>(done * 100 / total));
      }
      std::fflush(err_);
    }
  }

  std::FILE* err_;
  const RunState& state_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
};

void PrintSummary(std::FILE* out, const SummaryTexts& s) {
  std::fprintf(
      out, "文件行总数: %s\n代码行总数: %s\n注释行总数: %s\n空白行总数: %s\n代码注释率: %s\n",
      s.lines.c_str(), s.code.c_str(), s.comment.c_str(), s.blank.c_str(), s.ratio.c_str());
}

}  // namespace

CommandLineOptions ParseArguments(const std::vector<std::string>& args) {
  CommandLineOptions options;
  std::vector<std::string>* current = nullptr;  // null: values are dropped
  for (const std::string& arg : args) {
    if (IsOption(arg)) {
      auto [it, inserted] = options.try_emplace(arg);
      current = inserted ? &it->second : nullptr;
    } else if (current != nullptr && !arg.empty()) {
      current->push_back(arg);
    }
  }
  return options;
}

StartupDecision EvaluateArguments(const std::vector<std::string>& args) {
  StartupDecision d;
  const CommandLineOptions options = ParseArguments(args);
  if (options.empty()) {
    d.handed_over = !args.empty();
    for (const std::string& arg : args) {
      if (arg.empty() || arg[0] != '-') {
        d.handed_over_path = arg;
        break;
      }
    }
    return d;
  }
  // Each option, then its upper-case form when the first is absent.
  auto lookup = [&](const char* lower, const char* upper) -> std::optional<std::string> {
    auto it = options.find(lower);
    if (it == options.end()) it = options.find(upper);
    if (it == options.end()) return std::nullopt;
    if (it->second.empty()) {
      d.missing_value = true;
      return std::nullopt;
    }
    return it->second.front();
  };
  bool source = false;
  if (auto v = lookup("-f", "-F")) {
    d.path = *v;
    d.kind = CommandLineKind::File;
    source = true;
  }
  if (auto v = lookup("-d", "-D")) {
    d.path = *v;
    d.kind = CommandLineKind::Directory;
    source = true;
  }
  if (auto v = lookup("-s", "-S")) {
    d.selection_path = *v;
    d.kind = CommandLineKind::SelectionFile;
    source = true;
  }
  bool output = false;
  if (auto v = lookup("-o", "-O")) {
    d.output_path = *v;
    output = true;
  }
  d.command_line_mode = !d.missing_value && source && output;
  d.respect_ignore = options.contains("--respect-ignore");
  if (auto it = options.find("--format"); it != options.end()) {
    d.format = it->second.empty() ? std::string() : it->second.front();
  }
  return d;
}

ReportFormat FormatForPath(const std::string& path, CodePage cp) {
  if (IsJsonReportName(path)) return ReportFormat::Json;
  const std::string ext = GetFileExtension(path, cp);
  if (ext == "htm") return ReportFormat::Html;
  if (ext == "csv") return ReportFormat::Csv;
  if (ext == "txt") return ReportFormat::Txt;
  return ReportFormat::Excel;
}

std::string WithFormatExtension(std::string path, ReportFormat format) {
  if (format == ReportFormat::Json) return path;
  static constexpr std::string_view kExtensions[] = {".htm", ".xls", ".csv", ".txt"};
  const std::string_view ext = kExtensions[static_cast<int>(format)];
  if (path.find(ext) == std::string::npos) path.append(ext);
  return path;
}

std::string ResolveOutputPath(const StartupDecision& d, const std::string& home) {
  std::string out = std::string(TrimBlanks(d.output_path));
  if (out.empty() || out.find('/') != std::string::npos) return out;
  switch (d.kind) {
    case CommandLineKind::Directory: {
      std::string dir = std::string(TrimBlanks(d.path));
      if (!dir.empty() && dir.back() != '/') dir.push_back('/');
      return dir + out;
    }
    case CommandLineKind::SelectionFile: {
      std::string base = home;
      if (!base.empty() && base.back() != '/') base.push_back('/');
      return base + out;
    }
    case CommandLineKind::File:
      break;
  }
  return out;
}

bool FormatForStandardOutput(const std::optional<std::string>& name, ReportFormat& format) {
  static constexpr std::pair<std::string_view, ReportFormat> kNames[] = {
      {"json", ReportFormat::Json},
      {"csv", ReportFormat::Csv},
      {"txt", ReportFormat::Txt},
      {"htm", ReportFormat::Html}};
  for (const auto& [text, named] : kNames) {
    if (name.value_or("json") == text) {
      format = named;
      return true;
    }
  }
  return false;
}

std::string ReportText(ReportFormat format, const BatchResults& results, CodePage cp) {
  switch (format) {
    case ReportFormat::Html:
      return HtmlReportText(results, ReportTimeStamp(), cp);
    case ReportFormat::Csv:
      return CsvReportText(results, cp);
    case ReportFormat::Txt:
      return TxtReportText(results, ReportTimeStamp(), false, cp);
    case ReportFormat::Json:
    case ReportFormat::Excel:
      break;
  }
  return JsonReportText(results, cp);
}

std::string UsageText() {
  return "Usage: tallyvane [-f FILE | -d FOLDER | -s SELECTION-FILE] -o REPORT [OPTIONS]\n"
         "       tallyvane [PATH]\n"
         "\n"
         "Counts the blank, code and comment lines of C, C++, Java, C#, SQL, Pascal,\n"
         "Basic and assembly sources and writes a report.\n"
         "\n"
         "  -f FILE            count one source file, or the members of a project file\n"
         "                     (.dsp .bpr .vbp .vbg .dpr .csproj)\n"
         "  -d FOLDER          count the source files under a folder\n"
         "  -s SELECTION-FILE  count the files and folders a selection file lists\n"
         "  -o REPORT          the report; its extension picks the format: .htm, .csv,\n"
         "                     .txt, .json, anything else an Excel workbook (.xls). A name\n"
         "                     without a folder goes into the -d folder, or the home folder\n"
         "                     after -s. \"-o -\" writes the report to standard output.\n"
         "  --format FORMAT    the format of \"-o -\": json (the default), csv, txt or htm\n"
         "  --respect-ignore   folder walks inside a git work tree skip what git ignores\n"
         "                     (.gitignore files, .git/info/exclude, the global excludes)\n"
         "  --help             show this text\n"
         "  --version          show the version\n"
         "\n"
         "Without -o the program opens its window. Settings: Setup.ini beside a portable\n"
         "copy of the program, else ~/.config/tallyvane/Setup.ini, or the file named by\n"
         "TALLYVANE_SETTINGS.\n"
         "TALLYVANE_CODEPAGE=utf-8 writes reports and settings in UTF-8 instead of GBK.\n"
         "\n"
         "Example: the code lines of a folder, for a script\n"
         "  tallyvane -d src -o - | jq .totals.code\n";
}

bool WriteReport(const std::string& path, ReportFormat format, const BatchResults& results,
                 CodePage cp, std::string& error) {
  ReportResult r;
  switch (format) {
    case ReportFormat::Html:
      r = WriteHtmlReport(path, results, cp);
      break;
    case ReportFormat::Csv:
      r = WriteCsvReport(path, results, cp);
      break;
    case ReportFormat::Txt:
      r = WriteTxtReport(path, results, TxtMode::New, cp);
      break;
    case ReportFormat::Excel:
      r = WriteExcelReport(path, results);
      break;
    case ReportFormat::Json:
      r = WriteJsonReport(path, results, cp);
      break;
  }
  if (!r.ok) error = r.error;
  return r.ok;
}

int RunCommandLine(const StartupDecision& d, std::FILE* out, std::FILE* err) {
  // An interrupted run leaves no half-written settings or report behind.
  RemoveTemporaryFilesOnSignals();
  const CodePage cp = AnsiCodePage();
  const bool to_standard_output = TrimBlanks(d.output_path) == "-";
  ReportFormat output_format = ReportFormat::Json;
  if (to_standard_output && !FormatForStandardOutput(d.format, output_format)) {
    std::fprintf(err, "tallyvane: --format takes json, csv, txt or htm, not \"%s\"\n",
                 d.format.value_or("").c_str());
    return 2;
  }
  if (!to_standard_output && d.format) {
    std::fprintf(err,
                 "tallyvane: warning: --format applies only to \"-o -\"; the report's "
                 "name picks its format\n");
  }
  const std::string settings = SettingsPath();
  if (!WriteDefaultSettings(settings, cp)) {
    std::fprintf(err, "tallyvane: warning: cannot create the settings file %s; using defaults\n",
                 NameToUtf8(settings, cp).c_str());
  }

  RunRequest req;
  req.command_line = true;
  req.settings_path = settings;
  req.code_page = cp;
  req.respect_ignore = d.respect_ignore;
  if (d.kind == CommandLineKind::SelectionFile) {
    req.type = SelectionType::SelectionFile;
    req.path = std::string(TrimBlanks(d.selection_path));
  } else {
    req.type =
        d.kind == CommandLineKind::File ? SelectionType::AllFiles : SelectionType::OneDirectory;
    req.path = std::string(TrimBlanks(d.path));
    if (req.path.empty()) {
      std::fprintf(err, "tallyvane: the path to count is empty; nothing was counted\n");
      return 0;
    }
  }

  RunFlags flags;
  RunState state;
  QuietView view;
  RunOutcome outcome;
  {
    ProgressLine progress(err, state);
    outcome = ExecuteRun(req, flags, state, view);
  }
  for (const auto& [failed, error] : state.read_failures) {
    std::fprintf(err,
                 "tallyvane: warning: reading %s failed part way (%s); its counts cover only "
                 "the lines read before the error\n",
                 NameToUtf8(failed, cp).c_str(), std::strerror(error));
  }
  if (outcome == RunOutcome::NothingToCount) {
    std::fprintf(err, "%s\n", std::string(kNothingToCountText).c_str());
    return 0;
  }
  if (state.results.rows.empty()) {
    std::fprintf(err, "没有需要保存的统计数据！\n");
    return 0;
  }
  state.results.selection = NameToUtf8(req.path, cp);
  if (to_standard_output) {
    const std::string text = ReportText(output_format, state.results, cp);
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
      std::fprintf(err, "tallyvane: cannot write the report to standard output: %s\n",
                   std::strerror(errno));
      return 1;
    }
    if (::isatty(::fileno(err))) PrintSummary(err, state.results.summary);
    return 0;
  }
  std::string path = ResolveOutputPath(d, HomeDirectory());
  if (path.empty()) {
    std::fprintf(err, "tallyvane: the report path given with -o is empty; nothing was written\n");
    return 0;
  }
  const ReportFormat format = FormatForPath(path, cp);
  path = WithFormatExtension(path, format);
  std::string error;
  if (!WriteReport(path, format, state.results, cp, error)) {
    std::fprintf(err,
                 "tallyvane: cannot write the report %s (check that its folder exists and "
                 "that you may write there)\n",
                 NameToUtf8(error, cp).c_str());
    return 1;
  }
  if (out != nullptr && ::isatty(::fileno(out))) PrintSummary(out, state.results.summary);
  return 0;
}

}  // namespace tv
