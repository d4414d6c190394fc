// Replacing files atomically and making folders. Creating files only when
// missing is in safe_write_test.cpp.
#include "platform/atomic_file.h"

#include <cerrno>
#include <utility>

#include "test_util.h"

namespace tv {
namespace {

using Names = std::vector<std::string>;

TEST(AtomicFileWriter, OnlyACommitReplacesTheFileAndNoTemporaryIsLeft) {
  const std::string big(100000, 'x');  // more than the writer buffers
  for (const std::string end : {"commit", "no-replace", "abandon", "drop"}) {
    SCOPED_TRACE(end);
    test::TempDir dir;
    const std::string path = dir / "a.txt";
    test::WriteFile(path, "old");
    {
      AtomicFileWriter writer;
      ASSERT_TRUE(writer.Begin(path)) << writer.error();
      ASSERT_TRUE(writer.Write("new ") && writer.Write(big));
      EXPECT_EQ(test::ReadFile(path), "old");
      // A commit that must not replace leaves the file another writer made.
      if (end == "commit" || end == "no-replace") {
        EXPECT_EQ(writer.Commit(end == "no-replace"), end == "commit") << writer.error();
        EXPECT_EQ(writer.error_number(), end == "commit" ? 0 : EEXIST);
      }
      if (end == "abandon") writer.Abandon();
    }
    EXPECT_EQ(test::ReadFile(path), end == "commit" ? "new " + big : "old");
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"a.txt"});
  }
}

TEST(AtomicFileWriter, KeepsPermissionBitsAndFollowsLinks) {
  test::TempDir dir;
  const std::string real = dir / "real.ini";
  test::WriteFile(real, "old");
  std::filesystem::permissions(real, std::filesystem::perms(0640));
  std::filesystem::create_symlink(real, dir / "link.ini");
  ASSERT_TRUE(WriteFileAtomically(dir / "link.ini", "new", nullptr));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(test::ReadFile(real), "new");
  EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms(0640));
}

TEST(AtomicFileWriter, FailsWithTheReasonAndChangesNothing) {
  for (const auto& [target, want] :
       {std::pair{"no/such/a.txt", "cannot create: No such file or directory"},
        std::pair{"folder", "cannot replace: Is a directory"}}) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir / target, "x", &error));
    EXPECT_EQ(error, want);
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"folder"});
  }
}

TEST(MakeDirectories, CreatesParents) {
  test::TempDir dir;
  EXPECT_TRUE(MakeDirectories(dir / "a/b/c"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
  EXPECT_TRUE(MakeDirectories(dir / "a/b/c"));
  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(MakeDirectories(dir / "file/sub"));
}

}  // namespace
}  // namespace tv
