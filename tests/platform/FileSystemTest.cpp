#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

TEST(FileSystem, ExistenceTests) {
  test::TempDir dir;
  test::WriteBytes(dir / "file", "x");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "file", dir / "link");
  fs::create_symlink(dir / "none", dir / "dangling");

  EXPECT_TRUE(FileExists(dir / "file"));
  EXPECT_TRUE(FileExists(dir / "link"));
  EXPECT_FALSE(FileExists(dir / "folder"));
  EXPECT_FALSE(FileExists(dir / "dangling"));
  EXPECT_FALSE(FileExists(dir / "none"));
  EXPECT_FALSE(FileExists(""));

  EXPECT_TRUE(DirectoryExists(dir / "folder"));
  EXPECT_TRUE(DirectoryExists(dir.path().string() + "/folder/"));
  EXPECT_FALSE(DirectoryExists(dir / "file"));
  EXPECT_FALSE(DirectoryExists(dir / "none"));
  EXPECT_FALSE(DirectoryExists(""));
}

TEST(FileSystem, DeleteFileRemovesFilesAndLinksOnly) {
  test::TempDir dir;
  test::WriteBytes(dir / "file", "x");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "file", dir / "link");

  EXPECT_TRUE(DeleteFile(dir / "link"));
  EXPECT_TRUE(fs::exists(dir / "file"));
  EXPECT_TRUE(DeleteFile(dir / "file"));
  EXPECT_FALSE(fs::exists(dir / "file"));
  EXPECT_FALSE(DeleteFile(dir / "file"));
  EXPECT_FALSE(DeleteFile(dir / "folder"));
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  EXPECT_FALSE(DeleteFile(""));
}

TEST(FileSystem, ReadSymbolicLinkOfAnyLength) {
  test::TempDir dir;
  const std::string longTarget = std::string(3000, 'a');
  fs::create_symlink(longTarget, dir / "long");
  EXPECT_EQ(ReadSymbolicLink(dir / "long"), longTarget);
  EXPECT_EQ(ReadSymbolicLink(dir / "missing"), "");
}

TEST(ProgramFolder, IsFolderOfRunningExecutable) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(fs::path(folder), fs::read_symlink("/proc/self/exe").parent_path() / "");
  EXPECT_TRUE(DirectoryExists(folder));
}

struct FolderCase {
  const char* ExePath;
  const char* Folder;
};

class ProgramFolderOfTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ProgramFolderOfTest, KeepsTrailingSeparator) {
  EXPECT_EQ(ProgramFolderOf(GetParam().ExePath), GetParam().Folder);
}

INSTANTIATE_TEST_SUITE_P(Paths, ProgramFolderOfTest,
                         ::testing::Values(FolderCase{"/opt/ruvevid/updater", "/opt/ruvevid/"},
                                           FolderCase{"/updater", "/"},
                                           FolderCase{"/a.b/c d/x (deleted)", "/a.b/c d/"},
                                           FolderCase{"updater", ""}, FolderCase{"", ""}));

}  // namespace
}  // namespace ruvevid
