// Replacing files atomically, creating them only when missing and making
// folders, wherever the user may write: long names, folders that refuse a
// temporary file, owners, links, interrupted writes and file systems without
// hard links.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <functional>

#include "test_util.h"

namespace tv {
namespace {

using Names = std::vector<std::string>;

constexpr uid_t kNobody = 65534;

// Runs `step` in a child process as the user nobody; true when it returned
// true there. Only root can become another user.
bool AsNobody(const std::function<bool()>& step) {
  pid_t pid = ::fork();
  if (pid == 0) {
    bool ok =
        ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && step();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string WriteOrError(const std::string& path, const std::string& data) {
  std::string error;
  return WriteFileAtomically(path, data, &error) ? "ok" : error;
}

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

TEST(SafeWrite, LongNamesAreWrittenWhereTheFileFits) {
  test::TempDir dir;
  std::string chinese;
  for (int i = 0; i < 83; ++i) chinese += "报";  // 249 bytes of UTF-8
  for (const std::string& name : {std::string(251, 'r') + ".htm", chinese + ".xls"}) {
    SCOPED_TRACE(name.size());
    EXPECT_EQ(WriteOrError(dir / name, "new"), "ok");
    EXPECT_EQ(test::ReadFile(dir / name), "new");
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{name});
    std::filesystem::remove(dir / name);
  }
}

TEST(SafeWrite, WritableFilesAreWrittenInPlaceWhereTheFolderRefusesANewName) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  struct Case {
    const char* what;
    mode_t folder_mode;
    uid_t file_owner;
    mode_t file_mode;
    const char* expected;  // "ok" or the start of the reason
  } cases[] = {
      {"folder the user may not write", 0755, kNobody, 0644, "ok"},
      {"sticky folder, another user's file writable by all", 01777, 0, 0666, "ok"},
      {"file the user may not write", 0755, 0, 0644, "cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);  // nobody must reach the folder
    const std::string folder = dir / "reports", path = folder + "/r.csv";
    std::filesystem::create_directory(folder);
    test::WriteFile(path, "the old and longer content\n");
    ASSERT_EQ(::chown(path.c_str(), c.file_owner, c.file_owner == 0 ? 0 : kNobody), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.file_mode), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folder_mode), 0);
    const bool expect_ok = std::string(c.expected) == "ok";
    EXPECT_TRUE(AsNobody([&] {
      std::string result = WriteOrError(path, "new\n");
      return expect_ok ? result == "ok" : result.rfind(c.expected, 0) == 0;
    }));
    EXPECT_EQ(test::ReadFile(path), expect_ok ? "new\n" : "the old and longer content\n");
    EXPECT_EQ(test::FolderEntries(folder), Names{"r.csv"});
  }
}

// Where the folder refuses a temporary file the content waits in memory;
// a FIFO put in the file's place meanwhile is neither waited on nor written.
TEST(SafeWrite, InPlaceWriteNeverWaitsOnAFifoSwappedIn) {
  test::TempDir dir;
  const std::string folder = dir / "ro", path = folder + "/r.csv";
  test::WriteFile(path, "old\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
  std::string error;
  bool committed = true;
  test::WithoutCapabilities([&] {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Begin(path)) << writer.error();
    writer.Write("new\n");
    ASSERT_EQ(::chmod(folder.c_str(), 0700) + ::unlink(path.c_str()) +
                  ::mkfifo(path.c_str(), 0600) + ::chmod(folder.c_str(), 0500),
              0);
    // Held open for reading, the FIFO lets a blocking writer in at once.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    committed = writer.Commit();
    error = writer.error();
    ::close(reader);
  });
  EXPECT_FALSE(committed);
  EXPECT_EQ(error, "cannot write: no longer a regular file");
  EXPECT_TRUE(std::filesystem::is_fifo(path));
}

TEST(SafeWrite, ReplacedFilesKeepOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  test::TempDir dir;
  const std::string path = dir / "r.htm";
  test::WriteFile(path, "old");
  ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(WriteOrError(path, "new"), "ok");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SafeWrite, LinksAreFollowedToTheFileTheyName) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // name, target
    const char* written;                                     // where the data lands
  } cases[] = {
      {"dangling link", {{"r.txt", "out/missing.txt"}}, "out/missing.txt"},
      {"chain ending in nothing", {{"r.txt", "hop"}, {"hop", "out/last.txt"}}, "out/last.txt"},
      {"absolute target", {{"r.txt", "@/out/abs.txt"}}, "out/abs.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    std::filesystem::create_directory(dir / "out");
    for (auto [name, target] : c.links) {
      if (target[0] == '@') target = dir.Path() + target.substr(1);
      std::filesystem::create_symlink(target, dir / name);
    }
    ASSERT_EQ(WriteOrError(dir / "r.txt", "data"), "ok");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "r.txt"));
    EXPECT_EQ(test::ReadFile(dir / c.written), "data");
    EXPECT_EQ(test::FolderEntries(dir / "out").size(), 1u);
  }
}

TEST(SafeWrite, SignalsRemoveTheTemporaryFileAndEndTheProcess) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    test::TempDir dir;
    test::WriteFile(dir / "r.xls", "old");
    pid_t pid = ::fork();
    if (pid == 0) {
      RemoveTemporaryFilesOnSignals();
      AtomicFileWriter writer;
      if (!writer.Begin(dir / "r.xls") || !writer.Write("half")) ::_exit(3);
      ::raise(sig);
      ::_exit(4);  // not reached: the signal ends the process
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"r.xls"});
    EXPECT_EQ(test::ReadFile(dir / "r.xls"), "old");
  }
}

TEST(SafeWrite, CreateIfMissingWithoutHardLinksNeverOverwrites) {
  for (bool use_links : {true, false}) {
    SCOPED_TRACE(use_links);
    test::TempDir dir;
    const std::string path = dir / "Setup.ini";
    EXPECT_TRUE(CreateFileIfMissing(path, "defaults", use_links));
    EXPECT_FALSE(CreateFileIfMissing(path, "again", use_links));
    EXPECT_EQ(test::ReadFile(path), "defaults");
    test::WriteFile(dir / "empty.ini", "");  // an empty file is a file too
    EXPECT_FALSE(CreateFileIfMissing(dir / "empty.ini", "x", use_links));
    EXPECT_EQ(test::ReadFile(dir / "empty.ini"), "");
    EXPECT_EQ(test::FolderEntries(dir.Path()), (Names{"Setup.ini", "empty.ini"}));
    EXPECT_FALSE(CreateFileIfMissing(dir / "no/such/Setup.ini", "x", use_links));
  }
}

}  // namespace
}  // namespace tv
