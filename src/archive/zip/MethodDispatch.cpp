#include "archive/zip/MethodDispatch.h"

#include <algorithm>

#include "archive/base/ScopeExit.h"
#include "archive/base/Stream32.h"
#include "archive/codec/LegacyDecoder.h"
#include "archive/codec/ZipCipher.h"
#include "archive/codec/ZipFlags.h"
#include "archive/zip/InflateEntry.h"
#include "archive/zip/UnZip.h"
#include "archive/zip/ZipVolumeHooks.h"

namespace ruvevid {

namespace {

// Raw deflate data with a 32 KB window (64 KB in deflate64 mode).
constexpr std::int8_t kInflateWindowBits = -15;

// The most output one byte of compressed data can give, by method: a bound on what a damaged
// entry whose size is unknown may write.
//   stored     1
//   shrunk     an LZW code of at least 9 bits stands for at most 8192 - 257 + 1 bytes: 7054
//   reduced    a match of at most 273 bytes takes four follower-coded bytes of at least 2 bits
//   imploded   a match of at most 321 bytes takes at least 17 bits: 151
//   deflated   258 bytes from a 1-bit length code and a 1-bit distance code: 1032
//   deflate64  65538 bytes from 1 + 16 extra + 1 bits: 29128
std::int64_t LargestExpansion(std::uint32_t Method) {
  switch (Method) {
    case kMethodStored:
      return 1;
    case 1:
      return 7054;
    case 2:
    case 3:
    case 4:
    case 5:
      return 273;
    case 6:
      return 151;
    case kMethodDeflated:
      return 1032;
    case kMethodDeflate64:
      return 29128;
    default:
      return 0;
  }
}

// How much the entry may write: its declared size, or what the archive bytes left can expand to.
std::int64_t OutputLimit(const TUnZip& Arc, const TZipEntryInfo& Info, TStream32* Input) {
  if (Arc.Run().Decode.EntrySizeKnown) return static_cast<std::int64_t>(Info.UnpackedSize);
  const std::int64_t Left = Input != nullptr ? Input->GetSize() - Input->Position() : 0;
  return std::max<std::int64_t>(Left, 0) * LargestExpansion(Info.Method);
}

// The limit holds for one entry's decoding.
class TOutputLimitScope {
 public:
  TOutputLimitScope(TRunState& Run, std::int64_t Limit) : FRun(Run) {
    FRun.Decode.OutputLimit = Limit;
    FRun.Decode.OutputWritten = 0;
  }
  ~TOutputLimitScope() { FRun.Decode.OutputLimit = -1; }
  TOutputLimitScope(const TOutputLimitScope&) = delete;
  TOutputLimitScope& operator=(const TOutputLimitScope&) = delete;

 private:
  TRunState& FRun;
};

void ReportUnsupported(TUnZip& Arc, const std::string& OutputName) {
  Arc.ReportError(OutputName, "", "0", ecUnsupportedMethod);
}

// Method 0. For split and spanned sets the copy goes on at the start of the next part with the
// bytes still missing. False when that part could not be brought up.
bool CopyStoredEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, const TZipEntryInfo& Info,
                     std::unique_ptr<TStream32>& Output, std::unique_ptr<TStream32>& Input) {
  std::int64_t Left = Arc.CopyStored(*Input, *Output, Info, kCrcKind32);
  const TArcType Type = Arc.ArcType();
  if (!IsSplitOrSpanned(Type)) return true;
  TZipEntryInfo Rest = Info;
  while (Left > 0) {
    Arc.Run().CurrentEntry->HeaderOffset = static_cast<std::uint64_t>(Left);
    const bool Up = Type == TArcType::atZipDS
                        ? Volumes.BringUpDisk(Arc, Input)
                        : Volumes.OpenNextVolume(Arc, Input, Arc.VolumeNumber(),
                                                 Arc.ZipState().Headers.Ending.ThisDisk());
    if (!Up || !Input) return false;
    Input->Seek(0, TSeekOrigin::soBeginning);
    Rest.UnpackedSize = static_cast<std::uint64_t>(Left);
    Left = Arc.CopyStored(*Input, *Output, Rest, kCrcKind32);
  }
  return true;
}

// Methods 8 and 9: the entry inflation, continued over the parts of a split or spanned set.
void InflateMethodEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, std::uint32_t Method,
                        std::unique_ptr<TStream32>& Output, std::unique_ptr<TStream32>& Input) {
  TInflateNextVolume NextVolume;
  if (Arc.ArcType() == TArcType::atZipDS) {
    // The disk check looks for the header that follows the entry's data on the next disk: the
    // compressed bytes not yet read stand at its start.
    NextVolume = [&Arc, &Volumes, Read = std::uint64_t{0},
                  PartStart = Input->Position()](std::unique_ptr<TStream32>& Stream) mutable {
      Read += static_cast<std::uint64_t>(std::max<std::int64_t>(Stream->Size() - PartStart, 0));
      PartStart = 0;
      const std::uint64_t Packed = Arc.Run().Decode.EntryInfo.PackedSize;
      Arc.Run().CurrentEntry->HeaderOffset = Packed > Read ? Packed - Read : 0;
      return Volumes.BringUpDisk(Arc, Stream);
    };
  } else if (Arc.ArcType() == TArcType::atZipMV) {
    NextVolume = [&Arc, &Volumes](std::unique_ptr<TStream32>& Stream) {
      return Volumes.OpenNextVolume(Arc, Stream, Arc.VolumeNumber(),
                                    Arc.ZipState().Headers.Ending.ThisDisk());
    };
  }
  const TInflateVariant Variant =
      Method == kMethodDeflate64 ? TInflateVariant::ivDeflate64 : TInflateVariant::ivDeflate;
  InflateEntry(Arc, Input, *Output, kInflateWindowBits, Variant, NextVolume);
}

// The legacy decoders' seam bound to the component for one entry.
TLegacyIo BindLegacyIo(TUnZip& Arc, const std::string& OutputName,
                       std::unique_ptr<TStream32>& Output, std::unique_ptr<TStream32>& Input) {
  TLegacyIo Io;
  Io.ReadBlock = [&Arc, &Input](std::uint8_t* Buffer, int Count, bool Decrypt) {
    return Arc.ReadHandler(*Input, Buffer, Count, Decrypt, kCrcKindNone);
  };
  Io.WriteBlock = [&Arc, &Output](std::uint8_t* Buffer, int Count) {
    return Arc.WriteHandler(*Output, Buffer, Count, false, kCrcKind32, 1);
  };
  Io.BlockFlushed = [&Arc](std::int64_t Count) {
    TRunState& Run = Arc.Run();
    Run.BytesRemaining -= Count;
    Run.Decode.OutputBytesExpected -= Count;
    const auto Size = static_cast<std::int64_t>(Run.Decode.EntryInfo.UnpackedSize);
    Arc.ReportProgress(Size - Run.Decode.OutputBytesExpected, Size, Run.TotalUnpackedSize);
  };
  Io.GetCancel = [&Arc] { return Arc.GetCancel(); };
  Io.ReportError = [&Arc, OutputName](int Code) { Arc.ReportError(OutputName, "", "0", Code); };
  Io.RaiseError = [&Arc, OutputName](int Code) { Arc.RaiseError(OutputName, "", "0", Code); };
  return Io;
}

}  // namespace

bool IsSupportedMethod(std::uint32_t Method) {
  return Method == kMethodStored || TLegacyDecoder::HandlesMethod(Method) ||
         Method == kMethodDeflated || Method == kMethodDeflate64;
}

bool DecodeEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, const std::string& OutputName,
                 TZipEntryInfo Info, std::unique_ptr<TStream32>& Output,
                 std::unique_ptr<TStream32>& Input) {
  bool Result = true;
  TRunState& Run = Arc.Run();
  Run.Decode.Crc.Crc32 = kCrc32Start;
  if ((Info.Flags & kEncryptedFlag) != 0) {
    // CheckPassword has consumed the encryption header.
    Info.PackedSize -= std::min<std::uint64_t>(Info.PackedSize, kZipEncryptionHeaderSize);
  }
  Run.Decode.EntryInfo = Info;
  Run.Decode.PackedBytesLeft = static_cast<std::int64_t>(Info.PackedSize);
  Run.Decode.OutputBytesExpected = static_cast<std::int64_t>(Info.UnpackedSize);
  const TOutputLimitScope Limit(Run, OutputLimit(Arc, Info, Input.get()));

  // One legacy decoder per entry: its input, output buffer and tables start afresh.
  std::unique_ptr<TLegacyDecoder> Legacy;
  try {
    if (!Input || !Output) {
      // Nothing to read from or nothing to write to: the entry stays empty.
    } else if (Info.Method == kMethodStored) {
      Result = CopyStoredEntry(Arc, Volumes, Info, Output, Input);
    } else if (TLegacyDecoder::HandlesMethod(Info.Method)) {
      TLegacyEntry Entry;
      Entry.Flags = Info.Flags;
      Entry.Method = Info.Method;
      Entry.CompressedSize = static_cast<std::int64_t>(Info.PackedSize);
      Entry.UnpackedSize = static_cast<std::int64_t>(Info.UnpackedSize);
      Legacy =
          std::make_unique<TLegacyDecoder>(BindLegacyIo(Arc, OutputName, Output, Input), Entry);
      const auto FreeTables = OnScopeExit([&Legacy] { Legacy->FreeTables(); });
      Legacy->RunMethod();
    } else if (Info.Method == kMethodDeflated || Info.Method == kMethodDeflate64) {
      InflateMethodEntry(Arc, Volumes, Info.Method, Output, Input);
    } else {
      ReportUnsupported(Arc, OutputName);
    }
  } catch (const EArchive&) {
    // The entry's output stays short and its CRC check fails. Anything else ends the run.
  }
  // What the legacy decoders still hold goes out; a failed write raises E_RAISE from here.
  if (Legacy) Legacy->FlushOutput();
  return Result;
}

}  // namespace ruvevid
