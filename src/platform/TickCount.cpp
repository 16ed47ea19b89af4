#include "platform/TickCount.h"

#include <chrono>

namespace ruvevid {

std::uint32_t TickCount() {
  const auto Now = std::chrono::steady_clock::now().time_since_epoch();
  const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(Now).count();
  return static_cast<std::uint32_t>(Ms);
}

}  // namespace ruvevid
