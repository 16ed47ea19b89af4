#pragma once
// The disk-spanning object: has the application put the wanted disk of a set spanned over
// removable disks into the drive (OnGetZipLastDisk, OnGetZipFirstDisk, OnGetZipNextDisk), checks
// the disk that is there, and reopens the archive stream on it.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/zip/DiskCommon.h"

namespace ruvevid {

class TStream32;
class TUnZip;

class TDiskSpannObj : public TDiskCommon {
 public:
  explicit TDiskSpannObj(TUnZip& Component) : FComponent(&Component) {}

  // Prepares a run over a spanned set: stores the prompts and callbacks, wants the last disk next
  // and points the component's cancel flag at CancelFlag. The archive's name is remembered here,
  // so a disk without the file does not lose it.
  void Init(TUnZip& Component, bool* CancelFlag, const TDiskPrompt& NotReady,
            const TDiskPrompt& WriteProtect, const TDiskErrorCallback& ReportError,
            const TDiskErrorCallback& RaiseError);

  // 0: the last disk is wanted next, 1 the first, n the n-th.
  std::uint16_t WantedDisk = 0;

  // Frees Stream, has the wanted disk brought up and reopens Stream on the archive there. False
  // (Stream empty) when the event is missing, the application cancelled or the file cannot be
  // opened; the first two set the component's cancel flag.
  bool BringUpDisk(std::unique_ptr<TStream32>& Stream);

  // The three requests; each succeeds with the wanted disk in the drive and advances WantedDisk.
  bool RequestLastDisk();
  bool RequestFirstDisk();
  bool RequestNextDisk();
  // Whether the disk in the drive is the wanted one: a header signature at Offset, or, when Offset
  // lies past the end of its file, a label numbering the wanted disk.
  bool CheckDisk(std::uint64_t Offset);

  const std::string& ArchiveName() const { return FArchiveName; }

 private:
  // The event the wanted disk needs and its name; false (reported 25270) when it is not set.
  bool RequireDiskEvent();
  bool RequestDisk(bool First);
  bool QueryArchiveDrive();

  TUnZip* FComponent;
  std::string FArchiveName;
};

}  // namespace ruvevid
