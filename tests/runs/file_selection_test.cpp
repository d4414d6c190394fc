// What a pick in the file dialog selects.
#include "runs/file_selection.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tv
