#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        test::TestRoot() + "/fs-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir_);
  }
  // An ANSI path below the test's folder (the folder itself is ASCII).
  std::string Path(std::string_view name) const { return dir_ + "/" + std::string(name); }
  // The files of the test's folder, temporary ones included.
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  FileSystem& files = DefaultFileSystem();
  std::string dir_;
};

TEST_F(FileSystemTest, ExistsAndIsFolder) {
  ASSERT_TRUE(test::WriteFile(Path("file"), "x"));
  EXPECT_TRUE(files.Exists(Path("file")));
  EXPECT_FALSE(files.IsFolder(Path("file")));
  EXPECT_TRUE(files.Exists(dir_));
  EXPECT_TRUE(files.IsFolder(dir_));
  EXPECT_FALSE(files.Exists(Path("missing")));
  EXPECT_FALSE(files.Exists(""));
  EXPECT_FALSE(files.IsFolder(""));
}

TEST_F(FileSystemTest, AnsiPathsReachTheSystemAsUtf8) {
  const std::string name = Utf8ToAnsi("證券.pfx");
  ASSERT_EQ(files.WriteFileAtomic(Path(name), "data"), 0u);
  EXPECT_TRUE(fs::exists(fs::path(dir_) / fs::u8path("證券.pfx")));
  std::string bytes;
  ASSERT_EQ(files.ReadFile(Path(name), &bytes), 0u);
  EXPECT_EQ(bytes, "data");
}

TEST_F(FileSystemTest, CreateFoldersMakesParentsAndReportsWhatWasThere) {
  const std::string deep = Path("a/b/" + Utf8ToAnsi("證券"));
  EXPECT_EQ(files.CreateFolders(deep), 0u);
  EXPECT_TRUE(files.IsFolder(deep));
  EXPECT_EQ(files.CreateFolders(deep), kErrorAlreadyExists);
  ASSERT_TRUE(test::WriteFile(Path("plain"), "x"));
  EXPECT_EQ(files.CreateFolders(Path("plain")), kErrorFileExists);
  EXPECT_EQ(files.CreateFolders(Path("plain/sub")), kErrorPathNotFound);
  EXPECT_EQ(files.CreateFolders(""), kErrorBadPathname);
  struct stat st {};
  ASSERT_EQ(::stat(Path("a").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(FileSystemTest, ErrorsTellAMissingFileFromAMissingFolder) {
  std::string bytes;
  EXPECT_EQ(files.ReadFile(Path("missing"), &bytes), kErrorFileNotFound);
  EXPECT_EQ(files.ReadFile(Path("nofolder/missing"), &bytes), kErrorPathNotFound);
  EXPECT_EQ(files.ReadFile(dir_, &bytes), kErrorAccessDenied);
  EXPECT_EQ(files.WriteFileAtomic(Path("nofolder/x"), "x"), kErrorPathNotFound);
  EXPECT_EQ(files.WriteFileAtomic(dir_, "x"), kErrorAccessDenied);
  EXPECT_EQ(files.DeleteFile(Path("missing")), kErrorFileNotFound);
  EXPECT_EQ(files.DeleteFile(dir_), kErrorAccessDenied);
  EXPECT_EQ(files.ReadFile(Path(std::string(300, 'n')), &bytes), kErrorFilenameExcedRange);
}

TEST_F(FileSystemTest, WriteReplacesWholeAndKeepsPermissions) {
  const std::string target = Path("t.bin");
  ASSERT_EQ(files.WriteFileAtomic(target, std::string("\0\1\2", 3)), 0u);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(files.WriteFileAtomic(target, "second"), 0u);
  EXPECT_EQ(test::ReadFile(target), "second");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(files.WriteFileAtomic(target, ""), 0u);
  EXPECT_EQ(test::ReadFile(target), "");
  EXPECT_EQ(Listing(), std::vector<std::string>{"t.bin"});  // no temporary file left
}

// The write fails half way (the file size limit is reached: EFBIG): the target keeps its old
// bytes and no temporary file stays behind.
TEST_F(FileSystemTest, AFailedWriteLeavesTheOldContent) {
  const std::string target = Path("keep.pfx");
  ASSERT_TRUE(test::WriteFile(target, "old content"));
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {
      65536, 65536
    };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const SysError err = DefaultFileSystem().WriteFileAtomic(target, std::string(1 << 20, 'n'));
    ::_exit(err == kErrorFileTooLarge ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not fail with ERROR_FILE_TOO_LARGE";
  EXPECT_EQ(test::ReadFile(target), "old content");
  EXPECT_EQ(Listing(), std::vector<std::string>{"keep.pfx"});
}

TEST_F(FileSystemTest, CopyIsAtomicAndCanRefuseToReplace) {
  const std::string source = Path("src.pfx");
  ASSERT_TRUE(test::WriteFile(source, "pfx bytes"));
  ASSERT_EQ(::chmod(source.c_str(), 0600), 0);
  ASSERT_EQ(files.CopyFileAtomic(source, Path("copy.pfx"), true), 0u);
  EXPECT_EQ(test::ReadFile(Path("copy.pfx")), "pfx bytes");
  struct stat st {};
  ASSERT_EQ(::stat(Path("copy.pfx").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ASSERT_TRUE(test::WriteFile(Path("other"), "other"));
  EXPECT_EQ(files.CopyFileAtomic(Path("other"), Path("copy.pfx"), true), kErrorFileExists);
  EXPECT_EQ(test::ReadFile(Path("copy.pfx")), "pfx bytes");
  EXPECT_EQ(files.CopyFileAtomic(Path("other"), Path("copy.pfx"), false), 0u);
  EXPECT_EQ(test::ReadFile(Path("copy.pfx")), "other");
  EXPECT_EQ(files.CopyFileAtomic(Path("missing"), Path("x"), false), kErrorFileNotFound);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"copy.pfx", "other", "src.pfx"}));
}

TEST_F(FileSystemTest, StampStaysUntilTheFileIsWrittenOrReplaced) {
  ASSERT_EQ(files.WriteFileAtomic(Path("file"), "12345"), 0u);
  FileStamp first, again, rewritten, replaced;
  ASSERT_EQ(files.StampFile(Path("file"), &first), 0u);
  ASSERT_EQ(files.StampFile(Path("file"), &again), 0u);
  EXPECT_TRUE(SameStamp(first, again));
  EXPECT_EQ(first.size, 5u);
  EXPECT_FALSE(first.settled) << "written a moment ago";
  // Written in place with as many bytes, its times put back: the change time still moves.
  const fs::file_time_type written = fs::last_write_time(Path("file"));
  ASSERT_TRUE(test::WriteFile(Path("file"), "54321"));
  fs::last_write_time(Path("file"), written);
  ASSERT_EQ(files.StampFile(Path("file"), &rewritten), 0u);
  EXPECT_FALSE(SameStamp(first, rewritten));
  // Another file renamed over it.
  ASSERT_EQ(files.WriteFileAtomic(Path("file"), "54321"), 0u);
  ASSERT_EQ(files.StampFile(Path("file"), &replaced), 0u);
  EXPECT_NE(replaced.file, rewritten.file);
  FileStamp none;
  EXPECT_EQ(files.StampFile(Path("missing"), &none), kErrorFileNotFound);
  EXPECT_EQ(files.StampFile(dir_, &none), kErrorAccessDenied);
}

TEST_F(FileSystemTest, DeleteRemovesAFile) {
  ASSERT_TRUE(test::WriteFile(Path("gone"), "x"));
  EXPECT_EQ(files.DeleteFile(Path("gone")), 0u);
  EXPECT_FALSE(files.Exists(Path("gone")));
}

TEST_F(FileSystemTest, TempFolderFollowsTmpdir) {
  const char* saved = std::getenv("TMPDIR");
  const std::string keep = saved ? saved : "";
  ::setenv("TMPDIR", (dir_ + "/tmp//").c_str(), 1);
  EXPECT_EQ(files.TempFolder(), dir_ + "/tmp");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(files.TempFolder(), "/tmp");
  ::setenv("TMPDIR", "", 1);
  EXPECT_EQ(files.TempFolder(), "/tmp");
  ::setenv("TMPDIR", keep.c_str(), 1);
}

}  // namespace
}  // namespace zyq::platform
