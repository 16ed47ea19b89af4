#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/PrivateProfile.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FolderListing(const fs::path& Folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(Folder)) names.push_back(item.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WritePrivateProfileKey, CreatesMissingFile) {
  test::TempDir dir;
  ASSERT_TRUE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"), "[Update]\r\nWork=False\r\n");
  EXPECT_EQ(FolderListing(dir.path()), std::vector<std::string>{"Daz.dat"});
}

TEST(WritePrivateProfileKey, ReplacesValueKeepingOtherBytes) {
  test::TempDir dir;
  const std::string before = "; kept\r\n[Update]\r\nwork = True\r\n\r\n[Next]\r\nA=1";
  test::WriteBytes(dir / "Daz.dat", before);
  ASSERT_TRUE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"),
            "; kept\r\n[Update]\r\nwork =False\r\n\r\n[Next]\r\nA=1");
  ASSERT_TRUE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"),
            "; kept\r\n[Update]\r\nwork =False\r\n\r\n[Next]\r\nA=1");
  EXPECT_EQ(FolderListing(dir.path()), std::vector<std::string>{"Daz.dat"});
}

TEST(WritePrivateProfileKey, KeepsPermissionBits) {
  test::TempDir dir;
  test::WriteBytes(dir / "Daz.dat", "[Update]\r\n");
  ASSERT_EQ(::chmod((dir / "Daz.dat").c_str(), 0640), 0);
  ASSERT_TRUE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  struct stat info {};
  ASSERT_EQ(::stat((dir / "Daz.dat").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640U);
}

TEST(WritePrivateProfileKey, RefusesSymbolicLinkAndLeavesTarget) {
  test::TempDir dir;
  test::WriteBytes(dir / "target.ini", "[Update]\r\nWork=True\r\n");
  fs::create_symlink(dir / "target.ini", dir / "Daz.dat");
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  EXPECT_EQ(test::ReadBytes(dir / "target.ini"), "[Update]\r\nWork=True\r\n");
  EXPECT_TRUE(fs::is_symlink(dir / "Daz.dat"));
  EXPECT_EQ(FolderListing(dir.path()), (std::vector<std::string>{"Daz.dat", "target.ini"}));
}

TEST(WritePrivateProfileKey, RefusesDanglingSymbolicLink) {
  test::TempDir dir;
  fs::create_symlink(dir / "nowhere.ini", dir / "Daz.dat");
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  EXPECT_FALSE(fs::exists(dir / "nowhere.ini"));
}

TEST(WritePrivateProfileKey, RefusesDirectory) {
  test::TempDir dir;
  fs::create_directory(dir / "Daz.dat");
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", dir / "Daz.dat"));
  EXPECT_TRUE(fs::is_directory(dir / "Daz.dat"));
}

TEST(WritePrivateProfileKey, FolderUnderRegularFileFails) {
  test::TempDir dir;
  test::WriteBytes(dir / "plain", "x");
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", dir / "plain" / "Daz.dat"));
  EXPECT_EQ(FolderListing(dir.path()), std::vector<std::string>{"plain"});
}

TEST(WritePrivateProfileKey, MissingFolderFails) {
  test::TempDir dir;
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", dir / "none" / "Daz.dat"));
}

TEST(WritePrivateProfileKey, RefusesLineBreakInValue) {
  test::TempDir dir;
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False\r\n[Evil]", dir / "Daz.dat"));
  EXPECT_FALSE(fs::exists(dir / "Daz.dat"));
}

// A write that fails half way (here: the file size limit is reached while the temporary file is
// written) leaves the old file as it was and no temporary file behind.
TEST(WritePrivateProfileKey, FailedWriteLeavesOldFileAndNoTemporary) {
  test::TempDir dir;
  const std::string before = "[Update]\r\nWork=True\r\n" + std::string(64 * 1024, ';') + "\r\n";
  test::WriteBytes(dir / "Daz.dat", before);
  const std::string path = dir / "Daz.dat";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = WritePrivateProfileKey("Update", "Work", "False", path);
    ::_exit(written ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have been reported as failed";
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"), before);
  EXPECT_EQ(FolderListing(dir.path()), std::vector<std::string>{"Daz.dat"});
}

TEST(WritePrivateProfileKey, EmptyFileNameFails) {
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", ""));
}

}  // namespace
}  // namespace ruvevid
