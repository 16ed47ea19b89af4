#include "archive/zip/Volumes.h"

#include <cstdio>

#include "archive/base/ArcErrors.h"
#include "archive/base/OutputFiles.h"
#include "archive/base/Stream32.h"
#include "archive/zip/DiskManager.h"
#include "archive/zip/DiskSpannObj.h"
#include "archive/zip/UnZip.h"
#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

// A volume may be any file but a folder: what it really is shows when it is opened.
bool VolumeFileExists(const std::string& Name) {
  return !Name.empty() && PathExists(Name) && !DirectoryExists(Name);
}

std::string ChangeExtension(const std::string& Name, const std::string& Extension) {
  std::size_t Dot = std::string::npos;
  for (std::size_t I = Name.size(); I > 0; --I) {
    if (kOutputPathRules.IsDelimiter(Name[I - 1])) break;
    if (Name[I - 1] == '.') {
      Dot = I - 1;
      break;
    }
  }
  return (Dot == std::string::npos ? Name : Name.substr(0, Dot)) + Extension;
}

bool EqualsIgnoringCase(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    const auto L = static_cast<unsigned char>(A[I]);
    const auto R = static_cast<unsigned char>(B[I]);
    if (std::tolower(L) != std::tolower(R)) return false;
  }
  return true;
}

}  // namespace

std::string VolumeNameFor(const std::string& CurrentVolumeName, const std::string& ArchiveFile,
                          std::int32_t Index, std::int32_t Last) {
  if (Index >= Last) return ArchiveFile;
  char Extension[16];
  std::snprintf(Extension, sizeof Extension, ".z%02d", Index + 1);
  return ChangeExtension(CurrentVolumeName, Extension);
}

std::string TUnZip::VolumeNameFor(std::int32_t Index, std::int32_t Last) const {
  return ruvevid::VolumeNameFor(FRun.CurrentVolumeName, FArchiveFile, Index, Last);
}

bool TUnZip::OpenNextVolume(std::unique_ptr<TStream32>& Stream, std::int32_t Index,
                            std::int32_t Last) {
  if (!OnNextVolume) {
    ReportError(FRun.CurrentVolumeName, "OnNextVolume", std::to_string(Index + 1),
                ecEventNotAssigned);
    SetCancel(true);
    return false;
  }
  // The application's answer is no part of the extraction's time.
  const TTimerPause Paused(FTimer);
  const bool LastKnown = FZip.HeaderState != THeaderTypeState{THeaderType::htLocal};
  // Damaged records must not send the run round the set's parts for ever: there is no part after
  // the last, and the parts of a split set all have names of their own.
  const std::string Open = Stream ? FRun.CurrentVolumeName : std::string();
  std::string Wanted = VolumeNameFor(Index, Last);
  if (!LastKnown && EqualsIgnoringCase(Wanted, FArchiveFile)) {
    ++Index;
    Wanted = VolumeNameFor(Index, 9999);
  }
  const char* Refusal = nullptr;
  if (LastKnown && Index > Last) {
    Refusal = kPastLastPart;
  } else if (!Open.empty() && Wanted == Open) {
    Refusal = kSamePartAgain;
  }
  if (Refusal != nullptr) {
    ReportError(Wanted, Refusal, std::to_string(Index + 1), ecBadBlock);
    return false;
  }
  Stream.reset();
  FRun.CurrentVolumeName = Wanted;
  bool& Cancel = *FCancel;
  bool Found = false;
  do {
    OnNextVolume(this, FRun.CurrentVolumeName, std::to_string(Index + 1),
                 VolumeFileExists(FRun.CurrentVolumeName), Cancel);
    Found = !Cancel && VolumeFileExists(FRun.CurrentVolumeName);
  } while (!Found && !Cancel);
  if (!Found) {
    ReportError(FRun.CurrentVolumeName, "", std::to_string(Index + 1), ecUserCanceled);
    return false;
  }
  if (!Open.empty() && FRun.CurrentVolumeName == Open) {
    ReportError(Open, kSamePartAgain, std::to_string(Index + 1), ecBadBlock);
    return false;
  }
  FVolumeNumber = Index + 1;
  auto Opened =
      std::make_unique<TFileStream32>(FRun.CurrentVolumeName, fmOpenRead | fmShareDenyWrite);
  AdoptArchiveStream(*Opened);
  Stream = std::move(Opened);
  return true;
}

void TZipVolumeSet::InitSpannedSet(TUnZip& Arc) {
  FArc = &Arc;
  TDiskErrorCallback Report = [&Arc](const std::string& FileName, const std::string& ExtendedMsg,
                                     const std::string& VolumeID, int ECode) {
    Arc.ReportError(FileName, ExtendedMsg, VolumeID, ECode);
  };
  TDiskErrorCallback Raise = [&Arc](const std::string& FileName, const std::string& ExtendedMsg,
                                    const std::string& VolumeID, int ECode) {
    Arc.RaiseError(FileName, ExtendedMsg, VolumeID, ECode);
  };
  Arc.DiskSpann().Init(Arc, Arc.CancelFlag(), {}, {}, Report, Raise);
}

void TZipVolumeSet::SetWantedDisk(std::uint16_t Disk) {
  if (FArc != nullptr) FArc->DiskSpann().WantedDisk = Disk;
}

std::uint16_t TZipVolumeSet::WantedDisk() const {
  return FArc != nullptr ? FArc->DiskSpann().WantedDisk : 0;
}

bool TZipVolumeSet::BringUpDisk(TUnZip& Arc, std::unique_ptr<TStream32>& Stream) {
  return Arc.DiskSpann().BringUpDisk(Stream);
}

bool TZipVolumeSet::OpenNextVolume(TUnZip& Arc, std::unique_ptr<TStream32>& Stream,
                                   std::int32_t Index, std::int32_t Last) {
  return Arc.OpenNextVolume(Stream, Index, Last);
}

}  // namespace ruvevid
