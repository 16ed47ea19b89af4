#pragma once
// Conversions between calendar time and the local time of the machine's time zone.

#include <ctime>
#include <optional>

namespace ruvevid {

// The local broken-down time of Time; nothing when the system cannot convert it.
std::optional<std::tm> ToLocalTime(std::time_t Time);
// The calendar time of a local broken-down time (tm_isdst -1 lets the system decide); nothing
// when it has none.
std::optional<std::time_t> FromLocalTime(std::tm Local);

}  // namespace ruvevid
