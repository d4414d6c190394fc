// Replacing files atomically and creating them only when missing.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace tv {
namespace {

TEST(AtomicFileWriter, CommitReplacesTheFileAndLeavesNoTemporary) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  test::WriteFile(path, "old");
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Begin(path)) << writer.error();
  ASSERT_TRUE(writer.Write("new "));
  ASSERT_TRUE(writer.Write(std::string(100000, 'x')));
  // Until the commit the old content stands.
  EXPECT_EQ(test::ReadFile(path), "old");
  ASSERT_TRUE(writer.Commit()) << writer.error();
  EXPECT_EQ(test::ReadFile(path), "new " + std::string(100000, 'x'));
  EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"a.txt"}));
}

TEST(AtomicFileWriter, AbandonKeepsTheOldFile) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  test::WriteFile(path, "old");
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Begin(path));
    ASSERT_TRUE(writer.Write("new"));
    writer.Abandon();
  }
  {
    AtomicFileWriter writer;  // dropped without a commit
    ASSERT_TRUE(writer.Begin(path));
    ASSERT_TRUE(writer.Write("newer"));
  }
  EXPECT_EQ(test::ReadFile(path), "old");
  EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"a.txt"}));
}

TEST(AtomicFileWriter, NoReplaceLeavesAnExistingFile) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  test::WriteFile(path, "first");
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Begin(path));
  ASSERT_TRUE(writer.Write("second"));
  EXPECT_FALSE(writer.Commit(/*no_replace=*/true));
  EXPECT_EQ(writer.error_number(), EEXIST);
  EXPECT_EQ(test::ReadFile(path), "first");
  EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"a.txt"}));
}

TEST(AtomicFileWriter, KeepsPermissionBitsAndFollowsLinks) {
  test::TempDir dir;
  const std::string real = dir / "real.ini";
  const std::string link = dir / "link.ini";
  test::WriteFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  std::filesystem::create_symlink(real, link);
  ASSERT_TRUE(WriteFileAtomically(link, "new", nullptr));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadFile(real), "new");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFileWriter, MissingFolderFails) {
  test::TempDir dir;
  AtomicFileWriter writer;
  EXPECT_FALSE(writer.Begin(dir / "no/such/a.txt"));
  EXPECT_FALSE(writer.error().empty());
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir / "no/such/a.txt", "x", &error));
  EXPECT_FALSE(error.empty());
}

TEST(CreateFileIfMissing, CreatesOnlyOnce) {
  test::TempDir dir;
  const std::string path = dir / "Setup.ini";
  EXPECT_TRUE(CreateFileIfMissing(path, "first"));
  EXPECT_EQ(test::ReadFile(path), "first");
  EXPECT_FALSE(CreateFileIfMissing(path, "second"));
  EXPECT_EQ(test::ReadFile(path), "first");
  // An empty file is a file too.
  test::WriteFile(dir / "empty.ini", "");
  EXPECT_FALSE(CreateFileIfMissing(dir / "empty.ini", "x"));
  EXPECT_EQ(test::ReadFile(dir / "empty.ini"), "");
  EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"Setup.ini", "empty.ini"}));
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
