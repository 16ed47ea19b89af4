#include "platform/LocalTime.h"

namespace ruvevid {

std::optional<std::tm> ToLocalTime(std::time_t Time) {
  std::tm Local{};
  if (::localtime_s(&Local, &Time) != 0) return std::nullopt;
  return Local;
}

std::optional<std::time_t> FromLocalTime(std::tm Local) {
  const std::time_t Time = std::mktime(&Local);
  if (Time == static_cast<std::time_t>(-1)) return std::nullopt;
  return Time;
}

}  // namespace ruvevid
