#pragma once
// A millisecond tick counter on a monotonic clock (the stand-in for GetTickCount). It wraps around
// after about 49.7 days; differences taken in unsigned 32-bit arithmetic stay right across a wrap.

#include <cstdint>

namespace ruvevid {

std::uint32_t TickCount();

}  // namespace ruvevid
