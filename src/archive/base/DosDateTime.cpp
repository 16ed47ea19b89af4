#include "archive/base/DosDateTime.h"

#include "platform/LocalTime.h"

namespace ruvevid {

std::optional<std::uint32_t> TimeToDosDateTime(std::time_t Time) {
  const std::optional<std::tm> Converted = ToLocalTime(Time);
  if (!Converted) return std::nullopt;
  const std::tm& Local = *Converted;
  const int Year = Local.tm_year + 1900;
  if (Year < 1980 || Year > 2107) return std::nullopt;
  const auto Date =
      static_cast<std::uint32_t>(((Year - 1980) << 9) | ((Local.tm_mon + 1) << 5) | Local.tm_mday);
  const auto Clock =
      static_cast<std::uint32_t>((Local.tm_hour << 11) | (Local.tm_min << 5) | (Local.tm_sec / 2));
  return (Date << 16) | Clock;
}

std::optional<std::time_t> DosDateTimeToTime(std::uint32_t DosDateTime) {
  const std::uint32_t Date = DosDateTime >> 16;
  const std::uint32_t Clock = DosDateTime & 0xFFFFu;
  std::tm Local{};
  Local.tm_year = static_cast<int>((Date >> 9) & 0x7F) + 80;
  Local.tm_mon = static_cast<int>((Date >> 5) & 0x0F) - 1;
  Local.tm_mday = static_cast<int>(Date & 0x1F);
  Local.tm_hour = static_cast<int>((Clock >> 11) & 0x1F);
  Local.tm_min = static_cast<int>((Clock >> 5) & 0x3F);
  Local.tm_sec = static_cast<int>((Clock & 0x1F) * 2);
  if (Local.tm_mon < 0 || Local.tm_mon > 11 || Local.tm_mday < 1 || Local.tm_hour > 23 ||
      Local.tm_min > 59 || Local.tm_sec > 59)
    return std::nullopt;
  Local.tm_isdst = -1;
  return FromLocalTime(Local);
}

std::optional<std::time_t> TDosTimeConverter::ToTime(std::uint32_t DosDateTime) {
  constexpr std::uint32_t kMinutesAndSeconds = 0x07FFu;  // the low 11 bits of the time word
  constexpr std::uint32_t kHalfHour = 30;
  const std::uint32_t Minutes = (DosDateTime >> 5) & 0x3Fu;
  const std::uint32_t Seconds = (DosDateTime & 0x1Fu) * 2;
  if (Minutes > 59 || Seconds > 59) return std::nullopt;
  const std::uint32_t Start = Minutes < kHalfHour ? 0 : kHalfHour;
  const std::uint32_t HalfHour = (DosDateTime & ~kMinutesAndSeconds) | (Start << 5);
  if (HalfHour != FHalfHour) {
    FHalfHourTime = DosDateTimeToTime(HalfHour);
    FHalfHour = HalfHour;
  }
  if (!FHalfHourTime) return std::nullopt;
  return *FHalfHourTime + static_cast<std::time_t>((Minutes - Start) * 60 + Seconds);
}

}  // namespace ruvevid
