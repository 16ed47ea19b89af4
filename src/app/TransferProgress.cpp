#include "app/TransferProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/NumberFormat.h"

namespace ruvevid {

namespace {

// A sample is taken at most this often, so three seconds hold a few dozen of them.
constexpr std::uint32_t kSampleEveryMs = 100;
// Less time than this gives no speed worth showing.
constexpr std::uint32_t kShortestSpanMs = 250;

std::string TwoDigits(std::int64_t Value) {
  return (Value < 10 ? "0" : "") + std::to_string(Value);
}

}  // namespace

std::string FormatTimeLeft(std::int64_t Seconds) {
  Seconds = std::max<std::int64_t>(0, Seconds);
  const std::int64_t Hours = Seconds / 3600;
  const std::int64_t Minutes = Seconds / 60 % 60;
  const std::string Rest = TwoDigits(Seconds % 60);
  if (Hours > 0) return std::to_string(Hours) + ":" + TwoDigits(Minutes) + ":" + Rest;
  return std::to_string(Minutes) + ":" + Rest;
}

void TTransferProgress::Begin(std::int64_t Total, std::uint32_t NowMs) {
  FTotal = Total;
  FShownAny = false;
  FSamples.clear();
  FSamples.push_back({NowMs, 0});
}

std::optional<std::string> TTransferProgress::Block(std::int64_t Current, std::uint32_t NowMs) {
  const double BytesPerSecond = Speed(Current, NowMs);
  const bool Last = Current >= FTotal;
  // Tick counts wrap: differences are taken in unsigned arithmetic.
  if (FShownAny && !Last && NowMs - FShownAtMs < kRefreshMs) return std::nullopt;
  FShownAny = true;
  FShownAtMs = NowMs;
  return Text(Current, BytesPerSecond);
}

double TTransferProgress::Speed(std::int64_t Current, std::uint32_t NowMs) {
  if (NowMs - FSamples.back().AtMs >= kSampleEveryMs) FSamples.push_back({NowMs, Current});
  while (FSamples.size() > 1 && NowMs - FSamples.front().AtMs > kSpeedWindowMs)
    FSamples.pop_front();
  const TSample& Oldest = FSamples.front();
  const std::uint32_t Span = NowMs - Oldest.AtMs;
  if (Span < kShortestSpanMs || Current <= Oldest.Bytes) return 0;
  return static_cast<double>(Current - Oldest.Bytes) * 1000.0 / Span;
}

std::string TTransferProgress::Text(std::int64_t Current, double BytesPerSecond) const {
  const std::int64_t Percent =
      FTotal > 0 ? std::clamp<std::int64_t>(Current * 100 / FTotal, 0, 100) : 0;
  std::string Text = FormatKBytes(Current, FSeparator) + " / " + FormatKBytes(FTotal, FSeparator) +
                     " KBytes · " + std::to_string(Percent) + " %";
  if (BytesPerSecond <= 0) return Text;
  char Speed[32];
  std::snprintf(Speed, sizeof Speed, "%.1f", BytesPerSecond / 1e6);
  const auto SecondsLeft = static_cast<std::int64_t>(
      std::ceil(static_cast<double>(std::max<std::int64_t>(0, FTotal - Current)) / BytesPerSecond));
  return Text + " · " + Speed + " MB/s · " + FormatTimeLeft(SecondsLeft) + " 남음";
}

}  // namespace ruvevid
