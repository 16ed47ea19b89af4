#pragma once
// The drive services behind the disk checks of split and spanned zip sets: which drive holds a
// path, whether it is ready (its size can be read), whether it accepts a file at its root, its
// volume information and its kind. The POSIX implementation reads the mount table and statvfs,
// the Windows one asks the drive's root; tests substitute their own drives.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/DriveQuery.h"

namespace ruvevid {

struct TDiskSpace {
  std::uint64_t FreeBytes = 0;
  std::uint64_t TotalBytes = 0;
};

struct TVolumeInformation {
  std::string Label;
  std::uint32_t SerialNumber = 0;
  std::uint32_t MaxComponentLength = 0;
  std::uint32_t FileSystemFlags = 0;
  std::string FileSystemName;
};

// The outcome of the write probe at a drive's root.
enum class TWriteProbe : std::uint8_t {
  wpWritable,        // a file was created and deleted again, or creation failed for another reason
  wpWriteProtected,  // the drive refused the file as read-only, or the file could not be deleted
};

class IDriveLayer : public IDriveQuery {
 public:
  // The drive that holds Path (on POSIX the mount point); empty when it cannot be told.
  virtual std::string DriveOf(const std::string& Path) = 0;
  // The drive's free space and size; nothing when the drive is not ready.
  virtual std::optional<TDiskSpace> DiskSpace(const std::string& Drive) = 0;
  // Creates a temporary file with the given three-letter prefix at the drive's root and deletes
  // it at once.
  virtual TWriteProbe ProbeWrite(const std::string& Drive, const std::string& Prefix) = 0;
  // The volume information of the drive's root; nothing (and ErrorText set) when it cannot be
  // read.
  virtual std::optional<TVolumeInformation> VolumeInformation(const std::string& Drive,
                                                              std::string& ErrorText) = 0;
  // The platform drive type of the drive.
  virtual TDriveType DriveTypeOf(const std::string& Drive) = 0;
};

// The drive layer of this system: TPosixDriveLayer, or on Windows the drive letters' own services
// (GetDriveTypeW, GetVolumeInformationW, GetDiskFreeSpaceExW).
std::unique_ptr<IDriveLayer> NewSystemDriveLayer();

#ifndef _WIN32
// Mount point from /proc/self/mountinfo, removable flag from sysfs, label from
// /dev/disk/by-label, sizes, serial number and name length from statvfs.
class TPosixDriveLayer final : public IDriveLayer {
 public:
  // MountTable: the mount table read (tests give one without the folders they use).
  explicit TPosixDriveLayer(std::string MountTable = TPosixDriveQuery::kMountTable)
      : FQuery(std::move(MountTable)) {}

  std::optional<TDriveFacts> QueryDrive(const std::string& Path) override;
  std::string DriveOf(const std::string& Path) override;
  std::optional<TDiskSpace> DiskSpace(const std::string& Drive) override;
  TWriteProbe ProbeWrite(const std::string& Drive, const std::string& Prefix) override;
  std::optional<TVolumeInformation> VolumeInformation(const std::string& Drive,
                                                      std::string& ErrorText) override;
  TDriveType DriveTypeOf(const std::string& Drive) override;

 private:
  TPosixDriveQuery FQuery;
};
#endif

}  // namespace ruvevid
