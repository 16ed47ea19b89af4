#include "platform/DriveQuery.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace ruvevid {

namespace fs = std::filesystem;

namespace drive_query_detail {

namespace {

std::string DecodeOctalEscapes(const std::string& Text) {
  std::string Out;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == '\\' && I + 3 < Text.size() && Text[I + 1] >= '0' && Text[I + 1] <= '3' &&
        Text[I + 2] >= '0' && Text[I + 2] <= '7' && Text[I + 3] >= '0' && Text[I + 3] <= '7') {
      Out += static_cast<char>((Text[I + 1] - '0') * 64 + (Text[I + 2] - '0') * 8 +
                               (Text[I + 3] - '0'));
      I += 3;
    } else {
      Out += Text[I];
    }
  }
  return Out;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

bool IsPathPrefix(const std::string& Prefix, const std::string& Path) {
  if (Prefix == "/") return true;
  if (Path.compare(0, Prefix.size(), Prefix) != 0) return false;
  return Path.size() == Prefix.size() || Path[Prefix.size()] == '/';
}

std::optional<bool> ReadRemovableFlag(const fs::path& Folder) {
  std::ifstream In(Folder / "removable");
  char Flag = 0;
  if (!(In >> Flag)) return std::nullopt;
  return Flag == '1';
}

// The removable flag of a block device, looked up on the device and, for a partition, its disk.
std::optional<bool> RemovableFlagOf(unsigned Major, unsigned Minor) {
  std::error_code Error;
  const fs::path Link =
      fs::path("/sys/dev/block") / (std::to_string(Major) + ":" + std::to_string(Minor));
  const fs::path Device = fs::canonical(Link, Error);
  if (Error) return std::nullopt;
  if (auto Flag = ReadRemovableFlag(Device)) return Flag;
  return ReadRemovableFlag(Device.parent_path());
}

std::string LabelOf(const std::string& Source) {
  std::error_code Error;
  const fs::path Device = fs::canonical(Source, Error);
  if (Error) return {};
  for (const fs::directory_entry& Entry : fs::directory_iterator("/dev/disk/by-label", Error)) {
    std::error_code LinkError;
    if (fs::canonical(Entry.path(), LinkError) == Device && !LinkError) {
      return DecodeLabelName(Entry.path().filename().string());
    }
  }
  return {};
}

}  // namespace

std::optional<TMountEntry> ParseMountInfoLine(const std::string& Line) {
  std::istringstream In(Line);
  std::vector<std::string> Fields;
  for (std::string Field; In >> Field;) Fields.push_back(Field);
  // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
  std::size_t Dash = 6;
  while (Dash < Fields.size() && Fields[Dash] != "-") ++Dash;
  if (Fields.size() < 7 || Dash + 2 >= Fields.size()) return std::nullopt;
  TMountEntry Entry;
  const std::string& Numbers = Fields[2];
  const std::size_t Colon = Numbers.find(':');
  if (Colon == std::string::npos) return std::nullopt;
  try {
    Entry.Major = static_cast<unsigned>(std::stoul(Numbers.substr(0, Colon)));
    Entry.Minor = static_cast<unsigned>(std::stoul(Numbers.substr(Colon + 1)));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  Entry.MountPoint = DecodeOctalEscapes(Fields[4]);
  Entry.FileSystem = Fields[Dash + 1];
  Entry.Source = DecodeOctalEscapes(Fields[Dash + 2]);
  return Entry;
}

std::string DecodeLabelName(const std::string& Name) {
  std::string Out;
  for (std::size_t I = 0; I < Name.size(); ++I) {
    if (Name[I] == '\\' && I + 3 < Name.size() && Name[I + 1] == 'x' &&
        HexDigit(Name[I + 2]) >= 0 && HexDigit(Name[I + 3]) >= 0) {
      Out += static_cast<char>(HexDigit(Name[I + 2]) * 16 + HexDigit(Name[I + 3]));
      I += 3;
    } else {
      Out += Name[I];
    }
  }
  return Out;
}

TDriveType DriveTypeFor(const std::string& FileSystem, std::optional<bool> Removable) {
  static constexpr std::string_view kRemote[] = {"nfs",   "nfs4",       "cifs", "smb3", "smbfs",
                                                 "sshfs", "fuse.sshfs", "9p",   "afs",  "ceph"};
  static constexpr std::string_view kRam[] = {"tmpfs", "ramfs"};
  static constexpr std::string_view kOptical[] = {"iso9660", "udf"};
  for (std::string_view Name : kRemote)
    if (FileSystem == Name) return TDriveType::dtRemote;
  for (std::string_view Name : kOptical)
    if (FileSystem == Name) return TDriveType::dtCdRom;
  if (Removable.has_value()) return *Removable ? TDriveType::dtRemovable : TDriveType::dtFixed;
  for (std::string_view Name : kRam)
    if (FileSystem == Name) return TDriveType::dtRamDisk;
  return TDriveType::dtFixed;
}

}  // namespace drive_query_detail

std::optional<TDriveFacts> TPosixDriveQuery::QueryDrive(const std::string& Path) {
  using namespace drive_query_detail;
  std::error_code Error;
  fs::path Absolute = fs::weakly_canonical(fs::absolute(Path, Error), Error);
  if (Error) return std::nullopt;
  const std::string Target = Absolute.string();

  std::ifstream MountInfo(FMountTable);
  std::optional<TMountEntry> Best;
  for (std::string Line; MountInfo && std::getline(MountInfo, Line);) {
    auto Entry = ParseMountInfoLine(Line);
    if (!Entry || !IsPathPrefix(Entry->MountPoint, Target)) continue;
    // Later lines stack over earlier ones on the same mount point.
    if (!Best || Entry->MountPoint.size() >= Best->MountPoint.size()) Best = Entry;
  }
  TDriveFacts Facts;
  if (!Best) {
    // No mount to be told: the folder itself stands for its drive, a fixed one.
    Facts.Drive = fs::is_directory(Absolute, Error) ? Target : Absolute.parent_path().string();
    Facts.DriveType = TDriveType::dtFixed;
    return Facts;
  }

  Facts.Drive = Best->MountPoint;
  Facts.Device = Best->Source;
  Facts.FileSystem = Best->FileSystem;
  std::optional<bool> Removable;
  if (Best->Major != 0) Removable = RemovableFlagOf(Best->Major, Best->Minor);
  Facts.DriveType = DriveTypeFor(Best->FileSystem, Removable);
  if (!Best->Source.empty() && Best->Source.front() == '/')
    Facts.VolumeLabel = LabelOf(Best->Source);
  return Facts;
}

}  // namespace ruvevid
