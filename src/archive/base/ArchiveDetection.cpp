// Archive opening and type detection: the ArchiveFile and ArcType setters, DetectArcType (the work
// is TArcTypeDetector's) and the volume naming of a detected archive.

#include "archive/base/ArcBase.h"
#include "archive/base/ArcErrors.h"
#include "archive/base/ArcTypeDetector.h"
#include "archive/base/Stream32.h"
#include "platform/DriveQuery.h"
#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

// For a part of a split set other than the last ("set.z01", "set.z03"), the last part beside it
// ("set.zip"), which holds the set's directory; empty when Name is no such part or there is none.
std::string LastPartOfSplitSet(const std::string& Name) {
  const std::size_t Dot = Name.rfind('.');
  if (Dot == std::string::npos || Name.size() - Dot < 4) return {};
  const char Z = Name[Dot + 1];
  if (Z != 'z' && Z != 'Z') return {};
  for (std::size_t I = Dot + 2; I < Name.size(); ++I)
    if (Name[I] < '0' || Name[I] > '9') return {};
  const std::string Last = Name.substr(0, Dot) + (Z == 'z' ? ".zip" : ".ZIP");
  return FileExists(Last) ? Last : std::string();
}

}  // namespace

void TArcBase::SetArchiveFile(const std::string& Value) {
  // A split set is read from its last part whichever part was named.
  if (const std::string Last = LastPartOfSplitSet(Value); !Last.empty()) {
    SetArchiveFile(Last);
    if (FArcType == TArcType::atZipMV) return;
  }
  FDetectionError.clear();
  // Something that exists but is no regular file (a folder, a FIFO, a device) keeps its name, so
  // that Activate refuses it with a reason instead of "File not found".
  if (!PathExists(Value)) {
    FArcType = TArcType::atNA;
    FArchiveFile.clear();
    return;
  }
  FArchiveFile = Value;
  TFileStream32 Stream(FArchiveFile, fmOpenRead | fmShareDenyWrite);
  if (!Stream.IsOpen()) {
    FArcType = TArcType::atNA;
    return;
  }
  FArcType = DetectArcType(Stream);
  if (IsKnownArcType(FArcType)) SetVolumeNaming();
}

void TArcBase::SetArcType(TArcType /*Value*/) {
  if (FArchiveFile.empty()) return;
  TFileStream32 Stream(FArchiveFile, fmOpenRead | fmShareDenyWrite);
  if (!Stream.IsOpen()) {
    FArcType = TArcType::atNA;
    throw EFOpenError(std::string(ErrorText(ecOpenError)));
  }
  FArcType = DetectArcType(Stream);
}

TArcType TArcBase::DetectArcType(TStream32& Stream) {
  // The drive query tells split sets on fixed drives from sets spanned over removable disks.
  std::unique_ptr<IDriveQuery> PlatformDrives;
  if (FDriveQuery == nullptr) PlatformDrives = NewSystemDriveQuery();
  IDriveQuery* Drives = FDriveQuery != nullptr ? FDriveQuery : PlatformDrives.get();
  TArcTypeDetector Detector(Stream, FArchiveFile, FZip, Drives, FHeaderKeys);
  const TArcType Result = Detector.Detect();
  FDetectionError = Detector.LastError();
  FArchiveSize = Detector.ArchiveSize();
  FArchiveDate = Detector.ArchiveDate();
  return Result;
}

void TArcBase::SetVolumeNaming() {
  ComputeVolumeNaming(FArcType, FArchiveFile, FVolumeNumber, FVolumeLetter);
}

}  // namespace ruvevid
