// Entry dates converted once an hour: the same instants as a conversion per entry, in zones whose
// offset changes by an hour or by half an hour, across their changes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "archive/base/DosDateTime.h"
#include "platform/LocalTime.h"

namespace ruvevid {
namespace {

// Sets the process's time zone for one test and restores it afterwards.
class TZoneScope {
 public:
  explicit TZoneScope(const char* Zone) {
    if (const char* Old = std::getenv("TZ")) FOld = Old;
    ::setenv("TZ", Zone, 1);
    ::tzset();
  }
  ~TZoneScope() {
    if (FOld.empty()) {
      ::unsetenv("TZ");
    } else {
      ::setenv("TZ", FOld.c_str(), 1);
    }
    ::tzset();
  }
  TZoneScope(const TZoneScope&) = delete;
  TZoneScope& operator=(const TZoneScope&) = delete;

 private:
  std::string FOld;
};

std::uint32_t Dos(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  return static_cast<std::uint32_t>(((Year - 1980) << 25) | (Month << 21) | (Day << 16) |
                                    (Hour << 11) | (Minute << 5) | (Second / 2));
}

struct TZoneCase {
  const char* Zone;
  int Month;  // the days around each change of the zone's offset in 2024
  int Day;
};

class DosTimeConverterTest : public ::testing::TestWithParam<TZoneCase> {};

TEST_P(DosTimeConverterTest, GivesTheInstantsOfAConversionPerEntry) {
  const TZoneCase& Case = GetParam();
  const TZoneScope Zone(Case.Zone);
  TDosTimeConverter Converter;
  int Compared = 0;
  for (int Day = Case.Day - 1; Day <= Case.Day + 1; ++Day) {
    for (int Minute = 0; Minute < 24 * 60; Minute += 5) {
      const int Second = (Minute * 7) % 60;
      const std::uint32_t Value = Dos(2024, Case.Month, Day, Minute / 60, Minute % 60, Second);
      const auto Direct = DosDateTimeToTime(Value);
      const auto Converted = Converter.ToTime(Value);
      ASSERT_EQ(Direct.has_value(), Converted.has_value()) << Value;
      if (!Direct) continue;  // no such day
      const std::tm Shown = *ToLocalTime(*Direct);
      const bool Exists = Shown.tm_hour == Minute / 60 && Shown.tm_min == Minute % 60;
      if (!Exists) {
        // A time the change of offset skips: moved forward as the system moves it.
        EXPECT_EQ(*Converted, *Direct) << Value;
        continue;
      }
      // A time the change repeats has two instants, and either is right: the clock shows the same.
      const std::tm Back = *ToLocalTime(*Converted);
      EXPECT_EQ(Back.tm_mday, Day) << Value;
      EXPECT_EQ(Back.tm_hour * 60 + Back.tm_min, Minute) << Value;
      EXPECT_EQ(Back.tm_sec, Second - Second % 2) << Value;
      ++Compared;
    }
  }
  EXPECT_GT(Compared, 500);
  EXPECT_FALSE(Converter.ToTime(Dos(2024, 1, 1, 10, 61, 0)).has_value());
  EXPECT_FALSE(Converter.ToTime(Dos(2024, 13, 1, 10, 0, 0)).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Zones, DosTimeConverterTest,
    ::testing::Values(TZoneCase{"UTC", 6, 15}, TZoneCase{"Europe/Berlin", 3, 31},
                      TZoneCase{"Europe/Berlin", 10, 27}, TZoneCase{"Australia/Lord_Howe", 4, 7},
                      TZoneCase{"Australia/Lord_Howe", 10, 6}),
    [](const auto& Info) {
      std::string Name = std::string(Info.param.Zone) + "_" + std::to_string(Info.param.Month);
      for (char& C : Name)
        if (C == '/') C = '_';
      return Name;
    });

}  // namespace
}  // namespace ruvevid
