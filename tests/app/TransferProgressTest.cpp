// The byte count under the download bar: its text, and how often it changes.

#include <gtest/gtest.h>

#include <string>

#include "app/TransferProgress.h"

namespace ruvevid {
namespace {

struct ProgressTextCase {
  std::int64_t Current;
  std::int64_t Total;
  double BytesPerSecond;
  const char* Text;
};

class ProgressTextTest : public testing::TestWithParam<ProgressTextCase> {};

TEST_P(ProgressTextTest, CountPercentSpeedAndTimeLeft) {
  TTransferProgress Progress(',');
  Progress.Begin(GetParam().Total, 0);
  EXPECT_EQ(Progress.Text(GetParam().Current, GetParam().BytesPerSecond), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProgressTextTest,
    testing::Values(ProgressTextCase{68'388'864, 243'573'760, 12.4e6,
                                     "66,786 / 237,865 KBytes · 28 % · 12.4 MB/s · 0:15 남음"},
                    ProgressTextCase{0, 1'000'000, 0, "0 / 977 KBytes · 0 %"},
                    ProgressTextCase{999'999, 1'000'000, 0, "977 / 977 KBytes · 99 %"},
                    ProgressTextCase{1'000'000, 1'000'000, 5e6,
                                     "977 / 977 KBytes · 100 % · 5.0 MB/s · 0:00 남음"},
                    ProgressTextCase{0, 2'000'000'000, 100e3,
                                     "0 / 1,953,125 KBytes · 0 % · 0.1 MB/s · 5:33:20 남음"}));

TEST(ProgressTextTest, TimeLeftIsMinutesAndSecondsOrHoursFromAnHourOn) {
  EXPECT_EQ(FormatTimeLeft(0), "0:00");
  EXPECT_EQ(FormatTimeLeft(59), "0:59");
  EXPECT_EQ(FormatTimeLeft(3599), "59:59");
  EXPECT_EQ(FormatTimeLeft(3600), "1:00:00");
  EXPECT_EQ(FormatTimeLeft(36'061), "10:01:01");
}

TEST(TransferProgressTest, SpeedIsTheAverageOfTheLastThreeSeconds) {
  TTransferProgress Progress(',');
  Progress.Begin(100'000'000, 0);
  // 1 MB/s for five seconds, then 4 MB/s: three seconds on, the speed shown forgets the start.
  std::string Last;
  std::int64_t Bytes = 0;
  for (std::uint32_t Ms = 100; Ms <= 8100; Ms += 100) {
    Bytes += Ms <= 5000 ? 100'000 : 400'000;
    if (const auto Text = Progress.Block(Bytes, Ms)) Last = *Text;
  }
  EXPECT_NE(Last.find(" · 4.0 MB/s · "), std::string::npos) << Last;
}

}  // namespace
}  // namespace ruvevid
