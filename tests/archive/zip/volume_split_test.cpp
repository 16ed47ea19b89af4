// Split sets (.z01, .z02, ..., .zip) made by Info-ZIP, extracted through OnNextVolume.

#include <gtest/gtest.h>

#include <fstream>

#include "archive/base/ArcErrors.h"
#include "archive/zip/DiskManager.h"
#include "archive/zip/VolumeSupport.h"
#include "archive/zip/Volumes.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace volume_test;

struct TNameCase {
  std::int32_t Index;
  std::int32_t Last;
  const char* Expected;
};

class VolumeNameForTest : public ::testing::TestWithParam<TNameCase> {};

TEST_P(VolumeNameForTest, NamesThePart) {
  const TNameCase& Case = GetParam();
  EXPECT_EQ(VolumeNameFor("/data/set.zip", "/data/Set.ZIP", Case.Index, Case.Last), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, VolumeNameForTest,
    ::testing::Values(TNameCase{0, 2, "/data/set.z01"}, TNameCase{1, 2, "/data/set.z02"},
                      TNameCase{9, 20, "/data/set.z10"}, TNameCase{99, 200, "/data/set.z100"},
                      TNameCase{5, 5, "/data/Set.ZIP"}, TNameCase{7, 3, "/data/Set.ZIP"}));

TEST(VolumeNameFor, ReplacesOnlyTheFileNamesExtension) {
  EXPECT_EQ(VolumeNameFor("/da.ta/set", "/da.ta/set", 0, 1), "/da.ta/set.z01");
  EXPECT_EQ(VolumeNameFor("/d/set.tar.zip", "x", 2, 4), "/d/set.tar.z03");
}

class SplitSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    fs::create_directories(Source);
    Contents = WriteSetFiles(Source);
    Parts = MakeSplitSet(Source, "set.zip", Contents);
    ASSERT_GE(Parts.size(), 3u) << "zip -s made no split set";
  }

  void ExpectAllExtracted() const { ExpectExtracted(Contents); }
  void ExpectExtracted(const TSetContents& Set) const {
    for (const auto& [Name, Bytes] : Set.Files) {
      EXPECT_TRUE(test::ReadBytes(Out.path() / Name) == Bytes) << Name << " differs";
    }
  }

  // Answers OnNextVolume with the proposed part when it exists.
  void AcceptProposedParts(TVolumeRun& Run) {
    Run.UnZip.OnNextVolume = [&Run](TZipCommon*, std::string& VolumeName,
                                    const std::string& VolumeID, bool Exists, bool& Cancel) {
      Run.Events.push_back("volume " + VolumeID + " " + fs::path(VolumeName).filename().string());
      if (!Exists) Cancel = true;
    };
  }

  test::TempDir Temp;
  fs::path Source = Temp / "src";
  test::TempDir Out;
  TSetContents Contents;
  std::vector<fs::path> Parts;
};

TEST_F(SplitSetTest, ExtractsEntriesThatCrossPartsThroughOnNextVolume) {
  TVolumeRun Run(Out.path());
  AcceptProposedParts(Run);
  EXPECT_EQ(Run.UnZip.GetArchiveFile(), "");
  Run.UnZip.SetArchiveFile(Parts.back().string());
  ASSERT_EQ(Run.UnZip.ArcType(), TArcType::atZipMV);
  EXPECT_EQ(Run.UnZip.Activate(), 3);
  EXPECT_TRUE(Run.Reports.empty()) << Run.Reports.front().ECode;
  EXPECT_EQ(Run.Passed(), 3);
  ExpectAllExtracted();
  // Every part is asked for once, in order; the last one by the archive's own name.
  std::vector<std::string> Expected;
  for (std::size_t k = 0; k < Parts.size(); ++k) {
    Expected.push_back("volume " + std::to_string(k + 1) + " " + Parts[k].filename().string());
  }
  EXPECT_EQ(Run.Events, Expected);
  EXPECT_EQ(Run.UnZip.VolumeNumber(), static_cast<std::int32_t>(Parts.size()));
}

TEST_F(SplitSetTest, AnEntryWhoseHeaderStartsAPartIsReadFromThatPart) {
  const fs::path Edge = Temp / "edge";
  fs::create_directories(Edge);
  const TSetContents EdgeSet = WriteSetFiles(Edge, TSetLayout::slHeaderStartsPart);
  const std::vector<fs::path> EdgeParts = MakeSplitSet(Edge, "edge.zip", EdgeSet);
  ASSERT_EQ(EdgeParts.size(), 3u);
  ASSERT_TRUE(StartsWithLocalHeader(EdgeParts[1])) << "zip laid the set out differently";
  TVolumeRun Run(Out.path());
  AcceptProposedParts(Run);
  EXPECT_EQ(Run.Run(EdgeParts.back()), 3);
  EXPECT_TRUE(Run.Reports.empty()) << Run.Reports.front().ECode;
  EXPECT_EQ(Run.Passed(), 3);
  ExpectExtracted(EdgeSet);
  EXPECT_EQ(Run.Events, (std::vector<std::string>{"volume 1 edge.z01", "volume 2 edge.z02",
                                                  "volume 3 edge.zip"}));
}

TEST_F(SplitSetTest, AHandlerThatCancelsStopsTheRun) {
  TVolumeRun Run(Out.path());
  Run.UnZip.OnNextVolume = [&Run](TZipCommon*, std::string&, const std::string& VolumeID, bool,
                                  bool& Cancel) {
    Run.Events.push_back("volume " + VolumeID);
    if (VolumeID == "2") Cancel = true;
  };
  Run.Run(Parts.back());
  EXPECT_EQ(Run.Events, (std::vector<std::string>{"volume 1", "volume 2"}));
  ASSERT_FALSE(Run.Reports.empty());
  EXPECT_EQ(Run.Reports.back().ECode, ecUserCanceled);
  EXPECT_EQ(Run.Reports.back().VolumeID, "2");
  EXPECT_EQ(fs::path(Run.Reports.back().FileName).filename(), "set.z02");
  // The first file was cut short at the part that never came; nothing after it was visited.
  EXPECT_EQ(Run.Passed(), 0);
  EXPECT_FALSE(fs::exists(Out / "b.txt"));
  EXPECT_FALSE(fs::exists(Out / "c.bin"));
}

TEST_F(SplitSetTest, AMissingFileNamedByTheHandlerIsAskedForAgain) {
  TVolumeRun Run(Out.path());
  int Calls = 0;
  Run.UnZip.OnNextVolume = [&](TZipCommon*, std::string& VolumeName, const std::string& VolumeID,
                               bool Exists, bool& Cancel) {
    ++Calls;
    Run.Events.push_back(VolumeID + (Exists ? " exists" : " missing"));
    if (VolumeID == "1" && Run.Events.size() == 1) {
      VolumeName = (Temp / "nowhere.z01").string();
    } else if (VolumeID == "1") {
      // Asked again with the name left by the handler.
      EXPECT_EQ(fs::path(VolumeName).filename(), "nowhere.z01");
      VolumeName = Parts[0].string();
    }
    Cancel = false;
  };
  EXPECT_EQ(Run.Run(Parts.back()), 3);
  ASSERT_GE(Run.Events.size(), 2u);
  EXPECT_EQ(Run.Events[0], "1 exists");
  EXPECT_EQ(Run.Events[1], "1 missing");
  EXPECT_EQ(Calls, static_cast<int>(Parts.size()) + 1);
  EXPECT_EQ(Run.Passed(), 3);
  ExpectAllExtracted();
}

TEST_F(SplitSetTest, WithoutAHandlerTheRunIsCancelled) {
  TVolumeRun Run(Out.path());
  Run.Run(Parts.back());
  ASSERT_GE(Run.Reports.size(), 2u);
  EXPECT_EQ(Run.Reports[0].ECode, ecEventNotAssigned);
  EXPECT_EQ(Run.Reports[0].ExtendedMsg, "OnNextVolume");
  EXPECT_EQ(Run.Reports[0].VolumeID, "1");
  EXPECT_EQ(Run.Reports[1].ECode, ecUserCanceled);
  EXPECT_EQ(std::string(ErrorText(Run.Reports[1].ECode)), "User canceled");
  EXPECT_TRUE(Run.Ends.empty());
  EXPECT_FALSE(fs::exists(Out / "a.bin"));
}

TEST_F(SplitSetTest, TheRealDriveCheckPassesOnAFixedDisk) {
  TVolumeRun Run(Out.path());
  AcceptProposedParts(Run);
  Run.Run(Parts.back());
  EXPECT_EQ(Run.UnZip.DiskManager().DriveTypeName(), "Fixed");
  EXPECT_GT(Run.UnZip.DiskManager().DriveSize(), 0u);
}

// The fixture sets made by Info-ZIP elsewhere: every entry passes its CRC check.
struct TFixtureCase {
  const char* File;
  int Files;
};

class SplitFixtureTest : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(SplitFixtureTest, ExtractsEveryEntry) {
  const fs::path Fixtures = test::FixturesDir();
  if (Fixtures.empty()) GTEST_SKIP() << "the shared fixtures folder is absent";
  const fs::path Archive = Fixtures / "zip" / GetParam().File;
  if (!fs::exists(Archive)) GTEST_SKIP() << Archive << " is absent";
  test::TempDir Out;
  TVolumeRun Run(Out.path());
  int Volumes = 0;
  Run.UnZip.OnNextVolume = [&](TZipCommon*, std::string&, const std::string&, bool Exists,
                               bool& Cancel) {
    ++Volumes;
    if (!Exists) Cancel = true;
  };
  Run.Run(Archive);
  EXPECT_EQ(Run.UnZip.ArcType(), TArcType::atZipMV);
  EXPECT_TRUE(Run.Reports.empty())
      << Run.Reports.front().ECode << " " << Run.Reports.front().FileName;
  EXPECT_GE(Volumes, 2);
  EXPECT_EQ(Run.Passed(), static_cast<int>(Run.Ends.size()));
  int Files = 0;
  for (const auto& Entry : fs::recursive_directory_iterator(Out.path())) {
    Files += Entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(Files, GetParam().Files);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SplitFixtureTest,
                         ::testing::Values(TFixtureCase{"cc477-split-by-zip.zip", 243},
                                           TFixtureCase{"gen-a-infozip-split.zip", 6}));

// The time the application takes to answer OnNextVolume is no part of the extraction's time.
TEST_F(SplitSetTest, TheElapsedTimeLeavesOutThePartPrompts) {
  TVolumeRun Run(Out.path());
  std::uint32_t Now = 1000;
  Run.UnZip.Timer().SetTickSource([&Now] { return Now; });
  AcceptProposedParts(Run);
  const auto Accept = Run.UnZip.OnNextVolume;
  Run.UnZip.OnNextVolume = [&](TZipCommon* Sender, std::string& Name, const std::string& ID,
                               bool Exists, bool& Cancel) {
    Now += 400;
    Accept(Sender, Name, ID, Exists, Cancel);
  };
  float Elapsed = -1;
  Run.UnZip.OnElapsedTime = [&](TZipCommon*, float Seconds) { Elapsed = Seconds; };
  EXPECT_EQ(Run.Run(Parts.back()), 3);
  EXPECT_EQ(Run.Events.size(), Parts.size());
  EXPECT_EQ(Elapsed, 0.0f);
}

// In a chroot or a container the folder's mount cannot be told: it is a fixed disk, and the set
// extracts there.
TEST_F(SplitSetTest, ExtractsWhereTheDriveCannotBeTold) {
  const fs::path Table = Temp / "mountinfo";
  test::WriteBytes(Table, "22 1 0:21 / /no/such/mount rw - tmpfs tmpfs rw\n");
  TPosixDriveLayer Drives(Table.string());
  const auto Facts = Drives.QueryDrive(Parts.back().string());
  ASSERT_TRUE(Facts.has_value());
  EXPECT_EQ(Facts->DriveType, TDriveType::dtFixed);
  EXPECT_EQ(Facts->Drive, fs::canonical(Source).string());
  TVolumeRun Run(Out.path());
  Run.UnZip.SetDriveLayer(Drives);
  AcceptProposedParts(Run);
  Run.UnZip.SetArchiveFile(Parts.back().string());
  ASSERT_EQ(Run.UnZip.ArcType(), TArcType::atZipMV);
  EXPECT_EQ(Run.UnZip.Activate(), 3);
  EXPECT_TRUE(Run.Reports.empty());
  ExpectAllExtracted();
}

}  // namespace
}  // namespace ruvevid
