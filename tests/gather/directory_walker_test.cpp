#include "runs/directory_walker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "gather_fixture.h"

namespace tv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using WalkTest = GatherTest;

TEST_F(WalkTest, EntriesSortedByLowerCasedNameThenBytesDepthFirst) {
  Files({"t.c", "B.cpp", "a.cpp", "A.cpp", "_u.c", "c.CPP", "readme.txt", "sub/x.pas", "Sub2/y.h",
         "Sub2/deep/z.sql", "Sub2/w.bas"});
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  // "_" sorts before the letters once they are lower-cased; "A.cpp" before
  // "a.cpp" by their plain bytes; a folder is walked where it is met.
  EXPECT_THAT(Relative(list), ElementsAre("_u.c", "A.cpp", "a.cpp", "B.cpp", "c.CPP", "sub/x.pas",
                                          "Sub2/deep/z.sql", "Sub2/w.bas", "Sub2/y.h", "t.c"));
}

TEST_F(WalkTest, IncludeDirectoryOneKeepsTheWalkInTheFolder) {
  Files({"a.c", "sub/b.c", "sub/deeper/c.c"});
  Settings("[OTHER]\r\nIncludeDirectory=1\r\n");
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("a.c"));

  for (const char* value : {"0", "yes", ""}) {
    Settings(std::string("[OTHER]\r\nIncludeDirectory=") + value + "\r\n");
    RunList all;
    WalkDirectory(tree_.Path(), all, ctx_);
    EXPECT_THAT(Relative(all), ElementsAre("a.c", "sub/b.c", "sub/deeper/c.c")) << value;
  }
}

TEST_F(WalkTest, SameNameRuleKeepsTheFirstFileMetAcrossFolders) {
  Files({"x/main.c", "y/main.c", "y/Main.c", "z/other.c"});
  Settings("[CURRENT PATH]\r\nCountSameFileName=0\r\n");
  RunList list;
  WalkDirectory(tree_ / "x", list, ctx_);
  WalkDirectory(tree_ / "y", list, ctx_);
  WalkDirectory(tree_ / "z", list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("x/main.c", "y/Main.c", "z/other.c"));
}

TEST_F(WalkTest, StopRequestedBeforeTheWalkGathersNothing) {
  Files({"a.c", "sub/b.c"});
  stop_ = 1;
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_THAT(list.paths(), IsEmpty());
}

TEST_F(WalkTest, StopDuringTheWalkKeepsAPrefixOfTheFullWalk) {
  for (int d = 0; d < 20; ++d) {
    for (int f = 0; f < 50; ++f) {
      Files({std::string("d").append(std::to_string(d)).append("/f").append(std::to_string(f)) +
             ".c"});
    }
  }
  RunList full;
  WalkDirectory(tree_.Path(), full, ctx_);
  ASSERT_EQ(full.size(), 1000u);

  RunList part;
  std::thread walker([&] { WalkDirectory(tree_.Path(), part, ctx_); });
  stop_ = 1;
  walker.join();
  // Wherever the stop fell, what was gathered is the beginning of the walk.
  ASSERT_LE(part.size(), full.size());
  for (size_t i = 0; i < part.size(); ++i) EXPECT_EQ(part.paths()[i], full.paths()[i]);
}

TEST_F(WalkTest, LinkBackToAnAncestorIsNotEnteredAndEachFileComesOnce) {
  Files({"a.c", "sub/b.c"});
  Link("..", "sub/up");
  Link(".", "self");
  Link(tree_.Path(), "sub/root");
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("a.c", "sub/b.c"));
}

TEST_F(WalkTest, FolderReachedByTwoRoutesIsWalkedTwice) {
  Files({"x/f.c"});
  std::filesystem::create_directories(tree_ / "y");
  Link("../x", "y/link");
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("x/f.c", "y/link/f.c"));
}

TEST_F(WalkTest, LinkedRootIsWalkedAndCannotLoopBackIntoItself) {
  Files({"real/a.c"});
  Link("real", "alias");
  Link("../alias", "real/back");
  RunList list;
  WalkDirectory(tree_ / "alias", list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("alias/a.c"));
}

TEST_F(WalkTest, NonRegularEntriesNamedLikeSourcesAreOfferedAsFilesWithoutHanging) {
  Files({"a.c"});
  ASSERT_EQ(::mkfifo((tree_ / "x.c").c_str(), 0600), 0);
  Link("nowhere.c", "gone.c");
  ASSERT_EQ(::mkfifo((tree_ / "pipe").c_str(), 0600), 0);
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("a.c", "gone.c", "x.c"));
}

TEST_F(WalkTest, RootThatIsNoFolderGathersNothing) {
  Files({"a.c"});
  ASSERT_EQ(::mkfifo((tree_ / "fifo").c_str(), 0600), 0);
  for (const std::string& root :
       {tree_ / "missing", tree_ / "a.c", tree_ / "fifo", std::string()}) {
    RunList list;
    WalkDirectory(root, list, ctx_);
    EXPECT_THAT(list.paths(), IsEmpty()) << root;
  }
}

TEST_F(WalkTest, RootWithFinalSlashGivesSinglySeparatedPaths) {
  Files({"a.c", "sub/b.c"});
  RunList list;
  WalkDirectory(tree_.Path() + "/", list, ctx_);
  EXPECT_THAT(list.paths(), ElementsAre(tree_ / "a.c", tree_ / "sub/b.c"));
}

TEST_F(WalkTest, UnreadableFoldersAddNothing) {
  if (RunningAsRoot()) GTEST_SKIP() << "root reads every folder";
  Files({"a.c", "locked/b.c", "z.c"});
  ASSERT_EQ(::chmod((tree_ / "locked").c_str(), 0), 0);
  RunList list;
  WalkDirectory(tree_.Path(), list, ctx_);
  EXPECT_THAT(Relative(list), ElementsAre("a.c", "z.c"));
  RunList none;
  WalkDirectory(tree_ / "locked", none, ctx_);
  EXPECT_THAT(none.paths(), IsEmpty());
}

}  // namespace
}  // namespace tv::test
