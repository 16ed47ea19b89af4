// Sets spanned over removable disks, through a drive layer that simulates one removable drive whose
// disks the disk events swap.

#include <gtest/gtest.h>

#include "archive/base/ArcErrors.h"
#include "archive/zip/DiskManager.h"
#include "archive/zip/DiskSpannObj.h"
#include "archive/zip/VolumeSupport.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace volume_test;

class SpannedSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    Drive = &Drives.Add(Temp / "drive");
    Run.UnZip.SetDriveLayer(Drives);
    UseSet(TSetLayout::slCrossing);
  }

  // Makes the set's disks in a folder of their own; the drive is empty until a test inserts one.
  void UseSet(TSetLayout Layout) {
    const fs::path Source = Temp / ("src" + std::to_string(static_cast<int>(Layout)));
    fs::create_directories(Source);
    Contents = WriteSetFiles(Source, Layout);
    Parts = MakeSplitSet(Source, "set.zip", Contents);
    ASSERT_GE(Parts.size(), 3u) << "zip -s made no split set";
    Disks = std::make_unique<TDiskSwapper>(*Drive, Parts, "set.zip");
  }

  // Disk events that insert the disk asked for and record the request.
  void SwapOnRequest() {
    Run.UnZip.OnGetZipLastDisk = [this](TZipCommon*, bool& Cancel) {
      Run.Events.push_back("last");
      Disks->Insert(Disks->Count());
      Cancel = false;
    };
    Run.UnZip.OnGetZipFirstDisk = [this](TZipCommon*, bool& Cancel) {
      Run.Events.push_back("first");
      Disks->Insert(1);
      Cancel = false;
    };
    Run.UnZip.OnGetZipNextDisk = [this](TZipCommon*, const std::string& Disk, bool& Cancel) {
      // Like a user, the handler cancels when the set has no such disk or when the disk it has
      // just inserted is asked for again.
      const int Number = std::stoi(Disk);
      const bool Again = !Run.Events.empty() && Run.Events.back() == "next " + Disk;
      Run.Events.push_back("next " + Disk);
      Cancel = Number > Disks->Count() || Again;
      if (!Cancel) Disks->Insert(Number);
    };
  }

  void ExpectAllExtracted() const {
    for (const auto& [Name, Bytes] : Contents.Files) {
      EXPECT_TRUE(test::ReadBytes(Out.path() / Name) == Bytes) << Name << " differs";
    }
  }

  std::vector<std::string> ExpectedEvents() const {
    std::vector<std::string> Events = {"last", "first"};
    for (int Disk = 2; Disk <= Disks->Count(); ++Disk) {
      Events.push_back("next " + std::to_string(Disk));
    }
    return Events;
  }

  test::TempDir Temp;
  test::TempDir Out;
  TSetContents Contents;
  std::vector<fs::path> Parts;
  TFakeDrives Drives;
  TFakeDrive* Drive = nullptr;
  std::unique_ptr<TDiskSwapper> Disks;
  TVolumeRun Run{Out.path()};
};

TEST_F(SpannedSetTest, AsksForTheLastDiskThenTheFirstAndEveryNextOne) {
  SwapOnRequest();
  Disks->Insert(1);
  Run.UnZip.SetArchiveFile(Disks->ArchivePath().string());
  ASSERT_EQ(Run.UnZip.ArcType(), TArcType::atZipDS);
  EXPECT_EQ(Run.UnZip.Activate(), 3);
  EXPECT_TRUE(Run.Reports.empty()) << Run.Reports.front().ECode;
  EXPECT_EQ(Run.Events, ExpectedEvents());
  EXPECT_EQ(Run.Passed(), 3);
  ExpectAllExtracted();
  EXPECT_EQ(Run.UnZip.DiskSpann().WantedDisk, Disks->Count() + 1);
  EXPECT_EQ(Drives.LastProbePrefix, std::string(kWriteProbePrefix));
}

TEST_F(SpannedSetTest, TheDiskAlreadyInTheDriveIsTakenAtOnce) {
  SwapOnRequest();
  Disks->Insert(Disks->Count());
  Run.UnZip.SetArchiveFile(Disks->ArchivePath().string());
  ASSERT_EQ(Run.UnZip.ArcType(), TArcType::atZipDS);
  EXPECT_EQ(Run.UnZip.Activate(), 3);
  std::vector<std::string> Expected = ExpectedEvents();
  Expected.erase(Expected.begin());
  EXPECT_EQ(Run.Events, Expected);
  ExpectAllExtracted();
}

TEST_F(SpannedSetTest, AnEntryWhoseHeaderStartsADiskBringsThatDiskUp) {
  UseSet(TSetLayout::slHeaderStartsPart);
  ASSERT_EQ(Disks->Count(), 3);
  ASSERT_TRUE(StartsWithLocalHeader(Parts[1])) << "zip laid the set out differently";
  SwapOnRequest();
  Disks->Insert(3);
  EXPECT_EQ(Run.Run(Disks->ArchivePath()), 3);
  EXPECT_TRUE(Run.Reports.empty()) << Run.Reports.front().ECode;
  // a.bin ends with disk 1; b.bin starts disk 2 and goes on to disk 3, where c.txt follows.
  EXPECT_EQ(Run.Events, (std::vector<std::string>{"first", "next 2", "next 3"}));
  EXPECT_EQ(Run.Passed(), 3);
  ExpectAllExtracted();
}

TEST_F(SpannedSetTest, AWrongDiskIsRefused) {
  SwapOnRequest();
  int FirstRequests = 0;
  Run.UnZip.OnGetZipFirstDisk = [&](TZipCommon*, bool& Cancel) {
    ++FirstRequests;
    // The user puts the second disk in first, then the right one.
    Disks->Insert(FirstRequests == 1 ? 2 : 1);
    Cancel = false;
  };
  Disks->Insert(Disks->Count());
  EXPECT_EQ(Run.Run(Disks->ArchivePath()), 3);
  EXPECT_EQ(FirstRequests, 2);
  ExpectAllExtracted();
}

TEST_F(SpannedSetTest, ACancelledPromptEndsTheRunWithoutExtracting) {
  SwapOnRequest();
  Run.UnZip.OnGetZipFirstDisk = [&](TZipCommon*, bool&) { Run.Events.push_back("first"); };
  Disks->Insert(Disks->Count());
  EXPECT_EQ(Run.Run(Disks->ArchivePath()), 0);
  EXPECT_EQ(Run.Events, (std::vector<std::string>{"first"}));
  EXPECT_TRUE(Run.UnZip.Cancel());
  EXPECT_TRUE(Run.Ends.empty());
  EXPECT_FALSE(fs::exists(Out / "a.bin"));
}

TEST_F(SpannedSetTest, ACancelledNextDiskLeavesTheFirstFileShort) {
  SwapOnRequest();
  Run.UnZip.OnGetZipNextDisk = [&](TZipCommon*, const std::string& Disk, bool&) {
    Run.Events.push_back("next " + Disk);
  };
  Disks->Insert(Disks->Count());
  Run.Run(Disks->ArchivePath());
  EXPECT_EQ(Run.Events, (std::vector<std::string>{"first", "next 2"}));
  ASSERT_EQ(Run.Ends.size(), 1u);
  EXPECT_FALSE(Run.Ends[0].second);
  // The cut file never replaces the target with a part of its bytes.
  EXPECT_FALSE(fs::exists(Out / "a.bin") &&
               test::ReadBytes(Out / "a.bin") == Contents.Files["a.bin"]);
}

TEST_F(SpannedSetTest, AMissingDiskEventIsReported) {
  SwapOnRequest();
  Run.UnZip.OnGetZipFirstDisk = nullptr;
  Disks->Insert(Disks->Count());
  EXPECT_EQ(Run.Run(Disks->ArchivePath()), 0);
  ASSERT_FALSE(Run.Reports.empty());
  EXPECT_EQ(Run.Reports[0].ECode, ecEventNotAssigned);
  EXPECT_EQ(Run.Reports[0].ExtendedMsg, "OnGetZipFirstDisk");
  EXPECT_EQ(Run.Reports[0].VolumeID, "1");
  EXPECT_TRUE(Run.UnZip.Cancel());
}

TEST_F(SpannedSetTest, AnEmptyDriveKeepsAskingForTheLastDisk) {
  int LastRequests = 0;
  SwapOnRequest();
  Run.UnZip.OnGetZipLastDisk = [&](TZipCommon*, bool& Cancel) {
    ++LastRequests;
    // Nothing in the drive the first two times.
    Disks->Insert(LastRequests < 3 ? 0 : Disks->Count());
    Cancel = false;
  };
  Disks->Insert(1);
  EXPECT_EQ(Run.Run(Disks->ArchivePath()), 3);
  EXPECT_EQ(LastRequests, 3);
  ExpectAllExtracted();
}

struct TDriveFault {
  const char* Name;
  bool Ready;
  bool WriteProtected;
  int Code;
};

class SpannedDriveFaultTest : public SpannedSetTest,
                              public ::testing::WithParamInterface<TDriveFault> {};

TEST_P(SpannedDriveFaultTest, NothingIsExtracted) {
  SwapOnRequest();
  Disks->Insert(Disks->Count());
  Run.UnZip.SetArchiveFile(Disks->ArchivePath().string());
  ASSERT_EQ(Run.UnZip.ArcType(), TArcType::atZipDS);
  Drive->Ready = GetParam().Ready;
  Drive->WriteProtected = GetParam().WriteProtected;
  EXPECT_EQ(Run.UnZip.Activate(), 0);
  ASSERT_EQ(Run.Reports.size(), 1u);
  EXPECT_EQ(Run.Reports[0].ECode, GetParam().Code);
  EXPECT_EQ(Run.Reports[0].FileName, Drive->Root.string());
  EXPECT_EQ(Run.Reports[0].ExtendedMsg, "0");
  EXPECT_EQ(Run.Reports[0].VolumeID, "0");
  EXPECT_TRUE(Run.Events.empty());
  EXPECT_FALSE(fs::exists(Out / "a.bin"));
}

INSTANTIATE_TEST_SUITE_P(Faults, SpannedDriveFaultTest,
                         ::testing::Values(TDriveFault{"WriteProtected", true, true,
                                                       ecWriteProtected},
                                           TDriveFault{"NotReady", false, false, ecNotAccessible}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
