// The file and folder operations the install transaction and the engine perform through the
// platform layer: what they do to real files, links, FIFOs and full devices.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

TEST(FileOperations, TreesAreListedAndRemovedWithoutFollowingLinks) {
  test::TempDir Dir;
  const fs::path Outside = Dir / "outside";
  test::WriteFileSet(Outside, {{"keep.txt", "precious"}});
  const fs::path Root = Dir / "root";
  test::WriteFileSet(Root, {{"b.txt", "1"}, {"a/c.txt", "2"}, {"a/d/e.txt", "3"}});
  fs::create_directory(Root / "empty");
  fs::create_directory_symlink(Outside, Root / "a/linked");

  const auto Listing = ListFolderTree(Root.string());
  ASSERT_TRUE(Listing.has_value());
  EXPECT_EQ(Listing->Files,
            (std::vector<std::string>{"a/c.txt", "a/d/e.txt", "a/linked", "b.txt"}));
  EXPECT_EQ(Listing->Folders, (std::vector<std::string>{"a", "a/d", "empty"}));
  EXPECT_FALSE(ListFolderTree((Dir / "missing").string()).has_value());

  EXPECT_TRUE(RemoveTree(Root.string()));
  EXPECT_FALSE(PathOccupied(Root.string()));
  EXPECT_EQ(test::ReadBytes(Outside / "keep.txt"), "precious");
  EXPECT_TRUE(RemoveTree((Dir / "missing").string()));
}

TEST(FileOperations, WholeFilesAreWrittenAppendedAndRead) {
  test::TempDir Dir;
  const std::string Path = (Dir / "journal").string();
  EXPECT_TRUE(AppendToFile(Path, "made "));
  EXPECT_TRUE(AppendToFile(Path, "then added"));
  EXPECT_EQ(ReadWholeFile(Path), "made then added");
  const std::string Big = test::NoiseBytes(300000, 7);
  EXPECT_TRUE(WriteWholeFile(Path, Big));
  EXPECT_EQ(ReadWholeFile(Path), Big);
  EXPECT_FALSE(ReadWholeFile((Dir / "none").string()).has_value());
  EXPECT_FALSE(WriteWholeFile((Dir / "none/inside").string(), "x"));
  EXPECT_FALSE(WriteWholeFile("/dev/full", "x"));
}

TEST(FileOperations, FoldersRenamesAndRemovals) {
  test::TempDir Dir;
  const std::string Deep = (Dir / "a/b/c").string();
  EXPECT_FALSE(CreateFolder(Deep));
  EXPECT_TRUE(CreateFolders(Deep));
  EXPECT_TRUE(IsRealFolder(Deep));
  EXPECT_TRUE(CreateFolders(Deep));
  fs::create_directory_symlink(Deep, Dir / "link");
  EXPECT_FALSE(IsRealFolder((Dir / "link").string()));
  EXPECT_TRUE(DirectoryExists((Dir / "link").string()));

  EXPECT_TRUE(WriteWholeFile(Deep + "/f", "x"));
  EXPECT_TRUE(RenamePath(Deep + "/f", (Dir / "g").string()));
  EXPECT_FALSE(RenamePath(Deep + "/f", (Dir / "h").string()));
  EXPECT_FALSE(RemovePath((Dir / "a").string()));  // not empty
  EXPECT_TRUE(RemovePath((Dir / "link").string()));
  EXPECT_TRUE(IsRealFolder(Deep));
  EXPECT_TRUE(RemovePath((Dir / "g").string()));
  EXPECT_TRUE(RemovePath((Dir / "g").string()));  // nothing stands there: done
}

struct TOpenCase {
  const char* Name;
  const char* What;  // "file", "folder", "fifo" or "missing"
  TOpenFor Mode;
  int Error;
};

class OpenFileTest : public ::testing::TestWithParam<TOpenCase> {};

TEST_P(OpenFileTest, RefusesWhatIsNoFileToRead) {
  const TOpenCase& Case = GetParam();
  test::TempDir Dir;
  const std::string Path = (Dir / "x").string();
  const std::string What = Case.What;
  if (What == "file") test::WriteFileSet(Dir.path(), {{"x", "data"}});
  if (What == "folder") fs::create_directory(Path);
  if (What == "fifo") {
    ASSERT_EQ(::mkfifo(Path.c_str(), 0600), 0);
  }
  int Error = -1;
  const TFileHandle File = OpenFile(Path, Case.Mode, Error);
  EXPECT_EQ(File.IsOpen(), Case.Error == 0);
  EXPECT_EQ(Error, Case.Error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFileTest,
    ::testing::Values(TOpenCase{"ReadFile", "file", TOpenFor::ofRead, 0},
                      TOpenCase{"ReadFolder", "folder", TOpenFor::ofRead, EISDIR},
                      TOpenCase{"WriteFolder", "folder", TOpenFor::ofReadWrite, EISDIR},
                      TOpenCase{"ReadFifoWithoutWaiting", "fifo", TOpenFor::ofRead, EINVAL},
                      TOpenCase{"ReadMissing", "missing", TOpenFor::ofRead, ENOENT},
                      TOpenCase{"CreateMissing", "missing", TOpenFor::ofCreate, 0},
                      TOpenCase{"AppendMissing", "missing", TOpenFor::ofAppend, 0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(FileOperations, AFullDeviceStopsTheWriteLoopWithDiskFull) {
  int Error = 0;
  const TFileHandle Full = OpenFile("/dev/full", TOpenFor::ofWrite, Error);
  ASSERT_TRUE(Full.IsOpen());
  std::size_t Written = 99;
  EXPECT_EQ(WriteAll(Full.Native(), "abc", 3, &Written), ENOSPC);
  EXPECT_EQ(Written, 0U);
  EXPECT_EQ(SystemErrorText(ENOSPC), "No space left on device");
}

}  // namespace
}  // namespace ruvevid
