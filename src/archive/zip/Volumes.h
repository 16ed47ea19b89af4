#pragma once
// The parts of a split set (atZipMV): how part k is named, and the volume hooks of the zip reader
// bound to the component's split-part switch and disk-spanning object.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/zip/ZipVolumeHooks.h"

namespace ruvevid {

class TStream32;
class TUnZip;

// The name of part Index (0-based) of a split set whose last part is Last: CurrentVolumeName with
// its extension replaced by ".z" and Index + 1 in at least two digits while Index < Last, else
// ArchiveFile.
std::string VolumeNameFor(const std::string& CurrentVolumeName, const std::string& ArchiveFile,
                          std::int32_t Index, std::int32_t Last);

// The volume hooks of a run: split parts through TUnZip::OpenNextVolume (OnNextVolume), disks of
// a spanned set through the component's disk-spanning object.
class TZipVolumeSet final : public TZipVolumeHooks {
 public:
  void InitSpannedSet(TUnZip& Arc) override;
  void SetWantedDisk(std::uint16_t Disk) override;
  std::uint16_t WantedDisk() const override;
  bool BringUpDisk(TUnZip& Arc, std::unique_ptr<TStream32>& Stream) override;
  bool OpenNextVolume(TUnZip& Arc, std::unique_ptr<TStream32>& Stream, std::int32_t Index,
                      std::int32_t Last) override;

 private:
  TUnZip* FArc = nullptr;
};

}  // namespace ruvevid
