#include "runs/directory_walker.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <thread>

#include "gather_fixture.h"

namespace tv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using FolderWalkTest = GatherTest;

TEST_F(FolderWalkTest, StopDuringTheWalkKeepsAPrefixOfTheFullWalk) {
  std::string spec;
  for (int n = 0; n < 1000; ++n)
    spec += "d" + std::to_string(n / 50) + "/f" + std::to_string(n) + ".c ";
  Make(spec, tree_.Path());
  RunList full, part;
  WalkDirectory(tree_.Path(), full, ctx_);
  ASSERT_EQ(full.size(), 1000u);
  // The stop comes once the walk has opened its first subfolder.
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, (tree_ / "d0").c_str(), IN_OPEN), 0);
  std::thread walker([&] { WalkDirectory(tree_.Path(), part, ctx_); });
  char event[sizeof(inotify_event) + NAME_MAX + 1];
  EXPECT_GT(::read(watch, event, sizeof event), 0);
  stop_ = 1;
  walker.join();
  ::close(watch);
  // Wherever the stop fell, what was gathered is the beginning of the walk.
  ASSERT_LE(part.size(), full.size());
  for (size_t i = 0; i < part.size(); ++i) EXPECT_EQ(part.paths()[i], full.paths()[i]);
}

// A folder that cannot be opened is listed as a folder and adds nothing. Root
// opens folders whatever their permission bits, but nobody opens a path
// longer than the path limit: the folder below `root` is beyond it.
TEST_F(FolderWalkTest, UnreadableFoldersAddNothing) {
  std::string root = tree_.Path();
  while (root.size() < PATH_MAX - 300) root += "/" + std::string(200, 'd');
  WriteFile(root + "/a.c", "");
  WriteFile(root + "/z.c", "");
  const std::string locked(NAME_MAX, 'L');
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::mkdirat(fd, locked.c_str(), 0700), 0);
  const int sub = ::openat(fd, locked.c_str(), O_RDONLY | O_DIRECTORY);
  ::close(::openat(sub, "b.c", O_WRONLY | O_CREAT, 0600));
  RunList list, none;
  WalkDirectory(root, list, ctx_);
  WalkDirectory(root + "/" + locked, none, ctx_);
  WalkDirectory("", none, ctx_);
  EXPECT_THAT(list.paths(), ElementsAre(root + "/a.c", root + "/z.c"));
  EXPECT_THAT(none.paths(), IsEmpty());
  // Removing the tree by path would not reach below the limit.
  ::unlinkat(sub, "b.c", 0);
  ::close(sub);
  ::unlinkat(fd, locked.c_str(), AT_REMOVEDIR);
  ::close(fd);
}

}  // namespace
}  // namespace tv::test
