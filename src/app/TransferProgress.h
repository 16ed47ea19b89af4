#pragma once
// The byte count under the download bar, with the percentage, the speed and the time left:
//   "66,786 / 237,865 KBytes · 28 % · 12.4 MB/s · 0:15 남음"
// The speed is the average over the last three seconds (MB = 10^6 bytes). The text changes at
// most twice a second, and always for the first and the last block, so it can be read.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace ruvevid {

class TTransferProgress {
 public:
  static constexpr std::uint32_t kRefreshMs = 500;
  static constexpr std::uint32_t kSpeedWindowMs = 3000;

  explicit TTransferProgress(char ThousandsSeparator) : FSeparator(ThousandsSeparator) {}

  // A new transfer of Total bytes starts at NowMs (a millisecond tick count).
  void Begin(std::int64_t Total, std::uint32_t NowMs);
  // Current bytes are in at NowMs: the text to show, or nothing when the shown one may stay.
  std::optional<std::string> Block(std::int64_t Current, std::uint32_t NowMs);

  // The text for Current bytes with the speed known (BytesPerSecond > 0) or not.
  std::string Text(std::int64_t Current, double BytesPerSecond) const;

 private:
  struct TSample {
    std::uint32_t AtMs;
    std::int64_t Bytes;
  };
  // Bytes per second over the samples of the last window; 0 while too little time has passed.
  double Speed(std::int64_t Current, std::uint32_t NowMs);

  char FSeparator;
  std::int64_t FTotal = 0;
  bool FShownAny = false;
  std::uint32_t FShownAtMs = 0;
  std::deque<TSample> FSamples;
};

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string FormatTimeLeft(std::int64_t Seconds);

}  // namespace ruvevid
