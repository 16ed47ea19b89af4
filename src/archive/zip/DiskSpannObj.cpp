#include "archive/zip/DiskSpannObj.h"

#include <array>

#include "archive/base/ArcErrors.h"
#include "archive/base/LittleEndian.h"
#include "archive/base/Stream32.h"
#include "archive/base/ZipHeaders.h"
#include "archive/zip/DiskManager.h"
#include "archive/zip/UnZip.h"

namespace ruvevid {

namespace {

bool IsPlainHeaderSignature(std::uint32_t Value) {
  return Value == kSplitMarkerSignature || Value == kLocalSignatureK || Value == kCentralSignatureK;
}

bool IsRealArchiveType(TArcType Type) {
  return Type != TArcType::atNA && Type != TArcType::atUnsupported &&
         Type != TArcType::atFileOpenErr && Type != TArcType::atUnknown;
}

}  // namespace

void TDiskSpannObj::Init(TUnZip& Component, bool* CancelFlag, const TDiskPrompt& NotReady,
                         const TDiskPrompt& WriteProtect, const TDiskErrorCallback& ReportError,
                         const TDiskErrorCallback& RaiseError) {
  FComponent = &Component;
  OnNotReady = NotReady;
  OnWriteProtect = WriteProtect;
  ReportErrorCallback = ReportError;
  RaiseErrorCallback = RaiseError;
  WantedDisk = 0;
  FArchiveName = Component.GetArchiveFile();
  Component.SetCancelFlag(CancelFlag);
}

bool TDiskSpannObj::BringUpDisk(std::unique_ptr<TStream32>& Stream) {
  // The wait for the application (and the user at the drive) is no part of the extraction's time.
  const TTimerPause Paused(FComponent->Timer());
  // A disk past the last one of the set is asked for only by damaged records.
  const TZipFormatState& Zip = FComponent->ZipState();
  if (WantedDisk > 1 && Zip.HeaderState.Contains(THeaderType::htEnding) &&
      WantedDisk > Zip.Headers.Ending.ThisDisk() + 1) {
    Report(FArchiveName, kPastLastPart, std::to_string(WantedDisk), ecBadBlock);
    return false;
  }
  Stream.reset();
  bool Up = RequireDiskEvent();
  if (Up) {
    Up = WantedDisk == 0 ? RequestLastDisk() : RequestDisk(WantedDisk == 1);
  }
  if (!Up) {
    *FComponent->CancelFlag() = true;
    return false;
  }
  auto Opened = std::make_unique<TFileStream32>(FArchiveName, fmOpenRead | fmShareDenyWrite);
  if (!Opened->IsOpen()) {
    Report(FArchiveName, "", "0", ecOpenError);
    return false;
  }
  FComponent->AdoptArchiveStream(*Opened);
  Stream = std::move(Opened);
  return true;
}

bool TDiskSpannObj::RequireDiskEvent() {
  const char* Name = nullptr;
  bool Assigned = false;
  if (WantedDisk == 0) {
    Name = "OnGetZipLastDisk";
    Assigned = static_cast<bool>(FComponent->OnGetZipLastDisk);
  } else if (WantedDisk == 1) {
    Name = "OnGetZipFirstDisk";
    Assigned = static_cast<bool>(FComponent->OnGetZipFirstDisk);
  } else {
    Name = "OnGetZipNextDisk";
    Assigned = static_cast<bool>(FComponent->OnGetZipNextDisk);
  }
  if (!Assigned) Report(FArchiveName, Name, std::to_string(WantedDisk), ecEventNotAssigned);
  return Assigned;
}

bool TDiskSpannObj::RequestLastDisk() {
  FComponent->ZipState().HeaderState = {};
  FComponent->SetArchiveFile(FArchiveName);
  while (!FComponent->ZipState().HeaderState.Contains(THeaderType::htEnding)) {
    bool Cancel = true;
    FComponent->OnGetZipLastDisk(FComponent, Cancel);
    if (Cancel) return false;
    FComponent->ZipState().HeaderState = {};
    FComponent->SetArchiveFile(FArchiveName);
  }
  if (!IsRealArchiveType(FComponent->ArcType())) return false;
  WantedDisk = 1;
  return true;
}

bool TDiskSpannObj::RequestFirstDisk() {
  return RequestDisk(true);
}

bool TDiskSpannObj::RequestNextDisk() {
  return RequestDisk(false);
}

bool TDiskSpannObj::RequestDisk(bool First) {
  for (;;) {
    if (CheckDisk(FComponent->Run().CurrentEntry->HeaderOffset)) {
      ++WantedDisk;
      return true;
    }
    bool Cancel = true;
    if (First) {
      FComponent->OnGetZipFirstDisk(FComponent, Cancel);
    } else {
      FComponent->OnGetZipNextDisk(FComponent, std::to_string(WantedDisk), Cancel);
    }
    if (Cancel) return false;
  }
}

bool TDiskSpannObj::QueryArchiveDrive() {
  return FComponent->DiskManager().QueryDrive(FArchiveName, OnNotReady, OnWriteProtect,
                                              ReportErrorCallback, RaiseErrorCallback);
}

bool TDiskSpannObj::CheckDisk(std::uint64_t Offset) {
  try {
    const bool Queried = QueryArchiveDrive();
    const TArcType Type = FComponent->ArcType();
    // A disk whose label numbers another disk of the set is never taken, whatever its file holds.
    if (Type == TArcType::atZipDS && Queried) {
      const std::uint16_t Number = FComponent->DiskManager().LabelDiskNumber();
      if (Number != 0 && Number != WantedDisk) return false;
    }
    TFileStream32 Disk(FArchiveName, fmOpenRead | fmShareDenyWrite);
    if (!Disk.IsOpen()) {
      Report(FArchiveName, "", "0", ecOpenError);
      return false;
    }
    const auto Size = static_cast<std::uint64_t>(Disk.Size());
    if (Offset + TLocalHeader::kSize > Size) {
      if (Type == TArcType::atZipDS) {
        return QueryArchiveDrive() && FComponent->DiskManager().LabelDiskNumber() == WantedDisk;
      }
      return Type == TArcType::atZipMV;
    }
    std::array<std::uint8_t, 4> Head{};
    Disk.Seek(static_cast<std::int64_t>(Offset), TSeekOrigin::soBeginning);
    if (Disk.Read(Head.data(), 4) != 4) return false;
    return IsPlainHeaderSignature(GetLE32(Head.data()));
  } catch (const EArchive&) {
    return false;
  }
}

}  // namespace ruvevid
