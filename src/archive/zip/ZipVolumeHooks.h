#pragma once
// Where the zip reader reaches the other parts of a split set (atZipMV) or a disk-spanned set
// (atZipDS). The directory walks, the stored-data loop and the inflate loop call these when the
// data they need lies on another part. The component binds them to its part switch and
// disk-spanning object (Volumes.h); these defaults bring no volume up, so a walk given them over a
// set stops where it would need one.

#include <cstdint>
#include <memory>

namespace ruvevid {

class TStream32;
class TUnZip;

class TZipVolumeHooks {
 public:
  TZipVolumeHooks() = default;
  virtual ~TZipVolumeHooks() = default;
  TZipVolumeHooks(const TZipVolumeHooks&) = delete;
  TZipVolumeHooks& operator=(const TZipVolumeHooks&) = delete;

  // Disk-spanned sets: prepares the disk-spanning object for a run (the last disk is wanted next).
  virtual void InitSpannedSet(TUnZip& /*Arc*/) {}
  // Disk-spanned sets: the disk the next BringUpDisk asks for (0 the last, 1 the first, n the
  // n-th).
  virtual void SetWantedDisk(std::uint16_t /*Disk*/) {}
  // Disk-spanned sets: the disk the next BringUpDisk would ask for; after a bring-up, the disk in
  // the drive plus one.
  virtual std::uint16_t WantedDisk() const { return 0; }
  // Disk-spanned sets: has the wanted disk inserted and reopens Stream on it. False: no disk.
  virtual bool BringUpDisk(TUnZip& /*Arc*/, std::unique_ptr<TStream32>& /*Stream*/) {
    return false;
  }
  // Split sets: replaces Stream by part Index (0-based) of a set whose last part is Last.
  virtual bool OpenNextVolume(TUnZip& /*Arc*/, std::unique_ptr<TStream32>& /*Stream*/,
                              std::int32_t /*Index*/, std::int32_t /*Last*/) {
    return false;
  }
};

}  // namespace ruvevid
