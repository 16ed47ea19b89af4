#pragma once
// MS-DOS date-time values: date in the high 16 bits, time in the low 16 bits, local time,
// two-second resolution, years 1980 to 2107.

#include <cstdint>
#include <ctime>
#include <optional>

namespace ruvevid {

// 1980-01-01 00:01:00, what a file whose own date cannot be read is given.
inline constexpr std::uint32_t kDefaultDosDateTime = 0x00210020u;

// The DOS date-time of a point in time, in local time; nothing outside 1980..2107.
std::optional<std::uint32_t> TimeToDosDateTime(std::time_t Time);
// The point in time a DOS date-time names, taken as local time; nothing for an invalid value.
std::optional<std::time_t> DosDateTimeToTime(std::uint32_t DosDateTime);

// DosDateTimeToTime for the entries of one run. The system's conversion reads the time zone again
// at every call (a file-system call per entry); the entries of an archive share few half hours,
// and time zones change their offset only on the hour or the half hour, so the start of each half
// hour met is converted once and the minutes and seconds past it are added.
class TDosTimeConverter {
 public:
  std::optional<std::time_t> ToTime(std::uint32_t DosDateTime);
  void Clear() { FHalfHour = kNone; }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::uint32_t FHalfHour = kNone;  // the DOS date-time of the last half hour's start converted
  std::optional<std::time_t> FHalfHourTime;
};

}  // namespace ruvevid
