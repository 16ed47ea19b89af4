#include "archive/base/ZipCommon.h"

#include <algorithm>

namespace ruvevid {

TZipCommon::TZipCommon(IApplication* Application) : FApplication(Application) {
  ReadHandler = TOwnReadHandler{this};
  WriteHandler = TOwnWriteHandler{this};
  ProgressHandler = [this](std::uint8_t ByFile, std::uint8_t ByArchive) {
    DoProgress(ByFile, ByArchive);
  };
}

TZipCommon::~TZipCommon() = default;

bool TZipCommon::HasOwnBlockHandlers() const {
  const auto* Read = ReadHandler.target<TOwnReadHandler>();
  const auto* Write = WriteHandler.target<TOwnWriteHandler>();
  return Read != nullptr && Read->Owner == this && Write != nullptr && Write->Owner == this;
}

void TZipCommon::SetZipCmntBufSize(std::int32_t Value) {
  FZipCmntBufSize = std::clamp(Value, kZipCmntBufSizeMin, kZipCmntBufSizeMax);
}

void TZipCommon::SetCancel(bool Value) {
  *FCancel = Value;
  if (Value) ReportError(FArchiveFile, FRun.OutputName, "0", ecUserCanceled);
}

void TZipCommon::ReportError(const std::string& FileName, const std::string& ExtendedMsg,
                             const std::string& VolumeID, int ECode) {
  const TTimerPause Paused(FTimer);
  if (GetCancel()) ECode = ecUserCanceled;
  if (OnError) OnError(this, FileName, ExtendedMsg, VolumeID, ECode);
}

void TZipCommon::RaiseError(const std::string& FileName, const std::string& ExtendedMsg,
                            const std::string& VolumeID, int ECode) {
  const TTimerPause Paused(FTimer);
  if (GetCancel()) ECode = ecUserCanceled;
  if (OnError) OnError(this, FileName, ExtendedMsg, VolumeID, ECode);
  if (!GetCancel()) throw E_RAISE(ECode);
}

void TZipCommon::ResetRun() {
  SetCancel(false);
  FRun.ExtractedCount = 0;
  ProgressHandler = [this](std::uint8_t ByFile, std::uint8_t ByArchive) {
    DoProgress(ByFile, ByArchive);
  };
  FRun.EntryEncrypted = false;
  FRun.PasswordFailed = false;
  FRun.NewestEntryDate = 0;
  FRun.TotalPackedSize = 0;
  FRun.TotalUnpackedSize = 0;
  FRun.BytesRemaining = 0;
  FRun.SystemCopiedBytes = 0;
  FRun.ProgressByArchive = 0;
  FRun.CurrentEntry = &FRun.ScratchEntry;
  FRun.Decode.EntrySizeKnown = true;
  FRun.Decode.OutputLimit = -1;
  if (CpuType == TCpuType::cpt80486) CpuType = TCpuType::cptAuto;
  FRun.CurrentVolumeName = FArchiveFile;
  FRun.ExcludeList.clear();
  FRun.KnownFolders.clear();
  FRun.LinkFreeFolders.clear();
  FRun.DosTimes.Clear();
}

}  // namespace ruvevid
