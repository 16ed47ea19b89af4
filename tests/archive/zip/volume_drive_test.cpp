// The drive-query object over a simulated drive and over the real drives of this machine.

#include <gtest/gtest.h>

#include "archive/base/ArcErrors.h"
#include "archive/zip/DiskManager.h"
#include "archive/zip/VolumeSupport.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace volume_test;

struct TLabelCase {
  const char* Label;
  std::uint16_t Number;
};

class LabelDiskNumberTest : public ::testing::TestWithParam<TLabelCase> {};

TEST_P(LabelDiskNumberTest, ReadsTheNumberAfterTheLastMarker) {
  EXPECT_EQ(LabelDiskNumberOf(GetParam().Label), GetParam().Number) << GetParam().Label;
}

INSTANTIATE_TEST_SUITE_P(
    Labels, LabelDiskNumberTest,
    ::testing::Values(TLabelCase{"PKBACK# 001", 1}, TLabelCase{"PKBACK# 12", 12},
                      TLabelCase{"x PKBACK# 001 PKBACK# 003", 3}, TLabelCase{"PKBACK# 00a", 0},
                      TLabelCase{"PKBACK# ", 0}, TLabelCase{"PKBACK#001", 0},
                      TLabelCase{"pkback# 001", 0}, TLabelCase{"DATA", 0}, TLabelCase{"", 0},
                      TLabelCase{"PKBACK# 65535", 65535}, TLabelCase{"PKBACK# 65536", 0},
                      TLabelCase{"PKBACK# 1 ", 0}));

TEST(DriveTypeNames, AreTheNamesOfTheDriveKinds) {
  EXPECT_EQ(DriveTypeNames[0], "Unknown");
  EXPECT_EQ(DriveTypeNames[3], "Fixed");
  EXPECT_EQ(DriveTypeNames[5], "CD-ROM");
  EXPECT_EQ(DriveTypeNames[7], "3½ Floppy");
  EXPECT_EQ(DriveTypeNames[8], "5¼ Floppy");
}

class DiskManagerTest : public ::testing::Test {
 protected:
  DiskManagerTest() : Drive(Drives.Add(Temp / "a")), Manager(Drives) {
    Report = [this](const std::string& FileName, const std::string&, const std::string&,
                    int ECode) { Reports.emplace_back(FileName, ECode); };
  }

  bool Query(const TDiskPrompt& NotReady = {}, const TDiskPrompt& WriteProtect = {}) {
    return Manager.QueryDrive((Temp / "a" / "set.zip").string(), NotReady, WriteProtect, Report,
                              {});
  }

  test::TempDir Temp;
  TFakeDrives Drives;
  TFakeDrive& Drive;
  TDiskManager Manager;
  TDiskErrorCallback Report;
  std::vector<std::pair<std::string, int>> Reports;
};

TEST_F(DiskManagerTest, FillsTheDriveFacts) {
  Drive.Label = "PKBACK# 004";
  ASSERT_TRUE(Query());
  EXPECT_EQ(Manager.Drive(), Drive.Root.string());
  EXPECT_EQ(Manager.DriveType(), TDriveType::dtRemovable);
  EXPECT_EQ(Manager.DriveTypeName(), "Unknown");
  EXPECT_EQ(Manager.LabelDiskNumber(), 4);
  EXPECT_EQ(Manager.VolumeLabel(), "PKBACK# 004");
  EXPECT_EQ(Manager.SerialNumberText(), "1234ABCD");
  EXPECT_EQ(Manager.FileSystemName(), "FAT");
  EXPECT_EQ(Manager.DriveSize(), 1440u * 1024u);
  EXPECT_TRUE(Reports.empty());
}

TEST_F(DiskManagerTest, ANotReadyPromptThatRetriesSucceedsOnceTheDriveIsReady) {
  Drive.Ready = false;
  int Prompts = 0;
  const TDiskPrompt NotReady = [&](TDiskCommon* Sender, bool& Cancel) {
    EXPECT_EQ(Sender, &Manager);
    EXPECT_TRUE(Cancel);
    if (++Prompts == 2) Drive.Ready = true;
    Cancel = false;
  };
  EXPECT_TRUE(Query(NotReady));
  EXPECT_EQ(Prompts, 2);
  EXPECT_TRUE(Reports.empty());
}

TEST_F(DiskManagerTest, CancelledPromptsReportUserCanceled) {
  Drive.WriteProtected = true;
  int Prompts = 0;
  const TDiskPrompt Cancelling = [&](TDiskCommon*, bool&) { ++Prompts; };
  EXPECT_FALSE(Query({}, Cancelling));
  EXPECT_EQ(Prompts, 1);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0].second, ecUserCanceled);
}

TEST_F(DiskManagerTest, TheRetryBoxRepeatsTheVolumeRead) {
  Drive.VolumeInfoFailures = 2;
  std::vector<std::string> Texts;
  Manager.ApplicationTitle = "RuvuradUduru";
  Manager.RetryCancelBox = [&](const std::string& Caption, const std::string& Text) {
    EXPECT_EQ(Caption, "RuvuradUduru");
    Texts.push_back(Text);
    return true;
  };
  EXPECT_TRUE(Query());
  ASSERT_EQ(Texts.size(), 2u);
  EXPECT_EQ(Texts[0], Drive.Root.string() + "/" + std::string(ErrorText(ecNotAccessible)) +
                          "\r\n\r\nThe device is not ready");
  EXPECT_TRUE(Reports.empty());
}

TEST_F(DiskManagerTest, CancelInTheRetryBoxReportsNotAccessible) {
  Drive.VolumeInfoFailures = 1;
  int Boxes = 0;
  Manager.RetryCancelBox = [&](const std::string&, const std::string&) {
    ++Boxes;
    return false;
  };
  EXPECT_FALSE(Query());
  EXPECT_EQ(Boxes, 1);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], std::make_pair(Drive.Root.string(), ecNotAccessible));
}

TEST_F(DiskManagerTest, ANetworkShareIsNeitherWaitedForNorProbed) {
  Drive.Type = TDriveType::dtRemote;
  Drive.WriteProtected = true;
  EXPECT_TRUE(Query());
  EXPECT_EQ(Drives.WriteProbes, 0);
  EXPECT_EQ(Manager.DriveTypeName(), "Network");
  // Its size is not read either.
  EXPECT_EQ(Manager.DriveSize(), 0u);
  EXPECT_TRUE(Reports.empty());
}

TEST_F(DiskManagerTest, ADriveWithoutRootIsNotAccessible) {
  Drive.Type = TDriveType::dtNoRootDir;
  EXPECT_FALSE(Query());
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0].second, ecNotAccessible);
}

TEST(RealDrives, AFolderOnTheFixedDiskIsFixed) {
  test::TempDir Folder;
  const auto SystemDrives = NewSystemDriveLayer();
  IDriveLayer& Drives = *SystemDrives;
  const auto Facts = Drives.QueryDrive(Folder.path().string());
  ASSERT_TRUE(Facts.has_value());
  if (Facts->DriveType != TDriveType::dtFixed) {
    GTEST_SKIP() << "the scratch folder is not on a fixed disk here (" << Facts->FileSystem << ")";
  }
  TDiskManager Manager(Drives);
  std::vector<int> Codes;
  const TDiskErrorCallback Report = [&](const std::string&, const std::string&, const std::string&,
                                        int ECode) { Codes.push_back(ECode); };
  ASSERT_TRUE(Manager.QueryDrive((Folder / "x.zip").string(), {}, {}, Report, {}));
  EXPECT_TRUE(Codes.empty());
  EXPECT_EQ(Manager.DriveTypeName(), "Fixed");
  EXPECT_EQ(Manager.Drive(), Facts->Drive);
  EXPECT_EQ(Manager.VolumeLabel(), Facts->VolumeLabel);
  EXPECT_GT(Manager.DriveSize(), 0u);
  EXPECT_GT(Manager.FreeSpace(), 0u);
  EXPECT_LE(Manager.FreeSpace(), Manager.DriveSize());
  EXPECT_GT(Manager.MaxComponentLength(), 0u);
  EXPECT_EQ(Manager.SerialNumberText().size(), 8u);
  // The write probe left nothing behind at the drive's root.
  for (const auto& Entry : fs::directory_iterator(Facts->Drive)) {
    EXPECT_NE(Entry.path().filename().string().rfind(std::string(kWriteProbePrefix), 0), 0u)
        << Entry.path();
  }
}

TEST(RealDrives, AMissingDriveFolderIsNotReady) {
  const auto Drives = NewSystemDriveLayer();
  EXPECT_FALSE(Drives->DiskSpace("/no/such/mount/point").has_value());
  std::string Error;
  EXPECT_FALSE(Drives->VolumeInformation("/no/such/mount/point", Error).has_value());
  EXPECT_FALSE(Error.empty());
}

}  // namespace
}  // namespace ruvevid
