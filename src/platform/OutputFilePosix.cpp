#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/OutputFile.h"

namespace ruvevid {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kUnixTypeMask = 0170000;
constexpr mode_t kUnixRegular = 0100000;

}  // namespace

std::optional<std::uint32_t> ReadFileAttributes(const std::string& Path) {
  struct stat Info {};
  if (Path.empty() || ::stat(Path.c_str(), &Info) != 0) return std::nullopt;
  std::uint32_t Attr = 0;
  if (S_ISDIR(Info.st_mode)) Attr |= faDirectory;
  if ((Info.st_mode & kWriteBits) == 0) Attr |= faReadOnly;
  return Attr == 0 ? faNormal : Attr;
}

bool ClearReadOnly(const std::string& Path) {
  struct stat Info {};
  if (::stat(Path.c_str(), &Info) != 0) return false;
  return ::chmod(Path.c_str(), (Info.st_mode & 07777) | S_IWUSR) == 0;
}

bool SetLastWriteTime(TNativeHandle Handle, std::time_t Time) {
  struct timespec Times[2] = {};
  Times[0].tv_nsec = UTIME_OMIT;
  Times[1].tv_sec = Time;
  return ::futimens(Handle, Times) == 0;
}

bool ApplyEntryAttributes(TNativeHandle Handle, std::uint32_t Attr) {
  const auto UnixMode = static_cast<mode_t>(Attr >> 16);
  if ((UnixMode & kUnixTypeMask) == kUnixRegular) return ::fchmod(Handle, UnixMode & 0777) == 0;
  if ((Attr & faReadOnly) != 0) {
    struct stat Info {};
    if (::fstat(Handle, &Info) != 0) return false;
    return ::fchmod(Handle, Info.st_mode & 0777 & ~kWriteBits) == 0;
  }
  return true;
}

bool HasLinkedDirectoryBelow(const std::string& Base, const std::string& Path) {
  std::size_t At = Base.size();
  while (At < Path.size()) {
    const std::size_t Next = Path.find('/', At);
    if (Next == std::string::npos) break;  // the last component is the file itself
    if (Next > At) {
      struct stat Info {};
      const std::string Folder = Path.substr(0, Next);
      if (::lstat(Folder.c_str(), &Info) == 0 && S_ISLNK(Info.st_mode)) return true;
    }
    At = Next + 1;
  }
  return false;
}

}  // namespace ruvevid
