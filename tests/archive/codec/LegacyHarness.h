#pragma once
// Test bench for the legacy decoders: binds their component seam to memory, records every call,
// and runs an entry the way the method dispatch does (reset, preparation and decoder, then the
// closing flush on every path).

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "archive/codec/LegacyDecoder.h"
#include "archive/codec/LegacyIo.h"
#include "support/BitWriter.h"

namespace ruvevid::test {

// What the bench's RaiseError throws: it stands for the component's E_RAISE.
struct TRaised {
  int Code = 0;
};

// Thrown when a decoder writes far more than any entry could hold (a runaway decoder).
struct TRunaway : std::runtime_error {
  TRunaway() : std::runtime_error("decoder output beyond the bench's limit") {}
};

struct TLegacyRunOptions {
  bool CancelFromStart = false;
  int CancelAfterFlushes = -1;  // the progress report of that many flushed blocks sets Cancel
  int FailingWrite = -1;        // this WriteBlock call (0 = the first) writes nothing
  int ShortWrite = -1;          // this WriteBlock call writes one byte less
  bool CancelOnError = false;   // the OnError handler cancels the run (RaiseError then returns)
  int ReadChunk = 0;            // when above 0, ReadBlock delivers at most this many bytes a call
  std::size_t OutputLimit = std::size_t{64} << 20;
};

struct TLegacyRun {
  std::vector<std::uint8_t> Output;
  std::vector<int> Reported;       // codes through ReportError
  std::vector<int> Raised;         // codes through RaiseError
  std::vector<int> ReadRequests;   // Count of every ReadBlock call
  std::vector<bool> ReadDecrypt;   // Decrypt of every ReadBlock call
  std::vector<int> WriteRequests;  // Count of every WriteBlock call
  std::int64_t Flushed = 0;        // sum of the BlockFlushed counts
  int FlushReports = 0;            // number of BlockFlushed calls
  bool Cancelled = false;
  bool Handled = false;          // RunMethod knew the method
  std::int64_t OutputCount = 0;  // the decoder's own count

  std::vector<int> Errors() const;  // Reported, then Raised
  bool Failed() const { return !Reported.empty() || !Raised.empty(); }
};

TLegacyEntry MakeEntry(std::uint32_t Method, std::uint16_t Flags, std::size_t CompressedSize,
                       std::int64_t UnpackedSize);

// Runs one entry over Compressed.
TLegacyRun RunLegacy(std::span<const std::uint8_t> Compressed, const TLegacyEntry& Entry,
                     const TLegacyRunOptions& Options = {});

// A seam bound to memory for tests that drive the input or output pieces directly.
class TLegacyBench {
 public:
  explicit TLegacyBench(std::vector<std::uint8_t> Input, TLegacyRunOptions Options = {});
  TLegacyIo Io();
  TLegacyRun& Run() { return FRun; }
  void SetCancel(bool Cancel) { FRun.Cancelled = Cancel; }

 private:
  std::vector<std::uint8_t> FInput;
  std::size_t FInputPosition = 0;
  TLegacyRunOptions FOptions;
  TLegacyRun FRun;
};

}  // namespace ruvevid::test
