#include "archive/zip/EntryDriver.h"

#include "archive/base/OutputFiles.h"
#include "archive/base/Stream32.h"
#include "archive/base/UnZip.h"
#include "archive/zip/EntryOutput.h"
#include "archive/zip/LittleEndian.h"
#include "archive/zip/MethodDispatch.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t kDirectoryAttr = 0x10;
constexpr std::uint32_t kArchiveAttr = 0x20;
constexpr std::uint16_t kEncryptedFlag = 0x0001;
constexpr std::uint16_t kDataDescriptorFlag = 0x0008;
constexpr std::size_t kLocalCrcOffset = 14;

// The verdict's rule: the stored CRC equals the accumulator or its complement.
bool CrcMatches(std::uint32_t Stored, std::uint32_t Accumulator) {
  return Stored == Accumulator || Stored == (Accumulator ^ 0xFFFFFFFFu);
}

// An entry that was not written, or not written rightly, must fail its verdict whatever the
// accumulator still holds from the entry before it.
void ForceVerdictFailure(TRunState& Run, std::uint32_t Stored) {
  Run.Crc.Crc32 = Stored ^ 1u;
}

bool IsJar(TArcType Type) {
  return Type == TArcType::atJar || Type == TArcType::atJarExe;
}

// A directory entry: created below ExtractDir when CreateStoredDirs is set. False when it could
// not be created.
bool MakeDirectoryEntry(TUnZip& Arc) {
  TRunState& Run = Arc.Run();
  if (Run.OutputMode == 0 && Arc.CreateStoredDirs) {
    if (IsOutputRefused(Arc, Run.OutputName, Run.EntryName)) return false;
    const std::string Written = WrittenOutputName(Arc, Run.OutputName);
    if (Written.empty() || !Arc.ForceDirectories(Written)) return false;
  }
  // Nothing to check: the verdict passes.
  Run.Crc.Crc32 = Arc.ZipState().Headers.Local.Crc32();
  return true;
}

// A file entry: opens the staged output, decodes, closes. True when the staged output holds the
// entry's decoded bytes and may replace the target if the CRC check passes.
bool WriteFileEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, std::unique_ptr<TStream32>& Input,
                    std::uint32_t Attr, bool ListedFromCentral, TStagedEntryOutput& Output) {
  TRunState& Run = Arc.Run();
  TZipFormatState& Zip = Arc.ZipState();
  TLocalHeader& Local = Zip.Headers.Local;
  const bool PasswordSkipped = Run.EntryEncrypted && Run.PasswordFailed;
  if (!PasswordSkipped && !Output.Open(Run.OutputName, Run.EntryName)) {
    Arc.ReportError(Run.OutputName, "", "0", ecOpenError);
    Arc.SkipEntryProgress(Run.EntryInfo);
    --Run.ExtractedCount;
    return false;
  }
  if (PasswordSkipped) {
    --Run.ExtractedCount;
    Arc.SkipEntryProgress(Run.EntryInfo);
    // OnEnd names the entry, as no output was made for it.
    Run.OutputName = Run.EntryName;
    return false;
  }

  // Entries written with a data descriptor carry their CRC in the central header only.
  const TCentralHeader& Central = Zip.Headers.Central;
  if (ListedFromCentral && Local.Crc32() == 0 && Central.PackedSize() != 0)
    PutLE32(&Local.Bytes[kLocalCrcOffset], Central.Crc32());
  // Listed from local headers, an entry whose CRC and sizes were deferred to a data descriptor has
  // nothing to be checked against: it is decoded and reported, but never replaces a file.
  const bool Unverifiable =
      !ListedFromCentral && (Run.EntryInfo.Flags & kDataDescriptorFlag) != 0 && Local.Crc32() == 0;

  const auto DosDateTime = static_cast<std::uint32_t>(Local.DosDateTime());
  try {
    DecodeEntry(Arc, Volumes, Run.OutputName, Run.EntryInfo, Output.Stream(), Input);
  } catch (...) {
    Output.Close(DosDateTime, Attr);
    throw;
  }
  Run.Crc.Crc32 ^= 0xFFFFFFFFu;
  const bool Closed = Output.Close(DosDateTime, Attr);
  return Closed && !Unverifiable;
}

}  // namespace

bool ExtractEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, std::unique_ptr<TStream32>& Input,
                  std::uint32_t Attr, bool ListedFromCentral) {
  TRunState& Run = Arc.Run();
  const bool IsDirectory = (Attr & kDirectoryAttr) != 0;
  if (!Arc.ConfirmEntry(IsDirectory)) {
    Arc.SkipEntryProgress(Run.EntryInfo);
    return false;
  }
  if (IsDirectory) {
    Run.EntryEncrypted = false;
  } else {
    Run.EntryEncrypted = (Run.EntryInfo.Flags & kEncryptedFlag) != 0;
    if (Run.EntryEncrypted && !Run.PasswordFailed && !Arc.CheckPassword(*Input))
      Run.PasswordFailed = true;
  }

  bool Result = false;
  try {
    TStagedEntryOutput Output(Arc);
    bool Written = false;
    bool Failed = false;
    try {
      if (IsJar(Arc.ArcType())) {
        const std::string& Name = Run.OutputName;
        Attr =
            !Name.empty() && TPathRules::IsDelimiter(Name.back()) ? kDirectoryAttr : kArchiveAttr;
      }
      if ((Attr & kDirectoryAttr) != 0) {
        Failed = !MakeDirectoryEntry(Arc);
      } else {
        Written = WriteFileEntry(Arc, Volumes, Input, Attr, ListedFromCentral, Output);
        Failed = !Written;
      }
    } catch (...) {
      // The entry ends here; its verdict is still delivered.
      Failed = true;
      Written = false;
    }

    const std::uint32_t Stored = Arc.ZipState().Headers.Local.Crc32();
    if (Written && !Arc.GetCancel() && CrcMatches(Stored, Run.Crc.Crc32) && !Output.Commit()) {
      if (Run.ExtractedCount > 0) --Run.ExtractedCount;
      Arc.ReportError(Arc.GetArchiveFile(), Run.OutputName, "0", ecWriteError);
      Failed = true;
    }
    Output.Discard();
    if (Failed) ForceVerdictFailure(Run, Stored);
    Result = Arc.CheckCrc(CrcKind32, Stored);
  } catch (...) {
    // Nothing raised while the entry is written ends the walk.
  }
  return Result;
}

}  // namespace ruvevid
