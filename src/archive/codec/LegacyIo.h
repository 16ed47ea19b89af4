#pragma once
// The seam between the legacy zip decoders (method 1 shrunk, methods 2 to 5 reduced, method 6
// imploded) and the extraction component that runs them. The method dispatch binds these callables
// to the component for one entry; the decoders do all their block I/O, progress, cancellation and
// error reporting through them and keep no other link to the component.

#include <cstdint>
#include <functional>

#include "archive/codec/ErrorCodes.h"

namespace ruvevid {

struct TLegacyIo {
  // The component's ReadBlock(archive stream, Buffer, Count, Decrypt, CrcKind = 0): reads up to
  // Count bytes of the entry's compressed data, deciphered when Decrypt is set; returns the number
  // delivered, 0 at the end of the stream or on a read error.
  std::function<int(std::uint8_t* Buffer, int Count, bool Decrypt)> ReadBlock;

  // The component's WriteBlock(Output, Buffer, Count, Decrypt = false, CrcKind = 32,
  // UpdateCrc = 1): writes Count decoded bytes to the entry's output and folds them into the
  // entry's CRC-32; returns the number written.
  std::function<int(std::uint8_t* Buffer, int Count)> WriteBlock;

  // Called after every block handed to WriteBlock, with its size: the component lowers
  // BytesRemaining and the entry's output bytes expected by Count and calls
  // ReportProgress(UnpackedSize - output bytes expected, UnpackedSize, TotalUnpackedSize), which
  // pumps pending window messages.
  std::function<void(std::int64_t Count)> BlockFlushed;

  // The component's cancel flag (GetCancel).
  std::function<bool()> GetCancel;

  // ReportError(OutputName, "", "0", Code): fires OnError and returns.
  std::function<void(int Code)> ReportError;

  // RaiseError(E_RAISE, OutputName, "", "0", Code): fires OnError and raises E_RAISE, which leaves
  // the decoder; returns only when the run has been cancelled. The decoders end the entry when it
  // returns.
  std::function<void(int Code)> RaiseError;
};

// What the legacy decoders need to know of the entry (copied from its TZipEntryInfo).
struct TLegacyEntry {
  // General-purpose flags: bit 0 encrypted; for method 6, bit 1 an 8192-byte dictionary and bit 2
  // three trees.
  std::uint16_t Flags = 0;
  std::uint32_t Method = 0;  // 1 to 6
  // The compressed bytes to read: PackedSize, less the 12-byte encryption header when encrypted.
  std::int64_t CompressedSize = 0;
  std::int64_t UnpackedSize = 0;
};

}  // namespace ruvevid
