#pragma once
// The root of the extraction component family: the archive's name, its detected type and what type
// detection and the end-record search found out about it.

#include <cstdint>
#include <string>

#include "archive/base/ArcTypes.h"
#include "archive/base/DosDateTime.h"
#include "archive/base/ZipRecords.h"
#include "archive/codec/ZipCipher.h"

namespace ruvevid {

class IDriveQuery;
class TStream32;

class TArcBase {
 public:
  TArcBase() = default;
  virtual ~TArcBase() = default;
  TArcBase(const TArcBase&) = delete;
  TArcBase& operator=(const TArcBase&) = delete;

  // ArchiveFile. Writing it runs type detection; a name of a file that does not exist is not kept
  // (the property then reads empty and ArcType is atNA).
  virtual std::string GetArchiveFile() const { return FArchiveFile; }
  virtual void SetArchiveFile(const std::string& Value);

  // ArcType. Writing it ignores the value and repeats detection on ArchiveFile; when the archive
  // cannot be opened it sets atNA and raises EFOpenError("Error opening file").
  TArcType ArcType() const { return FArcType; }
  virtual void SetArcType(TArcType Value);

  // What kept the last type detection from reading the archive (ArcType is then atUnknown); empty
  // when it could read it.
  const std::string& DetectionError() const { return FDetectionError; }

  std::int64_t ArchiveSize() const { return FArchiveSize; }
  std::int64_t FirstHeaderOffset() const { return FZip.FirstHeaderOffset; }
  std::uint32_t ArchiveDate() const { return FArchiveDate; }
  std::int32_t VolumeNumber() const { return FVolumeNumber; }
  char VolumeLetter() const { return FVolumeLetter; }
  void SetVolumeNumber(std::int32_t Value) { FVolumeNumber = Value; }

  // What the end-record search left for the directory walks (header kinds, header buffers,
  // FirstHeaderOffset, CommentStart, OffsetAdjust, extra-field high words).
  TZipFormatState& ZipState() { return FZip; }
  const TZipFormatState& ZipState() const { return FZip; }
  // The key state every enciphered header starts from, built when the component is created.
  const TZipKeys& HeaderKeyState() const { return FHeaderKeys; }

 protected:
  // Type detection proper, on the open archive: sets the detection fields and returns the type.
  TArcType DetectArcType(TStream32& Stream);
  // Volume numbering derived from ArchiveFile after a successful detection.
  void SetVolumeNaming();

  std::string FArchiveFile;
  TArcType FArcType = TArcType::atNA;
  std::string FDetectionError;
  std::int64_t FArchiveSize = 0;
  // The archive date when the file's own cannot be read.
  std::uint32_t FArchiveDate = kDefaultDosDateTime;
  std::int32_t FVolumeNumber = 0;
  char FVolumeLetter = '\0';
  TZipFormatState FZip;
  TZipKeys FHeaderKeys = kZipHeaderKeyState;
  // The drive query that tells split from spanned sets; null: the platform's.
  IDriveQuery* FDriveQuery = nullptr;
};

}  // namespace ruvevid
