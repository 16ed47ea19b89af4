// Block reading and writing with deciphering and CRC, and the stored-data copy.

#include <algorithm>
#include <cerrno>
#include <vector>

#include "archive/base/ArcTypes.h"
#include "archive/base/Stream32.h"
#include "archive/base/ZipCommon.h"
#include "archive/codec/ZipFlags.h"

namespace ruvevid {

std::int32_t TZipCommon::ReadBlock(TStream32& Stream, void* Buffer, std::int32_t Count,
                                   bool Decrypt, std::uint8_t CrcKind) {
  if (Count <= 0) return 0;
  std::int32_t Got = 0;
  try {
    Got = std::max(Stream.Read(Buffer, Count), 0);
  } catch (const EReadError&) {
    Got = 0;
  }
  DecodeBuffer(Decrypt, Buffer, Got);
  FRun.Decode.Crc.AddToCrc(CrcKind, Buffer, static_cast<std::size_t>(Got));
  return Got;
}

void TZipCommon::DecodeBuffer(bool Decrypt, void* Buffer, std::int32_t Count) {
  if (!Decrypt || Count <= 0 || !IsZipFamily(FArcType)) return;
  FRun.Decode.Cipher.DecipherBuffer(Buffer, static_cast<std::size_t>(Count));
}

std::int32_t TZipCommon::WriteBlock(TStream32& Output, void* Buffer, std::int32_t Count,
                                    bool Decrypt, std::uint8_t CrcKind, std::uint8_t UpdateCrc) {
  Count = std::max(Count, 0);
  if (!OutputAllowed(Count)) return 0;
  if (Decrypt && UpdateCrc == 1 && IsZipFamily(FArcType)) {
    FRun.Decode.Cipher.DecipherBuffer(Buffer, static_cast<std::size_t>(Count));
  }
  std::int32_t Written = 0;
  int Error = 0;
  if (Count > 0) {
    Written = std::max(Output.Write(Buffer, Count), 0);
    // The error indication of this very write, never a stale one.
    Error = Output.LastWriteError();
  }
  return CheckWrite(Buffer, Count, Written, Error, CrcKind, UpdateCrc);
}

bool TZipCommon::OutputAllowed(std::int32_t Count) {
  // Output beyond what the archive declares (or, where it declares nothing, beyond what its bytes
  // can expand to) is damage, and would let a small archive fill the disk.
  if (FRun.Decode.OutputLimit >= 0 && Count > FRun.Decode.OutputLimit - FRun.Decode.OutputWritten) {
    RaiseError(FRun.OutputName, kOutputOverrun, "0", ecBadBlock);
    return false;
  }
  return true;
}

std::int32_t TZipCommon::CheckWrite(const void* Buffer, std::int32_t Count, std::int32_t Written,
                                    int Error, std::uint8_t CrcKind, std::uint8_t UpdateCrc) {
  FRun.Decode.OutputWritten += Written;
  // The entry driver uncounts an entry whose output is not kept.
  if (Error == ENOSPC) {
    RaiseError(FArchiveFile, FRun.OutputName, "0", ecDiskFull);
    return Written;
  }
  if (Written != Count) {
    ReportError(FArchiveFile, FRun.OutputName, "0", ecWriteError);
    return Written;
  }
  if (UpdateCrc == 1) FRun.Decode.Crc.AddToCrc(CrcKind, Buffer, static_cast<std::size_t>(Written));
  return Written;
}

std::int64_t TZipCommon::CopyStored(TStream32& Input, TStream32& Output, const TZipEntryInfo& Info,
                                    std::uint8_t CrcKind) {
  const auto Size = static_cast<std::int64_t>(Info.UnpackedSize);
  std::int64_t Left = Size;
  if (Left <= 0) return 0;
  const bool Decrypt = IsZipFamily(FArcType) && (Info.Flags & kEncryptedFlag) != 0;
  // A part of a split or spanned set ends inside the entry: the copy goes on in the next part,
  // which the plain copy's short read leads to.
  const bool SystemMayCopy = Size >= FRun.SystemCopyMinimum && (Info.Flags & kEncryptedFlag) == 0 &&
                             !IsSplitOrSpanned(FArcType) && HasOwnBlockHandlers();
  if (SystemMayCopy && CopyStoredInKernel(Input, Output, Size, CrcKind, Left)) return Left;
  CopyStoredInBlocks(Input, Output, Size, Decrypt, CrcKind, Left);
  return Left;
}

void TZipCommon::CopyStoredInBlocks(TStream32& Input, TStream32& Output, std::int64_t Size,
                                    bool Decrypt, std::uint8_t CrcKind, std::int64_t& Left) {
  if (Left <= 0) return;
  std::vector<std::uint8_t> Buffer(
      static_cast<std::size_t>(std::min<std::int64_t>(Left, kStoredBlockSize)) + 1);
  while (Left > 0) {
    const auto N = static_cast<std::int32_t>(std::min<std::int64_t>(Left, kStoredBlockSize));
    const std::int32_t Got = ReadHandler(Input, Buffer.data(), N, false, kCrcKindNone);
    if (Got <= 0) break;
    Left -= Got;
    FRun.BytesRemaining -= Got;
    // A block that could not be written ends the copy: the entry has failed.
    const bool Whole = WriteHandler(Output, Buffer.data(), Got, Decrypt, CrcKind, 1) == Got;
    // Measured against the unpacked total like every other entry, so that the archive's percentage
    // never falls back between a stored and a compressed entry.
    if (Left < Size) ReportProgress(Size - Left, Size, FRun.TotalUnpackedSize);
    if (GetCancel() || !Whole) break;
  }
}

}  // namespace ruvevid
