// The run timer on a fake millisecond clock, alone and inside a run, and the error reports that
// pause it.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "FrameTestSupport.h"
#include "archive/base/ArcTimer.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  std::uint32_t Clock = 1000;
  TArcTimer Timer{[this] { return Clock; }};
};

TEST_F(TimerTest, StartStop) {
  Timer.Start();
  EXPECT_TRUE(Timer.Running());
  EXPECT_EQ(Timer.StartTick(), 1000u);
  Clock = 3500;
  Timer.Stop();
  EXPECT_FALSE(Timer.Running());
  EXPECT_EQ(Timer.StopTick(), 3500u);
  EXPECT_EQ(Timer.StartTick(), 0u);
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 2.5f);
  // Stop, Pause and Resume do nothing while the timer is not running.
  Clock = 9000;
  Timer.Stop();
  Timer.Pause();
  Timer.Resume();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 2.5f);
  EXPECT_EQ(Timer.StopTick(), 3500u);
  // Start clears the elapsed time.
  Timer.Start();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.0f);
}

TEST_F(TimerTest, PausedTimeIsLeftOut) {
  Timer.Start();
  Clock = 1500;
  Timer.Pause();
  EXPECT_EQ(Timer.PauseTick(), 1500u);
  Clock = 4000;
  Timer.Resume();
  EXPECT_EQ(Timer.StartTick(), 3500u);
  Clock = 4250;
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.75f);
}

TEST_F(TimerTest, NestedPausesCountOnce) {
  Timer.Start();
  Clock = 1100;
  Timer.Pause();
  Clock = 1200;
  Timer.Pause();
  Clock = 1300;
  Timer.Resume();
  EXPECT_TRUE(Timer.Paused());
  Clock = 1400;
  Timer.Resume();
  EXPECT_FALSE(Timer.Paused());
  Clock = 1500;
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.2f);
  // An unmatched Resume changes nothing.
  Timer.Start();
  Clock = 1600;
  Timer.Resume();
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.1f);
}

TEST_F(TimerTest, StopWhilePausedCountsUpToThePause) {
  Timer.Start();
  Clock = 1700;
  Timer.Pause();
  Clock = 5000;
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.7f);
}

// Ticks that read negative as signed 32-bit numbers (a system up for more than 24.8 days) and a
// wrap of the counter still measure.
TEST_F(TimerTest, LargeTicksAndWrapAround) {
  Clock = 0x90000000u;
  Timer.Start();
  EXPECT_TRUE(Timer.Running());
  Clock = 0x90000000u + 1234;
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 1.234f);

  Clock = 0xFFFFFF00u;
  Timer.Start();
  Clock = 0x00000100u;
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.512f);

  Clock = 0;
  Timer.Start();
  EXPECT_TRUE(Timer.Running());
  Clock = 10;
  Timer.Stop();
  EXPECT_FLOAT_EQ(Timer.Elapsed(), 0.01f);
}

TEST(TimerRealClock, Advances) {
  TArcTimer Timer;
  Timer.Start();
  Timer.Stop();
  EXPECT_GE(Timer.Elapsed(), 0.0f);
  EXPECT_LT(Timer.Elapsed(), 5.0f);
}

TEST(TimerInARun, HandlersAreLeftOut) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "a.bin", {1, 2, 3});
  std::uint32_t Clock = 50000;
  test::TProbeUnZip Arc;
  Arc.Timer().SetTickSource([&] { return Clock; });
  Arc.SetArchiveFile((Dir / "a.bin").string());
  float Reported = -1.0f;
  bool PausedInError = false;
  Arc.OnElapsedTime = [&](TZipCommon*, float Elapsed) { Reported = Elapsed; };
  Arc.OnError = [&](TZipCommon* Sender, const std::string&, const std::string&, const std::string&,
                    int) {
    PausedInError = Sender->Timer().Paused();
    Clock += 10000;
  };
  Arc.Process = [&](test::TProbeUnZip& Self, std::unique_ptr<TStream32>&) {
    Clock += 300;
    Self.ReportError("f", "", "0", ecBadBlock);
    Clock += 200;
    try {
      Self.RaiseError("f", "", "0", ecBadBlock);
    } catch (const E_RAISE& Error) {
      EXPECT_EQ(Error.ECode(), ecBadBlock);
      EXPECT_STREQ(Error.what(), "Bad block");
    }
    EXPECT_FALSE(Self.Timer().Paused());
    Clock += 25;
  };
  Arc.Activate();
  EXPECT_TRUE(PausedInError);
  EXPECT_FLOAT_EQ(Reported, 0.525f);
}

TEST(ErrorTexts, EveryCode) {
  const std::vector<std::pair<int, std::string>> Table = {
      {25104, "Unexpected error"},
      {25114, "Bad file header"},
      {25116, "Bad block"},
      {25136, "Error writing to file"},
      {25138, "Error closing file"},
      {25151, "File fails CRC check"},
      {25160, "Disk full"},
      {25170, "is not accessible"},
      {25171, "disk is write protected"},
      {25192, "File not found"},
      {25235, "Error opening file"},
      {25270, "Required event not assigned"},
      {25293, "Ambiguous Shannon-Fano decode tree encountered"},
      {25299, "Stack overflow"},
      {25326, "Unsupported compression method"},
      {25443, "User canceled"},
      {26517, "Invalid password"},
  };
  for (const auto& [Code, Text] : Table) {
    EXPECT_EQ(ErrorText(Code), Text) << Code;
    EXPECT_EQ(std::string(E_RAISE(Code).what()), Text);
  }
  EXPECT_EQ(ErrorText(25101), "");
  EXPECT_EQ(ErrorText(0), "");
}

TEST(ErrorReports, CancelTurnsEveryCodeIntoUserCanceledAndStopsRaising) {
  test::TProbeUnZip Arc;
  std::vector<int> Codes;
  Arc.OnError = [&](TZipCommon*, const std::string&, const std::string&, const std::string&,
                    int ECode) { Codes.push_back(ECode); };
  EXPECT_THROW(Arc.RaiseError("f", "", "0", ecBadBlock), E_RAISE);
  Arc.ReportError("f", "", "0", ecCrcError);
  Arc.SetCancel(true);
  EXPECT_NO_THROW(Arc.RaiseError("f", "", "0", ecBadBlock));
  Arc.ReportError("f", "", "0", ecCrcError);
  EXPECT_EQ(Codes, (std::vector<int>{ecBadBlock, ecCrcError, ecUserCanceled, ecUserCanceled,
                                     ecUserCanceled}));
  // Without OnError, RaiseError still raises.
  test::TProbeUnZip Silent;
  EXPECT_THROW(Silent.RaiseError("f", "", "0", ecDiskFull), E_RAISE);
}

}  // namespace
}  // namespace ruvevid
