#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/DriveLayer.h"

namespace ruvevid {

namespace {

std::string WithSeparator(const std::string& Drive) {
  return !Drive.empty() && Drive.back() == '/' ? Drive : Drive + '/';
}

}  // namespace

std::unique_ptr<IDriveLayer> NewSystemDriveLayer() {
  return std::make_unique<TPosixDriveLayer>();
}

std::unique_ptr<IDriveQuery> NewSystemDriveQuery() {
  return std::make_unique<TPosixDriveQuery>();
}

std::optional<TDriveFacts> TPosixDriveLayer::QueryDrive(const std::string& Path) {
  return FQuery.QueryDrive(Path);
}

std::string TPosixDriveLayer::DriveOf(const std::string& Path) {
  const auto Facts = FQuery.QueryDrive(Path.empty() ? std::string(".") : Path);
  return Facts ? Facts->Drive : std::string();
}

std::optional<TDiskSpace> TPosixDriveLayer::DiskSpace(const std::string& Drive) {
  struct statvfs Info {};
  if (Drive.empty() || ::statvfs(Drive.c_str(), &Info) != 0) return std::nullopt;
  TDiskSpace Space;
  Space.FreeBytes = static_cast<std::uint64_t>(Info.f_bavail) * Info.f_frsize;
  Space.TotalBytes = static_cast<std::uint64_t>(Info.f_blocks) * Info.f_frsize;
  return Space;
}

TWriteProbe TPosixDriveLayer::ProbeWrite(const std::string& Drive, const std::string& Prefix) {
  std::string Name = WithSeparator(Drive) + Prefix + "XXXXXX";
  std::vector<char> Template(Name.begin(), Name.end());
  Template.push_back('\0');
  const int Fd = ::mkstemp(Template.data());
  if (Fd < 0) return errno == EROFS ? TWriteProbe::wpWriteProtected : TWriteProbe::wpWritable;
  ::close(Fd);
  return ::unlink(Template.data()) == 0 ? TWriteProbe::wpWritable : TWriteProbe::wpWriteProtected;
}

std::optional<TVolumeInformation> TPosixDriveLayer::VolumeInformation(const std::string& Drive,
                                                                      std::string& ErrorText) {
  struct statvfs Info {};
  if (Drive.empty() || ::statvfs(Drive.c_str(), &Info) != 0) {
    ErrorText = std::strerror(Drive.empty() ? ENOENT : errno);
    return std::nullopt;
  }
  TVolumeInformation Volume;
  Volume.SerialNumber = static_cast<std::uint32_t>(Info.f_fsid);
  Volume.MaxComponentLength = static_cast<std::uint32_t>(Info.f_namemax);
  Volume.FileSystemFlags = static_cast<std::uint32_t>(Info.f_flag);
  if (const auto Facts = FQuery.QueryDrive(Drive)) {
    Volume.Label = Facts->VolumeLabel;
    Volume.FileSystemName = Facts->FileSystem;
  }
  return Volume;
}

TDriveType TPosixDriveLayer::DriveTypeOf(const std::string& Drive) {
  struct statvfs Info {};
  if (Drive.empty() || ::statvfs(Drive.c_str(), &Info) != 0) return TDriveType::dtNoRootDir;
  const auto Facts = FQuery.QueryDrive(Drive);
  return Facts ? Facts->DriveType : TDriveType::dtUnknown;
}

}  // namespace ruvevid
