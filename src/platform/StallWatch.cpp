#include "platform/StallWatch.h"

#ifndef RUVEVID_STALL_SECONDS
#define RUVEVID_STALL_SECONDS 30
#endif

namespace ruvevid {

long DefaultStallTimeMs() {
  return RUVEVID_STALL_SECONDS * 1000L;
}

void TStallWatch::Received(std::size_t Bytes) {
  if (Bytes == 0) return;
  FRecent.push_back({FNowMs, static_cast<std::int64_t>(Bytes)});
  FRecentBytes += static_cast<std::int64_t>(Bytes);
  // Keep only as many of the latest arrivals as make the minimum: older ones cannot matter.
  while (FRecent.size() > 1 && FRecentBytes - FRecent.front().Bytes >= FMinBytes) {
    FRecentBytes -= FRecent.front().Bytes;
    FRecent.pop_front();
  }
}

std::int64_t TStallWatch::MsUntilStall() const {
  // Until the minimum has come at all, the window runs from the request's start.
  const std::int64_t Since = FRecentBytes >= FMinBytes ? FRecent.front().AtMs : 0;
  return FWindowMs - (FNowMs - Since);
}

}  // namespace ruvevid
