// Progress: Percent's rounding and clamping, ReportProgress, SkipEntryProgress, the progress
// handler's message pump, and the stored copy's progress.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "FrameTestSupport.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using test::FakeApplication;
using test::TMemoryStream32;
using test::TProbeUnZip;

struct PercentCase {
  std::int64_t A;
  std::int64_t B;
  int Expected;
};

class PercentTable : public ::testing::TestWithParam<PercentCase> {};

TEST_P(PercentTable, RoundsHalvesToEvenAndClamps) {
  const auto& Case = GetParam();
  EXPECT_EQ(Percent(Case.A, Case.B), Case.Expected) << Case.A << " / " << Case.B;
}

constexpr std::int64_t GB = 1024LL * 1024 * 1024;
constexpr std::int64_t Max64 = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentTable,
    ::testing::Values(PercentCase{0, 0, 0}, PercentCase{5, 0, 0}, PercentCase{5, -1, 0},
                      PercentCase{0, 10, 0}, PercentCase{10, 10, 100}, PercentCase{1, 2, 50},
                      PercentCase{1, 3, 33}, PercentCase{2, 3, 67},
                      // Exact halves go to the even neighbour.
                      PercentCase{1, 200, 0}, PercentCase{3, 200, 2}, PercentCase{5, 200, 2},
                      PercentCase{7, 200, 4}, PercentCase{1, 8, 12}, PercentCase{3, 8, 38},
                      PercentCase{197, 200, 98}, PercentCase{199, 200, 100},
                      // Just off a half.
                      PercentCase{1001, 200000, 1}, PercentCase{999, 200000, 0},
                      // Clamped.
                      PercentCase{101, 100, 100}, PercentCase{150, 100, 100},
                      PercentCase{-1, 100, 0}, PercentCase{-100, 100, 0},
                      // 64-bit counts.
                      PercentCase{5 * GB, 10 * GB, 50}, PercentCase{6 * GB + 1, 8 * GB, 75},
                      PercentCase{Max64 / 2, Max64, 50}, PercentCase{Max64, Max64, 100},
                      PercentCase{1, Max64, 0}));

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Arc.OnProgress = [this](TZipCommon*, std::uint8_t File, std::uint8_t Archive) {
      Reports.push_back({File, Archive});
    };
  }
  FakeApplication App;
  TProbeUnZip Arc{&App};
  std::vector<std::pair<int, int>> Reports;
};

TEST_F(ProgressTest, ReportProgressComputesBothPercentages) {
  Arc.Run().BytesRemaining = 250;
  Arc.ReportProgress(30, 40, 1000);
  EXPECT_EQ(Arc.Run().ProgressByFile, 75);
  EXPECT_EQ(Arc.Run().ProgressByArchive, 75);
  // Done beyond Size gives 100; Total - BytesRemaining below 0 gives 0.
  Arc.Run().BytesRemaining = 2000;
  Arc.ReportProgress(50, 40, 1000);
  EXPECT_EQ(Reports, (std::vector<std::pair<int, int>>{{75, 75}, {100, 0}}));
  EXPECT_EQ(App.Pumps, 2);
}

TEST_F(ProgressTest, PumpsEvenWithoutOnProgress) {
  Arc.OnProgress = nullptr;
  Arc.ReportProgress(1, 2, 2);
  Arc.ReportProgress(2, 2, 2);
  EXPECT_EQ(App.Pumps, 2);
  EXPECT_EQ(Arc.Run().ProgressByFile, 100);
}

TEST_F(ProgressTest, NoApplicationIsFine) {
  TProbeUnZip Bare;
  int Calls = 0;
  Bare.OnProgress = [&](TZipCommon*, std::uint8_t, std::uint8_t) { ++Calls; };
  Bare.ReportProgress(1, 2, 2);
  EXPECT_EQ(Calls, 1);
}

// They end the run at Activate, which reports them; the percentages are set before.
TEST_F(ProgressTest, ExceptionsFromOnProgressArePassedOn) {
  Arc.OnProgress = [](TZipCommon*, std::uint8_t, std::uint8_t) {
    throw std::runtime_error("handler");
  };
  EXPECT_THROW(Arc.ReportProgress(1, 2, 2), std::runtime_error);
  EXPECT_EQ(Arc.Run().ProgressByFile, 50);
  App.OnPump = [](int) { throw 7; };
  EXPECT_THROW(Arc.ReportProgress(1, 4, 2), int);
  EXPECT_EQ(Arc.Run().ProgressByFile, 25);
}

TEST_F(ProgressTest, SkipEntryProgress) {
  Arc.Run().TotalUnpackedSize = 400;
  Arc.Run().BytesRemaining = 400;
  TZipEntryInfo Info;
  Info.UnpackedSize = 100;
  Arc.SkipEntryProgress(Info);
  EXPECT_EQ(Arc.Run().BytesRemaining, 300);
  Info.UnpackedSize = 0;
  Arc.SkipEntryProgress(Info);
  EXPECT_EQ(Reports, (std::vector<std::pair<int, int>>{{100, 25}, {0, 25}}));
}

// Against the unpacked total, like every other entry, so a mixed archive never falls back.
TEST_F(ProgressTest, StoredCopyReportsAfterEveryBlockAgainstTheUnpackedTotal) {
  std::vector<std::uint8_t> Data(70000, 0x5A);
  TMemoryStream32 Input(Data);
  TMemoryStream32 Output;
  Arc.Run().TotalPackedSize = 1;  // not used by the stored copy
  Arc.Run().TotalUnpackedSize = 140000;
  Arc.Run().BytesRemaining = 140000;
  TZipEntryInfo Info;
  Info.UnpackedSize = Data.size();
  EXPECT_EQ(Arc.CopyStored(Input, Output, Info, kCrcKind32), 0);
  EXPECT_EQ(Output.Data(), Data);
  EXPECT_EQ(Reports, (std::vector<std::pair<int, int>>{{47, 23}, {94, 47}, {100, 50}}));
  EXPECT_EQ(Arc.Run().BytesRemaining, 70000);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, UpdateCrc32(kCrc32Start, Data.data(), Data.size()));
}

TEST_F(ProgressTest, EmptyStoredEntryReportsNothing) {
  TMemoryStream32 Input;
  TMemoryStream32 Output;
  TZipEntryInfo Info;
  EXPECT_EQ(Arc.CopyStored(Input, Output, Info, kCrcKind32), 0);
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(App.Pumps, 0);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, kCrc32Start);
}

TEST_F(ProgressTest, TruncatedStoredEntryReturnsWhatIsLeft) {
  TMemoryStream32 Input(std::vector<std::uint8_t>(1000, 1));
  TMemoryStream32 Output;
  TZipEntryInfo Info;
  Info.UnpackedSize = 50000;
  EXPECT_EQ(Arc.CopyStored(Input, Output, Info, kCrcKind32), 49000);
  EXPECT_EQ(Output.Data().size(), 1000u);
}

TEST_F(ProgressTest, ProgressHandlerIsReboundByEveryRun) {
  int Custom = 0;
  Arc.ProgressHandler = [&](std::uint8_t, std::uint8_t) { ++Custom; };
  Arc.ReportProgress(1, 1, 1);
  EXPECT_EQ(Custom, 1);
  EXPECT_TRUE(Reports.empty());
  test::TempDir Dir;
  test::WriteBytes(Dir / "a.bin", {1});
  Arc.SetArchiveFile((Dir / "a.bin").string());
  Arc.Process = [](TProbeUnZip& Self, std::unique_ptr<TStream32>&) {
    Self.ReportProgress(1, 1, 1);
  };
  Arc.Activate();
  EXPECT_EQ(Custom, 1);
  EXPECT_EQ(Reports.size(), 1u);
}

}  // namespace
}  // namespace ruvevid
