#include "archive/zip/EntryDriver.h"

#include "archive/base/LittleEndian.h"
#include "archive/base/OutputFiles.h"
#include "archive/base/ScopeExit.h"
#include "archive/base/Stream32.h"
#include "archive/codec/ZipFlags.h"
#include "archive/zip/EntryOutput.h"
#include "archive/zip/EntryRecord.h"
#include "archive/zip/EntryReplay.h"
#include "archive/zip/MethodDispatch.h"
#include "archive/zip/UnZip.h"
#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t kDirectoryAttr = 0x10;
constexpr std::uint32_t kArchiveAttr = 0x20;

// The verdict's rule: the stored CRC equals the accumulator or its complement.
bool CrcMatches(std::uint32_t Stored, std::uint32_t Accumulator) {
  return Stored == Accumulator || Stored == (Accumulator ^ 0xFFFFFFFFu);
}

// An entry that was not written, or not written rightly, must fail its verdict whatever the
// accumulator still holds from the entry before it.
void ForceVerdictFailure(TRunState& Run, std::uint32_t Stored) {
  Run.Decode.Crc.Crc32 = Stored ^ 1u;
}

// Makes the whole entry count as processed when it ends: a decoder that gave up, a write that
// failed or a copy cut short leaves bytes of it uncounted, and the archive's percentage must still
// reach the next entry's start, never fall back.
void FinishEntryProgress(TUnZip& Arc, std::int64_t DoneAt) {
  TRunState& Run = Arc.Run();
  if (Run.BytesRemaining <= DoneAt) return;
  Run.BytesRemaining = DoneAt;
  if (Arc.GetCancel()) return;
  const auto Size = static_cast<std::int64_t>(Run.Decode.EntryInfo.UnpackedSize);
  Arc.ReportProgress(Size, Size, Run.TotalUnpackedSize);
}

bool IsJar(TArcType Type) {
  return Type == TArcType::atJar || Type == TArcType::atJarExe;
}

// A directory entry: created below ExtractDir when CreateStoredDirs is set. False when it could
// not be created.
bool MakeDirectoryEntry(TUnZip& Arc) {
  TRunState& Run = Arc.Run();
  if (Run.OutputMode == 0 && Arc.CreateStoredDirs) {
    if (!NameFitsFileSystem(Run.OutputName)) {
      Arc.ReportError(Run.OutputName, kNameTooLong, "0", ecOpenError);
      return false;
    }
    if (IsOutputRefused(Arc, Run.OutputName, Run.EntryName)) return false;
    const std::string Written = WrittenOutputName(Arc, Run.OutputName);
    if (Written.empty() || !Arc.ForceDirectories(Written)) return false;
  }
  // Nothing to check: the verdict passes.
  Run.Decode.Crc.Crc32 = Arc.ZipState().Headers.Local.Crc32();
  return true;
}

// A file entry: opens the staged output, decodes (or takes what a worker decoded and replays its
// record), closes. True when the staged output holds the entry's decoded bytes and may replace the
// target if the CRC check passes.
bool WriteFileEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, std::unique_ptr<TStream32>& Input,
                    std::uint32_t Attr, bool ListedFromCentral, const TAheadEntry& Ahead,
                    TStagedEntryOutput& Output) {
  TRunState& Run = Arc.Run();
  TZipFormatState& Zip = Arc.ZipState();
  TLocalHeader& Local = Zip.Headers.Local;
  if (Run.EntryEncrypted && Run.PasswordFailed) {
    Arc.SkipEntryProgress(Run.Decode.EntryInfo);
    // OnEnd names the entry, as no output was made for it.
    Run.OutputName = Run.EntryName;
    return false;
  }
  // What a worker decoded ahead becomes the output when the output may be made; otherwise the
  // entry is decoded here.
  TEntryRecord* Decoded = Ahead ? Ahead() : nullptr;
  // An encrypted entry's file is the caller's only when deciphered with the password that the
  // password flow has just accepted.
  if (Decoded != nullptr &&
      (!Decoded->Decoded || (Run.EntryEncrypted && Decoded->Password != Run.Password)))
    Decoded = nullptr;
  // A name the file system cannot hold is refused, never written under a shortened name.
  const bool Fits = NameFitsFileSystem(Run.OutputName);
  if (!Fits || !Output.Open(Run.OutputName, Run.EntryName, Decoded)) {
    Arc.ReportError(Run.OutputName, Fits ? "" : kNameTooLong, "0", ecOpenError);
    Arc.SkipEntryProgress(Run.Decode.EntryInfo);
    return false;
  }

  // An entry written with a data descriptor has its CRC in the central header (or in the
  // descriptor, which the local-header walk puts in the local header buffer): its local CRC field
  // is 0, or, for an encrypted entry streamed by Info-ZIP, the DOS time of the check byte.
  const TCentralHeader& Central = Zip.Headers.Central;
  const bool Deferred = (Run.Decode.EntryInfo.Flags & kDataDescriptorFlag) != 0;
  if (ListedFromCentral && ((Local.Crc32() == 0 && Central.PackedSize() != 0) || Deferred))
    Local.SetCrc32(Central.Crc32());
  // Listed from local headers, an entry whose CRC and sizes were deferred to a data descriptor that
  // was not found has nothing to be checked against: it is decoded and reported, but never
  // replaces a file.
  const bool Unverifiable = !ListedFromCentral && !Run.Decode.EntrySizeKnown;

  const auto DosDateTime = static_cast<std::uint32_t>(Local.DosDateTime());
  bool Closed = false;
  {
    const auto Close = OnScopeExit([&] { Closed = Output.Close(DosDateTime, Attr); });
    if (Output.Adopted()) {
      ReplayEntry(Arc, *Decoded);
    } else {
      DecodeEntry(Arc, Volumes, Run.OutputName, Run.Decode.EntryInfo, Output.Stream(), Input);
    }
    Run.Decode.Crc.Crc32 ^= 0xFFFFFFFFu;
  }
  return Closed && !Unverifiable;
}

}  // namespace

bool ExtractEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, std::unique_ptr<TStream32>& Input,
                  std::uint32_t Attr, bool ListedFromCentral, const TAheadEntry& Ahead) {
  TRunState& Run = Arc.Run();
  const bool IsDirectory = (Attr & kDirectoryAttr) != 0;
  if (!Arc.ConfirmEntry(IsDirectory)) {
    Arc.SkipEntryProgress(Run.Decode.EntryInfo);
    return false;
  }
  // The entry counts as done for the archive's progress however it ends, and counts as extracted
  // only when its output is kept.
  const std::int64_t DoneAt =
      Run.BytesRemaining - static_cast<std::int64_t>(Run.Decode.EntryInfo.UnpackedSize);
  const auto Progress = OnScopeExit([&Arc, DoneAt] { FinishEntryProgress(Arc, DoneAt); });
  bool Kept = false;
  const auto Uncount = OnScopeExit([&] {
    if (!IsDirectory && !Kept && Run.ExtractedCount > 0) --Run.ExtractedCount;
  });
  if (IsDirectory) {
    Run.EntryEncrypted = false;
  } else {
    Run.EntryEncrypted = (Run.Decode.EntryInfo.Flags & kEncryptedFlag) != 0;
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
        Attr = !Name.empty() && kOutputPathRules.IsDelimiter(Name.back()) ? kDirectoryAttr
                                                                          : kArchiveAttr;
      }
      if ((Attr & kDirectoryAttr) != 0) {
        Failed = !MakeDirectoryEntry(Arc);
      } else {
        Written = WriteFileEntry(Arc, Volumes, Input, Attr, ListedFromCentral, Ahead, Output);
        Failed = !Written;
      }
    } catch (const EArchive&) {
      // The entry ends here; its verdict is still delivered. Anything else ends the run.
      Failed = true;
      Written = false;
    }

    const std::uint32_t Stored = Arc.ZipState().Headers.Local.Crc32();
    if (Written && !Arc.GetCancel() && CrcMatches(Stored, Run.Decode.Crc.Crc32)) {
      Kept = Output.Commit();
      if (!Kept) {
        Arc.ReportError(Arc.GetArchiveFile(), Run.OutputName, "0", ecWriteError);
        Failed = true;
      }
    }
    Output.Discard();
    if (Failed) ForceVerdictFailure(Run, Stored);
    Result = Arc.CheckCrc(kCrcKind32, Stored);
  } catch (const EArchive&) {
    // Nothing the engine raises while the entry is written ends the walk.
  }
  return Result;
}

}  // namespace ruvevid
