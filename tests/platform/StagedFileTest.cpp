#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/FileHandle.h"
#include "platform/StagedFile.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"
#ifndef _WIN32
#include <sys/stat.h>

#include "support/PrivateTmpfs.h"
#endif

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

enum class TStanding { Nothing, WritableFile, ReadOnlyFile, Folder };

struct TTakeCase {
  const char* Name;
  TStanding AtTarget;
  bool Taken;
  int Error;  // when not taken
};

void PutAtTarget(const fs::path& Target, TStanding What) {
  switch (What) {
    case TStanding::Nothing:
      break;
    case TStanding::WritableFile:
    case TStanding::ReadOnlyFile:
      test::WriteBytes(Target, "old");
      fs::permissions(Target,
                      What == TStanding::WritableFile
                          ? fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read
                          : fs::perms::owner_read | fs::perms::group_read);
      break;
    case TStanding::Folder:
      fs::create_directories(Target);
      break;
  }
}

// A file written elsewhere and still open, as a worker leaves the entry it decoded.
TFileHandle DecodedFile(const fs::path& Folder, std::string& Path) {
  fs::create_directories(Folder);
  TFileHandle File = CreateStagingFile((Folder / "entry").string(), Path);
  EXPECT_TRUE(File.IsOpen());
  EXPECT_EQ(WriteAll(File.Native(), "new", 3), 0);
  return File;
}

class TakeStagingFileTest : public ::testing::TestWithParam<TTakeCase> {};

// Taking a decoded file refuses, and passes permissions on, exactly as making a new staged file
// does, and the taken file then commits over the target like one.
TEST_P(TakeStagingFileTest, ActsAsANewStagedFileWould) {
  const TTakeCase& Case = GetParam();
  test::TempDir Dir;
  const fs::path Made = Dir / "made" / "target.bin";
  const fs::path Taken = Dir / "taken" / "target.bin";
  fs::create_directories(Made.parent_path());
  fs::create_directories(Taken.parent_path());
  PutAtTarget(Made, Case.AtTarget);
  PutAtTarget(Taken, Case.AtTarget);

  std::string MadePath;
  errno = 0;
  TFileHandle New = CreateStagingFile(Made.string(), MadePath);
  const int MadeError = errno;
  std::string DecodedPath;
  TFileHandle Decoded = DecodedFile(Dir / "decoding", DecodedPath);
  std::string StagingPath = "stale";
  errno = 0;
  const bool Took = TakeStagingFile(Decoded.Native(), DecodedPath, Taken.string(), StagingPath);

  ASSERT_EQ(Took, Case.Taken);
  EXPECT_EQ(New.IsOpen(), Case.Taken);
  if (!Case.Taken) {
    EXPECT_EQ(errno, Case.Error);
    EXPECT_EQ(MadeError, Case.Error);
    EXPECT_TRUE(StagingPath.empty());
    EXPECT_EQ(test::ReadBytes(fs::path(DecodedPath)), "new");
    return;
  }
  EXPECT_EQ(StagingPath, DecodedPath);
#ifndef _WIN32
  struct stat MadeStat {};
  struct stat TakenStat {};
  ASSERT_EQ(::fstat(New.Native(), &MadeStat), 0);
  ASSERT_EQ(::fstat(Decoded.Native(), &TakenStat), 0);
  EXPECT_EQ(TakenStat.st_mode & 07777, MadeStat.st_mode & 07777);
#endif
  ASSERT_EQ(Decoded.Close(), 0);
  ASSERT_TRUE(CommitStagingFile(StagingPath, Taken.string()));
  EXPECT_EQ(test::ReadBytes(Taken), "new");
  EXPECT_FALSE(fs::exists(DecodedPath));
  DiscardStagingFile(MadePath);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TakeStagingFileTest,
    ::testing::Values(TTakeCase{"Nothing", TStanding::Nothing, true, 0},
                      TTakeCase{"WritableFile", TStanding::WritableFile, true, 0},
                      TTakeCase{"ReadOnlyFile", TStanding::ReadOnlyFile, false, EACCES},
                      TTakeCase{"Folder", TStanding::Folder, false, EISDIR}),
    [](const auto& Info) { return std::string(Info.param.Name); });

#ifndef _WIN32
// A file on another file system cannot be renamed over the target: it is not taken, and the
// caller makes a new file instead.
TEST(TakeStagingFile, RefusesAFileOnAnotherFileSystem) {
  test::TempDir Dir;
  test::TPrivateTmpfs Disk;
  std::string Why;
  fs::create_directories(Dir / "other");
  if (!Disk.Mount(Dir / "other", 1 << 20, Why)) GTEST_SKIP() << Why;
  std::string DecodedPath;
  TFileHandle Decoded = DecodedFile(Dir / "decoding", DecodedPath);
  std::string StagingPath;
  EXPECT_FALSE(TakeStagingFile(Decoded.Native(), DecodedPath, (Dir / "other" / "target").string(),
                               StagingPath));
  EXPECT_EQ(errno, EXDEV);
  EXPECT_TRUE(StagingPath.empty());
}
#endif

}  // namespace
}  // namespace ruvevid
