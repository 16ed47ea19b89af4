// The two progress percentages and the progress handler.

#include <cmath>

#include "archive/base/ZipCommon.h"
#include "platform/Application.h"

namespace ruvevid {

std::uint8_t Percent(std::int64_t A, std::int64_t B) {
  if (B <= 0) return 0;
  const long double Value = static_cast<long double>(A) * 100.0L / static_cast<long double>(B);
  if (!(Value > 0.0L)) return 0;
  if (Value >= 100.0L) return 100;
  // Nearest integer, halves to even, whatever the floating-point rounding mode.
  long double Whole = std::floor(Value);
  const long double Fraction = Value - Whole;
  if (Fraction > 0.5L || (Fraction == 0.5L && std::fmod(Whole, 2.0L) != 0.0L)) Whole += 1.0L;
  return static_cast<std::uint8_t>(Whole);
}

void TZipCommon::ReportProgress(std::int64_t Done, std::int64_t Size, std::int64_t Total) {
  FRun.ProgressByFile = Percent(Done, Size);
  FRun.ProgressByArchive = Percent(Total - FRun.BytesRemaining, Total);
  if (ProgressHandler) ProgressHandler(FRun.ProgressByFile, FRun.ProgressByArchive);
}

void TZipCommon::SkipEntryProgress(const TZipEntryInfo& Info) {
  const auto Size = static_cast<std::int64_t>(Info.UnpackedSize);
  FRun.BytesRemaining -= Size;
  ReportProgress(Size, Size, FRun.TotalUnpackedSize);
}

void TZipCommon::DoProgress(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive) {
  if (FApplication != nullptr) FApplication->ProcessMessages();
  if (OnProgress) OnProgress(this, ProgressByFile, ProgressByArchive);
}

}  // namespace ruvevid
