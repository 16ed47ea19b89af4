#include "archive/zip/DiskManager.h"

#include <cstdio>

#include "archive/base/ArcErrors.h"

namespace ruvevid {

namespace {

constexpr std::string_view kSpannedLabel = "PKBACK# ";

// Index of the name of a drive kind in DriveTypeNames. The removable drive's floppy kind cannot be
// told here: it stays "Unknown".
std::size_t DriveTypeNameIndex(TDriveType Type) {
  return Type == TDriveType::dtRemovable ? 0 : static_cast<std::size_t>(Type);
}

std::string WithSeparator(const std::string& Drive) {
  return !Drive.empty() && Drive.back() == '/' ? Drive : Drive + '/';
}

}  // namespace

std::uint16_t LabelDiskNumberOf(std::string_view Label) {
  const std::size_t At = Label.rfind(kSpannedLabel);
  if (At == std::string_view::npos) return 0;
  const std::string_view Digits = Label.substr(At + kSpannedLabel.size());
  if (Digits.empty()) return 0;
  std::uint32_t Number = 0;
  for (char C : Digits) {
    if (C < '0' || C > '9') return 0;
    Number = Number * 10 + static_cast<std::uint32_t>(C - '0');
    if (Number > 0xFFFF) return 0;
  }
  return static_cast<std::uint16_t>(Number);
}

bool TDiskManager::QueryDrive(const std::string& Path, const TDiskPrompt& NotReady,
                              const TDiskPrompt& WriteProtect,
                              const TDiskErrorCallback& ReportError,
                              const TDiskErrorCallback& RaiseError) {
  OnNotReady = NotReady;
  OnWriteProtect = WriteProtect;
  ReportErrorCallback = ReportError;
  RaiseErrorCallback = RaiseError;
  try {
    FDrive = FDrives->DriveOf(Path);
    // A network mount is a share, not a drive that takes disks: it is neither waited for nor
    // probed for write protection.
    const bool Share = FDrives->DriveTypeOf(FDrive) == TDriveType::dtRemote;
    if (!Share && (!CheckReady() || !CheckWritable())) return false;
    if (!ReadVolumeInformation()) return false;
    FLabelDiskNumber = LabelDiskNumberOf(FVolume.Label);
    char Serial[9];
    std::snprintf(Serial, sizeof Serial, "%08X", FVolume.SerialNumber);
    FSerialText = Serial;
    FDriveType = FDrives->DriveTypeOf(FDrive);
    if (FDriveType == TDriveType::dtNoRootDir) {
      Report(FDrive, "0", "0", ecNotAccessible);
      return false;
    }
    FSpace = {};
    if (FDriveType != TDriveType::dtRemote) {
      if (const auto Space = FDrives->DiskSpace(FDrive)) FSpace = *Space;
    }
    FDriveTypeName = std::string(DriveTypeNames[DriveTypeNameIndex(FDriveType)]);
    return true;
  } catch (const EArchive&) {
    return false;
  }
}

bool TDiskManager::Ask(const TDiskPrompt& Prompt) {
  bool Cancel = true;
  Prompt(this, Cancel);
  if (Cancel) Report(FDrive, "0", "0", ecUserCanceled);
  return !Cancel;
}

bool TDiskManager::CheckReady() {
  while (!FDrives->DiskSpace(FDrive)) {
    if (!OnNotReady) {
      Report(FDrive, "0", "0", ecNotAccessible);
      return false;
    }
    if (!Ask(OnNotReady)) return false;
  }
  return true;
}

bool TDiskManager::CheckWritable() {
  while (FDrives->ProbeWrite(FDrive, std::string(kWriteProbePrefix)) ==
         TWriteProbe::wpWriteProtected) {
    if (!OnWriteProtect) {
      Report(FDrive, "0", "0", ecWriteProtected);
      return false;
    }
    if (!Ask(OnWriteProtect)) return false;
  }
  return true;
}

bool TDiskManager::ReadVolumeInformation() {
  for (;;) {
    std::string ErrorText;
    if (auto Volume = FDrives->VolumeInformation(FDrive, ErrorText)) {
      FVolume = std::move(*Volume);
      return true;
    }
    const std::string Text = WithSeparator(FDrive) +
                             std::string(ruvevid::ErrorText(ecNotAccessible)) + "\r\n\r\n" +
                             ErrorText;
    if (!RetryCancelBox || !RetryCancelBox(ApplicationTitle, Text)) {
      Report(FDrive, "0", "0", ecNotAccessible);
      return false;
    }
  }
}

}  // namespace ruvevid
