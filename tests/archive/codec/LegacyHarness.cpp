#include "LegacyHarness.h"

#include <algorithm>
#include <utility>

namespace ruvevid::test {

std::vector<int> TLegacyRun::Errors() const {
  std::vector<int> All = Reported;
  All.insert(All.end(), Raised.begin(), Raised.end());
  return All;
}

TLegacyEntry MakeEntry(std::uint32_t Method, std::uint16_t Flags, std::size_t CompressedSize,
                       std::int64_t UnpackedSize) {
  TLegacyEntry Entry;
  Entry.Method = Method;
  Entry.Flags = Flags;
  Entry.CompressedSize = static_cast<std::int64_t>(CompressedSize);
  Entry.UnpackedSize = UnpackedSize;
  return Entry;
}

TLegacyBench::TLegacyBench(std::vector<std::uint8_t> Input, TLegacyRunOptions Options)
    : FInput(std::move(Input)), FOptions(Options) {
  FRun.Cancelled = Options.CancelFromStart;
}

TLegacyIo TLegacyBench::Io() {
  TLegacyIo Io;
  Io.ReadBlock = [this](std::uint8_t* Buffer, int Count, bool Decrypt) {
    FRun.ReadRequests.push_back(Count);
    FRun.ReadDecrypt.push_back(Decrypt);
    std::size_t Got = std::min(static_cast<std::size_t>(Count), FInput.size() - FInputPosition);
    if (FOptions.ReadChunk > 0) Got = std::min(Got, static_cast<std::size_t>(FOptions.ReadChunk));
    std::copy_n(FInput.begin() + static_cast<std::ptrdiff_t>(FInputPosition), Got, Buffer);
    FInputPosition += Got;
    return static_cast<int>(Got);
  };
  Io.WriteBlock = [this](std::uint8_t* Buffer, int Count) {
    const int Call = static_cast<int>(FRun.WriteRequests.size());
    FRun.WriteRequests.push_back(Count);
    if (Call == FOptions.FailingWrite) return 0;
    const int Written = Call == FOptions.ShortWrite ? Count - 1 : Count;
    if (FRun.Output.size() + static_cast<std::size_t>(Written) > FOptions.OutputLimit) {
      throw TRunaway();
    }
    FRun.Output.insert(FRun.Output.end(), Buffer, Buffer + Written);
    return Written;
  };
  Io.BlockFlushed = [this](std::int64_t Count) {
    FRun.Flushed += Count;
    ++FRun.FlushReports;
    if (FRun.FlushReports == FOptions.CancelAfterFlushes) FRun.Cancelled = true;
  };
  Io.GetCancel = [this] { return FRun.Cancelled; };
  Io.ReportError = [this](int Code) { FRun.Reported.push_back(Code); };
  Io.RaiseError = [this](int Code) {
    FRun.Raised.push_back(Code);
    if (FOptions.CancelOnError) FRun.Cancelled = true;
    if (!FRun.Cancelled) throw TRaised{Code};
  };
  return Io;
}

TLegacyRun RunLegacy(std::span<const std::uint8_t> Compressed, const TLegacyEntry& Entry,
                     const TLegacyRunOptions& Options) {
  TLegacyBench Bench(std::vector<std::uint8_t>(Compressed.begin(), Compressed.end()), Options);
  TLegacyDecoder Legacy(Bench.Io(), Entry);
  try {
    Bench.Run().Handled = Legacy.RunMethod();
  } catch (const TRaised&) {
  }
  Legacy.FreeTables();
  try {
    Legacy.FlushOutput();
  } catch (const TRaised&) {
  }
  Bench.Run().OutputCount = Legacy.OutputCount();
  return std::move(Bench.Run());
}

}  // namespace ruvevid::test
