#pragma once
// The zip extraction component: TUnBase with the zip password test. The zip directory walks plug in
// as its ProcessArchive.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/base/UnBase.h"

namespace ruvevid {

class IDriveLayer;
class TDiskManager;
class TDiskSpannObj;

class TUnZip : public TUnBase {
 public:
  explicit TUnZip(IApplication* Application = nullptr);
  ~TUnZip() override;

  // Runs CheckEncryptionHeader of the run's cipher on Header with Run().Password and the flags,
  // CRC-32 and DOS time of the entry's local header (ZipState().Headers.Local).
  bool TestPassword(std::uint8_t* Header) override;

  // Threads that decode entries: 1 decodes each entry on the caller's thread in its turn; more
  // decode later entries ahead on worker threads while every event still fires on the caller's
  // thread in archive order with the same figures; 0 or less: one per core. The default is the
  // build's (RUVEVID_EXTRACT_THREADS). Split and spanned sets and ConfirmOverwrites are decoded on
  // the caller's thread whatever the setting, and so is an encrypted entry that none of the
  // passwords known when it was handed out opens.
  std::int32_t Threads;

  // ---- Split and spanned sets ----
  // The drive services of the drive checks and of type detection (default: the platform's); the
  // layer given must outlive the component.
  void SetDriveLayer(IDriveLayer& Drives);
  IDriveLayer& DriveLayer() const { return *FDrives; }
  // The drive-query object and the disk-spanning object.
  TDiskManager& DiskManager() { return *FDiskManager; }
  TDiskSpannObj& DiskSpann() { return *FDiskSpann; }
  // The name of split part Index (0-based) of a set whose last part is Last.
  std::string VolumeNameFor(std::int32_t Index, std::int32_t Last) const;
  // Frees Stream and opens split part Index through OnNextVolume; false when the event is not set
  // (25270, then the run is cancelled) or the application cancelled (25443).
  bool OpenNextVolume(std::unique_ptr<TStream32>& Stream, std::int32_t Index, std::int32_t Last);
  // Takes a newly opened volume as the archive stream: its size, the cancel flag, the pump.
  void AdoptArchiveStream(TStream32& Stream);

 protected:
  // The zip reader: ExtractZip.
  void ProcessArchive(std::unique_ptr<TStream32>& Input) override;
  // The drive check of a split or spanned set before it is opened.
  bool CheckArchiveDrive() override;

 private:
  std::unique_ptr<IDriveLayer> FOwnDrives;
  IDriveLayer* FDrives;
  std::unique_ptr<TDiskManager> FDiskManager;
  std::unique_ptr<TDiskSpannObj> FDiskSpann;
};

}  // namespace ruvevid
