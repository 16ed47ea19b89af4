#pragma once
// The drive-query service: what kind of drive holds a path and what its volume label is.
// Split and disk-spanned zip sets are told apart by it (a removable disk labelled "PKBACK# n").

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace ruvevid {

// Platform drive types 0 to 6, as the Windows build reports them.
enum class TDriveType : std::uint8_t {
  dtUnknown = 0,
  dtNoRootDir = 1,
  dtRemovable = 2,
  dtFixed = 3,
  dtRemote = 4,
  dtCdRom = 5,
  dtRamDisk = 6,
};

struct TDriveFacts {
  std::string Drive;       // the mount point that holds the path
  std::string Device;      // the mounted source (a device path for block devices)
  std::string FileSystem;  // file system type name
  TDriveType DriveType = TDriveType::dtUnknown;
  std::string VolumeLabel;  // empty when the volume has none
};

class IDriveQuery {
 public:
  virtual ~IDriveQuery() = default;
  // Facts about the drive that holds Path; nothing when they cannot be read.
  virtual std::optional<TDriveFacts> QueryDrive(const std::string& Path) = 0;
};

// The drive query of this system.
std::unique_ptr<IDriveQuery> NewSystemDriveQuery();

// Reads /proc/self/mountinfo, /sys/dev/block/*/removable and /dev/disk/by-label. A path whose
// mount cannot be told (a chroot or a container without its own mount table) is on a fixed disk
// whose drive is the path's folder.
class TPosixDriveQuery final : public IDriveQuery {
 public:
  static constexpr const char* kMountTable = "/proc/self/mountinfo";
  explicit TPosixDriveQuery(std::string MountTable = kMountTable)
      : FMountTable(std::move(MountTable)) {}
  std::optional<TDriveFacts> QueryDrive(const std::string& Path) override;

 private:
  std::string FMountTable;
};

// Helpers of the POSIX implementation, exposed for tests.
namespace drive_query_detail {

struct TMountEntry {
  std::string MountPoint;
  std::string FileSystem;
  std::string Source;
  unsigned Major = 0;
  unsigned Minor = 0;
};

// Parses one line of /proc/self/mountinfo (octal escapes such as \040 decoded).
std::optional<TMountEntry> ParseMountInfoLine(const std::string& Line);
// Decodes the \xHH escapes of /dev/disk/by-label names.
std::string DecodeLabelName(const std::string& Name);
// The drive type for a mount: removable flag of its block device, else by file system.
TDriveType DriveTypeFor(const std::string& FileSystem, std::optional<bool> Removable);

}  // namespace drive_query_detail

}  // namespace ruvevid
