#pragma once
// The drive-query object: checks the drive that holds a path (ready, not write-protected, volume
// information readable) and keeps what it learnt about it, among which the disk number of a
// "PKBACK# nnn" volume label.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/zip/DiskCommon.h"
#include "platform/DriveLayer.h"

namespace ruvevid {

// Names of the drive kinds, by index: 0 to 6 are the platform drive types, 7 and 8 the two kinds
// of removable floppy drives.
inline constexpr std::array<std::string_view, 9> DriveTypeNames = {
    "Unknown", "None", "Floppy", "Fixed", "Network", "CD-ROM", "RAM", "3½ Floppy", "5¼ Floppy"};

// The number that follows the last "PKBACK# " in Label when it consists of digits only (and fits
// 16 bits); 0 otherwise.
std::uint16_t LabelDiskNumberOf(std::string_view Label);

// The Retry/Cancel box shown when the volume information cannot be read: true for Retry. Unset:
// Cancel.
using TRetryCancelBox = std::function<bool(const std::string& Caption, const std::string& Text)>;

// The prefix of the write probe's temporary file.
inline constexpr std::string_view kWriteProbePrefix = "rvz";

class TDiskManager : public TDiskCommon {
 public:
  explicit TDiskManager(IDriveLayer& Drives) : FDrives(&Drives) {}

  void SetDriveLayer(IDriveLayer& Drives) { FDrives = &Drives; }
  IDriveLayer& DriveLayer() const { return *FDrives; }

  // Checks the drive of Path and fills the facts below. The prompts and callbacks given replace
  // the object's own for this and later queries. Failures are reported (FileName the drive,
  // ExtendedMsg and VolumeID "0"): 25170 drive not ready, without a root or its volume information
  // unreadable; 25171 write-protected; 25443 a prompt cancelled.
  bool QueryDrive(const std::string& Path, const TDiskPrompt& NotReady,
                  const TDiskPrompt& WriteProtect, const TDiskErrorCallback& ReportError,
                  const TDiskErrorCallback& RaiseError);

  // The Retry/Cancel box and its caption (the application's title).
  TRetryCancelBox RetryCancelBox;
  std::string ApplicationTitle;

  // ---- What the last successful query found ----
  const std::string& Drive() const { return FDrive; }
  TDriveType DriveType() const { return FDriveType; }
  const std::string& DriveTypeName() const { return FDriveTypeName; }
  const std::string& VolumeLabel() const { return FVolume.Label; }
  std::uint16_t LabelDiskNumber() const { return FLabelDiskNumber; }
  std::uint32_t SerialNumber() const { return FVolume.SerialNumber; }
  const std::string& SerialNumberText() const { return FSerialText; }
  std::uint32_t MaxComponentLength() const { return FVolume.MaxComponentLength; }
  std::uint32_t FileSystemFlags() const { return FVolume.FileSystemFlags; }
  const std::string& FileSystemName() const { return FVolume.FileSystemName; }
  std::uint64_t FreeSpace() const { return FSpace.FreeBytes; }
  std::uint64_t DriveSize() const { return FSpace.TotalBytes; }

 private:
  bool CheckReady();
  bool CheckWritable();
  bool ReadVolumeInformation();
  bool Ask(const TDiskPrompt& Prompt);

  IDriveLayer* FDrives;
  std::string FDrive;
  TDriveType FDriveType = TDriveType::dtUnknown;
  std::string FDriveTypeName;
  TVolumeInformation FVolume;
  std::uint16_t FLabelDiskNumber = 0;
  std::string FSerialText;
  TDiskSpace FSpace;
};

}  // namespace ruvevid
