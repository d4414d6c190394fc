// What a pick in the file dialog selects, and what each selection command
// does to the window's selection.
#include "runs/file_selection.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/ini.h"
#include "runs/remembered_paths.h"
#include "runs/selection.h"
#include "test_util.h"

namespace tv {
namespace {

TEST(ApplyFilePick, ProjectsSourcesAndAllFiles) {
  test::TempDir dir;
  test::WriteFile(dir / "p/a.DSP", "SOURCE=.\\m.cpp\r\n");
  struct Case {
    int type;
    std::vector<std::string> picked;
    bool show_names;
    const char* message;  // "" when accepted
    const char* text;
    std::vector<std::string> run_list;
  } cases[] = {
      {1, {"p/a.DSP"}, false, "", "@p/a.DSP", {"@p/m.cpp"}},
      {1, {"p/a.dsp", "p/b.dsp"}, false, "Sorry，你一次只能选择一个项目文件！", "", {}},
      {1, {"p/b.dsp", "p/a.cpp"}, false, "所选文件与选择的类型不一致！", "", {}},
      {4,
       {"s/a.cpp", "s/b.cpp", "s/c.cpp"},
       true,
       "",
       "a.cpp; b.cpp; c.cpp; ",
       {"@s/a.cpp", "@s/b.cpp", "@s/c.cpp"}},
      {10, {"s/x.txt", "s/y"}, false, "", "已选择2个指定的统计文件", {"@s/x.txt", "@s/y"}},
      {17, {"s/x.txt", "s/y.cpp"}, false, "", "已选择1个指定的统计文件", {"@s/y.cpp"}},
      {17, {"s/x.txt"}, true, "", "已选择0个指定的统计文件", {}},
  };
  auto full = [&](std::string p) { return p[0] == '@' ? dir / p.substr(1) : p; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    FilePick pick{c.type, {}};
    for (const std::string& p : c.picked) pick.paths.push_back(dir / p);
    GatherContext ctx;
    FilePickOutcome out = ApplyFilePick(pick, c.show_names, ctx);
    EXPECT_EQ(out.accepted, *c.message == '\0');
    EXPECT_EQ(out.message, c.message);
    if (!out.accepted) continue;
    EXPECT_EQ(out.selection.text, full(c.text));
    std::vector<std::string> expected;
    for (const std::string& p : c.run_list) expected.push_back(full(p));
    EXPECT_EQ(out.selection.run_list, expected);
    EXPECT_EQ(out.selection.directory, full("@" + c.picked[0].substr(0, 2)));
    EXPECT_EQ(out.selection.all_files, c.type == 17);
    EXPECT_EQ(out.selection.selection_list.size(), c.type == 17 ? c.picked.size() : 0u);
  }
}

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
  if (!d.request.path.empty()) text += " " + d.request.path;
  return text;
}

TEST(Selection, CommandsMakeTheirSelectionAndStartCountsIt) {
  test::TempDir dir;
  for (const char* f : {"a.c", "b.c", "m.cpp", "src/c.c", "\xD6\xD0\xCE\xC4/d.c", "sel.ini"})
    test::WriteFile(dir / f, "");
  test::WriteFile(dir / "p.dsp", "SOURCE=.\\m.cpp\r\n");
  auto fill = [&](std::string s) {
    for (size_t at; (at = s.find("{}")) != std::string::npos;) s.replace(at, 2, dir.Path());
    return s;
  };
  for (const test::TableCase& c : test::ReadEscapedTableCases("runs/selection.tsv")) {
    SCOPED_TRACE(c.line);
    Selection selection(CodePage::Gbk);
    std::string steps = c.in.size() > 1 ? c.in[1] : "";
    for (std::istringstream all(steps); std::getline(all, steps, ';');) {
      std::istringstream words(steps);
      std::string command, arg;
      words >> command >> arg;
      const bool cancel = arg == "cancel";
      const std::optional<std::string> path =
          cancel ? std::nullopt : std::optional(arg.starts_with("/") ? arg : dir / arg);
      if (command == "files") {
        std::optional<FilePickOutcome> outcome;
        if (!cancel) {
          FilePick pick{std::stoi(arg), {}};
          for (std::string name; words >> name;) pick.paths.push_back(dir / name);
          outcome = ApplyFilePick(pick, false, GatherContext{});
        }
        selection.PickFiles(outcome);
      } else if (command == "setfile") {
        selection.PickSelectionFile(path);
      } else if (command == "dir") {
        selection.PickSingleDirectory(path);
      } else if (command == "tree") {
        selection.PickFolderList(cancel ? std::nullopt : std::optional(steps.substr(5)));
      } else if (command == "handover") {
        selection.HandOver(*path);
      }
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
  }
}

}  // namespace
}  // namespace tv
