// What each selection command, a pick in the file dialog among them, does to
// the window's selection.
#include "runs/file_selection.h"

#include "platform/ini.h"
#include "runs/remembered_paths.h"
#include "runs/selection.h"
#include "test_util.h"

namespace tv {
namespace {

std::string Describe(const StartDecision& d) {
  static const char* const kTypes[] = {"FileList", "AllFiles", "OneDirectory", "FolderList",
                                       "SelectionFile"};
  switch (d.action) {
    case StartDecision::Action::Nothing:
      return "nothing";
    case StartDecision::Action::Refuse:
      return "refuse " + std::string(d.error);
    case StartDecision::Action::Stop:
      return "stop";
    case StartDecision::Action::Launch:
      break;
  }
  std::string text = std::string("launch ") + kTypes[static_cast<int>(d.request.type)];
  for (const std::string& p : d.request.file_list) text += " " + p;
  for (const std::string& p : d.request.selection_list) text += " +" + p;
  if (!d.request.path.empty()) text += " " + d.request.path;
  return text;
}

TEST(Selection, CommandsMakeTheirSelectionAndStartCountsIt) {
  test::TempDir dir;
  for (const char* f : {"a.c", "b.c", "m.cpp", "src/c.c", "\xD6\xD0\xCE\xC4/d.c", "sel.ini"})
    test::WriteFile(dir / f, "");
  for (const char* p : {"p.dsp", "Q.DSP"}) test::WriteFile(dir / p, "SOURCE=.\\m.cpp\r\n");
  auto fill = [&](std::string s) {
    for (size_t at; (at = s.find("{}")) != std::string::npos;) s.replace(at, 2, dir.Path());
    return s;
  };
  for (const test::TableCase& c : test::ReadEscapedTableCases("runs/selection.tsv")) {
    SCOPED_TRACE(c.line);
    Selection selection(CodePage::Gbk);
    std::string said;  // the refusals of the steps
    std::string steps = c.in.size() > 1 ? c.in[1] : "";
    for (std::istringstream all(steps); std::getline(all, steps, ';');) {
      std::istringstream words(steps);
      std::string command, arg;
      words >> command >> arg;
      const bool cancel = arg == "cancel";
      const std::optional<std::string> path =
          cancel ? std::nullopt : std::optional(arg.starts_with("/") ? arg : dir / arg);
      SelectionChange change;
      if (command == "files" || command == "names") {
        std::optional<FilePickOutcome> outcome;
        if (!cancel) {
          FilePick pick{std::stoi(arg), {}};
          for (std::string name; words >> name;) pick.paths.push_back(dir / name);
          outcome = ApplyFilePick(pick, command == "names", GatherContext{});
        }
        change = selection.PickFiles(outcome);
      } else if (command == "setfile") {
        change = selection.PickSelectionFile(path);
      } else if (command == "dir") {
        change = selection.PickSingleDirectory(path);
      } else if (command == "tree") {
        change = selection.PickFolderList(cancel ? std::nullopt : std::optional(steps.substr(5)));
      } else if (command == "handover") {
        change = selection.HandOver(*path);
      }
      if (!change.error.empty()) said += (said.empty() ? "" : ";") + std::string(change.error);
    }
    EXPECT_EQ(selection.text(), fill(c.out.at(0)));
    EXPECT_EQ(selection.start_enabled(), c.out.at(1) == "1");
    const StartDecision start = selection.Start(false);
    EXPECT_EQ(Describe(start), fill(c.out.at(2)));
    EXPECT_EQ(selection.Start(true).action, StartDecision::Action::Stop);
    // What the start stores, read back from a fresh settings file.
    const std::string settings = dir / "Setup.ini";
    std::filesystem::remove(settings);
    if (start.remember)
      RememberRunStart(settings, start.request, start.selection_directory, CodePage::Gbk);
    std::string stored;
    for (const char* key : {"Path1", "Path2", "Path3", "SelectType"}) {
      const std::string value = ReadRememberedPath(settings, key, CodePage::Gbk);
      if (!value.empty()) stored += (stored.empty() ? "" : ";") + std::string(key) + "=" + value;
    }
    EXPECT_EQ(stored, fill(c.out.size() > 3 ? c.out[3] : ""));
    EXPECT_EQ(said, c.out.size() > 4 ? c.out[4] : "");
  }
}

}  // namespace
}  // namespace tv
