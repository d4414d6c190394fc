#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>

#include "platform/ini.h"
#include "runs/command_line.h"
#include "runs/remembered_paths.h"
#include "runs/subfolders.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv {
namespace {

// The cases of arguments.tsv run in order; one settings file serves them all.
TEST(RunsFunctionsTest, GiveTheResultsOfTheirTable) {
  const std::vector<std::string> formats = {"Html", "Excel", "Csv", "Txt", "Json"},
                                 types = {"FileList", "AllFiles", "OneDirectory", "FolderList",
                                          "SelectionFile"};
  test::TempDir dir;
  const std::string settings = dir / "Setup.ini";
  for (const test::TableCase& c : test::ReadEscapedTableCases("runs/arguments.tsv")) {
    SCOPED_TRACE(c.line);
    const std::string& kind = c.in.at(0);
    const std::vector<std::string> args(c.in.begin() + (kind == "output" ? 2 : 1), c.in.end());
    const StartupDecision d = EvaluateArguments(args);
    std::vector<std::string> got;
    if (kind == "parse") {
      for (const auto& [name, values] : ParseArguments(args)) {
        got.push_back(name + ":");
        for (const std::string& v : values) got.back() += (got.back().back() == ':' ? "" : "|") + v;
      }
    } else if (kind == "evaluate") {
      const char* kinds[] = {"", "kind=Directory", "kind=SelectionFile"};
      const std::string fields[] = {d.missing_value ? "missing" : "",
                                    d.command_line_mode ? "command-line" : "",
                                    kinds[static_cast<int>(d.kind)],
                                    "path=" + d.path,
                                    "selection=" + d.selection_path,
                                    "output=" + d.output_path,
                                    d.handed_over ? "handed-over:" + d.handed_over_path : "",
                                    d.respect_ignore ? "respect-ignore" : "",
                                    d.format ? "format:" + *d.format : ""};
      for (const std::string& field : fields)
        if (!field.empty() && field.back() != '=') got.push_back(field);
    } else if (kind == "format") {
      got = {formats[static_cast<int>(FormatForPath(args.at(0), CodePage::Gbk))]};
    } else if (kind == "extension") {
      const auto format = std::find(formats.begin(), formats.end(), args.at(1)) - formats.begin();
      got = {WithFormatExtension(args.at(0), static_cast<ReportFormat>(format))};
    } else if (kind == "output") {
      got = {ResolveOutputPath(d, c.in.at(1))};
    } else if (kind == "remember") {
      RunRequest r;
      r.type = static_cast<SelectionType>(std::find(types.begin(), types.end(), args.at(0)) -
                                          types.begin());
      r.path = args.at(1);
      r.file_type_filter = 13;
      EXPECT_TRUE(RememberRunStart(settings, r, args.at(2), CodePage::Gbk));
      got = {ReadRememberedPath(settings, args.at(3), CodePage::Gbk)};
    } else if (kind == "holds") {
      got = {test::ReadFile(settings).find(Utf8ToAnsi(args.at(0), CodePage::Gbk)) ==
                     std::string::npos
                 ? "0"
                 : "1"};
    } else if (kind == "plain") {
      got = {PlainFolderPath(args.empty() ? "" : args.at(0))};
    } else if (kind == "topmost") {
      got = TopmostFolders(args);
    } else if (kind == "subfolders") {
      // Lays each "PATH=WHAT" argument under a fresh folder, then lists its top.
      test::TempDir tree;
      for (const std::string& a : args) {
        const std::string path = tree / a.substr(0, a.find('='));
        const std::string what = a.substr(a.find('=') + 1);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        if (what.starts_with("->")) {
          std::filesystem::create_symlink(what.substr(2), path);
        } else {
          test::LayTableFile(path, what);
        }
      }
      for (const Subfolder& f : ListSubfolders(tree.Path()))
        got.push_back(f.name + (f.has_subfolders ? "+" : ""));
    } else if (kind == "handed") {
      const std::string path = dir.Path() + args.at(0).substr(2);
      got = {types[static_cast<int>(SelectionForHandedOverPath(path))]};
    } else {
      if (args.at(0) == "<missing>") std::filesystem::remove(settings);
      EXPECT_TRUE(args[0] != "<default>" || WriteDefaultSettings(settings, CodePage::Gbk));
      EXPECT_TRUE(args[0][0] == '<' ||
                  WriteProfileString(settings, "OTHER", "ShowProcPercent", args[0], CodePage::Gbk));
      got = {ReadProgressOption(settings, CodePage::Gbk) ? "on" : "off"};
    }
    EXPECT_EQ(got, c.out);
  }
}

// What only shows end to end: exit statuses, output, report paths, kept reports.
TEST(EndToEndTest, ProgramRunsGiveTheResultsOfTheirTable) {
  test::TempDir dir;
  std::filesystem::copy(std::string(TV_TEST_DATA_DIR) + "/runs/tree", dir.Path(),
                        std::filesystem::copy_options::recursive);
  // A folder and file named in GBK (中文/文.c), and a file whose reading fails.
  test::WriteFile(dir / "gbk/\xD6\xD0\xCE\xC4/\xCE\xC4.c", "int x;\n");
  std::filesystem::create_directory(dir / "bad");
  std::filesystem::create_symlink("/proc/self/mem", dir / "bad/bad.c");
  auto quote = [](const std::string& s) { return "'" + s + "'"; };
  for (const test::TableCase& c : test::ReadEscapedTableCases("runs/end_to_end.tsv")) {
    SCOPED_TRACE(c.line);
    auto fill = [&](std::string s) {
      for (size_t at; (at = s.find("{}")) != std::string::npos;) s.replace(at, 2, dir.Path());
      if (size_t at = s.find("{usage}"); at != std::string::npos) s.replace(at, 7, UsageText());
      if (size_t at = s.find("{build}"); at != std::string::npos)
        s.replace(at, 7, std::filesystem::path(TV_PROGRAM_PATH).parent_path().string());
      return s;
    };
    std::string cmd = "cd " + quote(dir.Path()) + " && HOME=" + quote(dir / "home") +
                      " TALLYVANE_SETTINGS=" + quote(dir / "settings/Setup.ini");
    size_t i = 1;
    for (; i < c.in.size() && c.in[i].starts_with("TALLYVANE_"); ++i) cmd += " " + c.in[i];
    // Without a display, a start that is not a command-line run says so.
    cmd += " env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 60 " +
           quote(TV_PROGRAM_PATH);
    for (; i < c.in.size(); ++i) cmd += " " + quote(fill(c.in[i]));
    const int raw = std::system((cmd + " >out 2>err </dev/null").c_str());
    auto expected = [&](size_t i) { return i < c.out.size() ? fill(c.out[i]) : ""; };
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::stoi(c.out.at(0)));
    EXPECT_EQ(test::ReadFile(dir / "out"), expected(1));
    EXPECT_EQ(test::ReadFile(dir / "err"), expected(2));
    const std::string report = expected(3);
    EXPECT_EQ(std::filesystem::exists(dir / (report.empty() ? "r.txt" : report)), !report.empty());
    if (report.empty()) continue;
    const CodePage cp = cmd.find("utf-8") == std::string::npos ? CodePage::Gbk : CodePage::Utf8;
    const std::string text = AnsiToUtf8(test::ReadFile(dir / report), cp);
    for (size_t i = 4; i < c.out.size(); ++i)  // "!TEXT": the report does not hold TEXT
      EXPECT_EQ(text.find(expected(i).substr(c.out[i][0] == '!')) == std::string::npos,
                c.out[i][0] == '!')
          << text;
    std::filesystem::remove(dir / report);
  }
}

}  // namespace
}  // namespace tv
