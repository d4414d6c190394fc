// The program's arguments and the command-line mode: count a file, a folder
// or a selection file without a window and write the report.
#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "reports/results.h"

namespace tv {

/// Option name (compared byte for byte) to its values, in order.
using CommandLineOptions = std::map<std::string, std::vector<std::string>>;

/// Reads the arguments after the program name. An option is an argument of
/// two or more characters that starts with "-" and whose second character is
/// not a digit; every other argument is a value of the most recent option
/// (values before the first option are dropped). Empty values are dropped,
/// and a repeated option adds nothing.
CommandLineOptions ParseArguments(const std::vector<std::string>& args);

enum class CommandLineKind { File = 0, Directory = 1, SelectionFile = 2 };

/// What the arguments ask for.
struct StartupDecision {
  /// A looked-up option was given without a value: end with status 255.
  bool missing_value = false;
  bool command_line_mode = false;
  CommandLineKind kind = CommandLineKind::File;
  std::string path;            // the "-f" or "-d" value
  std::string selection_path;  // the "-s" value
  std::string output_path;     // the "-o" value; "-" is standard output
  /// "--respect-ignore": folder walks skip what git ignores, whatever
  /// Setup.ini says.
  bool respect_ignore = false;
  /// "--format" and its first value ("" when it has none): the format of a
  /// report written to standard output.
  std::optional<std::string> format;
  /// No options: a plain path handed to the window.
  bool handed_over = false;
  std::string handed_over_path;
};

StartupDecision EvaluateArguments(const std::vector<std::string>& args);

enum class ReportFormat { Html, Excel, Csv, Txt, Json };

/// The format the output path's extension chooses: a name ending in ".json"
/// (any case) JSON; anything but "htm", "csv" and "txt" (and "xls") Excel.
ReportFormat FormatForPath(const std::string& path, CodePage cp);

/// Appends the format's extension unless the path already holds it
/// (case-sensitive substring). A JSON path stays as it is: only its own
/// ".json" ending chooses JSON.
std::string WithFormatExtension(std::string path, ReportFormat format);

/// The format "--format" names for standard output: "json" (also the
/// choice without "--format"), "csv", "txt" or "htm"; false for any other.
bool FormatForStandardOutput(const std::optional<std::string>& name, ReportFormat& format);

/// The bytes of a report in a format that is text (any but Excel), as a new
/// file of the command line gets them.
std::string ReportText(ReportFormat format, const BatchResults& results, CodePage cp);

/// Where the report goes: a name without a folder goes into the counted
/// folder after "-d", into the home folder after "-s", and stays relative to
/// the current folder after "-f". Blanks and tabs around both paths are
/// removed first.
std::string ResolveOutputPath(const StartupDecision& decision, const std::string& home);

/// The usage text.
std::string UsageText();

inline constexpr std::string_view kVersionText = "Tallyvane v3.7";

/// Runs the command-line mode to its end and returns the exit status.
/// Progress goes to `err` when it is a terminal; the summary to `out` when
/// it is a terminal. With the output path "-" the report goes to `out` and
/// nothing else does: the summary goes to `err` when that is a terminal.
int RunCommandLine(const StartupDecision& decision, std::FILE* out, std::FILE* err);

/// Writes the report named by `path` in `format` from `results`. Failure:
/// one line naming the file and the reason.
bool WriteReport(const std::string& path, ReportFormat format, const BatchResults& results,
                 CodePage cp, std::string& error);

}  // namespace tv
