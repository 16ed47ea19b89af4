// Archive opening and type detection: the ArchiveFile and ArcType setters and DetectArcType.
// This first version keeps the name of an existing file and recognises no type; the full signature
// detection replaces it.

#include <sys/stat.h>

#include "archive/base/ArcBase.h"
#include "archive/base/ArcErrors.h"
#include "archive/base/Stream32.h"

namespace ruvevid {
namespace {

bool RegularFileExists(const std::string& Name) {
  struct stat Info {};
  return !Name.empty() && ::stat(Name.c_str(), &Info) == 0 && !S_ISDIR(Info.st_mode);
}

}  // namespace

void TArcBase::SetArchiveFile(const std::string& Value) {
  if (!RegularFileExists(Value)) {
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
  FZip.CommentStart = 0;
  FZip.OffsetAdjust = 0;
  FZip.FirstHeaderOffset = -1;
  FZip.HeaderState.Clear();
  FArchiveSize = Stream.Size();
  FArchiveDate = DefaultArchiveDate;
  return TArcType::atNA;
}

void TArcBase::SetVolumeNaming() {
  FVolumeNumber = 0;
}

}  // namespace ruvevid
