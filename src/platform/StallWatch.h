#pragma once
// The stall rule of a request: it is stalled once fewer than a given number of bytes arrived
// during the last window of time spent waiting for it. Time is the request's own wait clock,
// which only runs while the request waits, so a caller that takes its time between two reads
// never makes the server look stalled.

#include <cstddef>
#include <cstdint>
#include <deque>

namespace ruvevid {

// The build's stall time (RUVEVID_STALL_SECONDS), in milliseconds.
long DefaultStallTimeMs();

class TStallWatch {
 public:
  TStallWatch(std::int64_t WindowMs, std::int64_t MinBytes)
      : FWindowMs(WindowMs), FMinBytes(MinBytes) {}

  // The request waited Ms more.
  void Waited(std::int64_t Ms) { FNowMs += Ms; }
  // Bytes arrived now.
  void Received(std::size_t Bytes);

  bool Stalled() const { return MsUntilStall() <= 0; }
  // How much longer the request may wait with nothing arriving before it is stalled.
  std::int64_t MsUntilStall() const;

 private:
  struct TArrival {
    std::int64_t AtMs;
    std::int64_t Bytes;
  };

  std::int64_t FWindowMs;
  std::int64_t FMinBytes;
  std::int64_t FNowMs = 0;
  // The latest arrivals that together make at least FMinBytes (all of them while fewer have come):
  // the oldest one tells when the request last had enough.
  std::deque<TArrival> FRecent;
  std::int64_t FRecentBytes = 0;
};

}  // namespace ruvevid
