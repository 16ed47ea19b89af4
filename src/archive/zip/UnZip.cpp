#include "archive/zip/UnZip.h"

#include "archive/base/Stream32.h"
#include "archive/zip/DiskManager.h"
#include "archive/zip/DiskSpannObj.h"
#include "archive/zip/Volumes.h"
#include "archive/zip/ZipWalks.h"
#include "platform/DriveLayer.h"

namespace ruvevid {

TUnZip::TUnZip(IApplication* Application)
    : TUnBase(Application),
      Threads(RUVEVID_EXTRACT_THREADS),
      FOwnDrives(NewSystemDriveLayer()),
      FDrives(FOwnDrives.get()),
      FDiskManager(std::make_unique<TDiskManager>(*FDrives)),
      FDiskSpann(std::make_unique<TDiskSpannObj>(*this)) {
  FDriveQuery = FDrives;
}

TUnZip::~TUnZip() = default;

bool TUnZip::TestPassword(std::uint8_t* Header) {
  const TLocalHeader& Local = FZip.Headers.Local;
  return FRun.Decode.Cipher.CheckEncryptionHeader(Header, Local.Flags(), Local.Crc32(),
                                                  static_cast<std::uint32_t>(Local.DosDateTime()),
                                                  FRun.Password);
}

void TUnZip::ProcessArchive(std::unique_ptr<TStream32>& Input) {
  TZipVolumeSet Volumes;
  ExtractZip(*this, Input, Volumes);
}

void TUnZip::SetDriveLayer(IDriveLayer& Drives) {
  FDrives = &Drives;
  FDriveQuery = &Drives;
  FDiskManager->SetDriveLayer(Drives);
}

bool TUnZip::CheckArchiveDrive() {
  const TDiskErrorCallback Report = [this](const std::string& FileName,
                                           const std::string& ExtendedMsg,
                                           const std::string& VolumeID, int ECode) {
    ReportError(FileName, ExtendedMsg, VolumeID, ECode);
  };
  const TDiskErrorCallback Raise = [this](const std::string& FileName,
                                          const std::string& ExtendedMsg,
                                          const std::string& VolumeID, int ECode) {
    RaiseError(FileName, ExtendedMsg, VolumeID, ECode);
  };
  return FDiskManager->QueryDrive(FArchiveFile, {}, {}, Report, Raise);
}

void TUnZip::AdoptArchiveStream(TStream32& Stream) {
  FArchiveSize = Stream.Size();
  Stream.SetCancelFlag(FCancel);
  Stream.SetApplication(FApplication);
}

}  // namespace ruvevid
