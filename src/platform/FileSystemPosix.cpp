#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <vector>

#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

bool StatPath(const std::string& Path, struct stat& Info) {
  return !Path.empty() && ::stat(Path.c_str(), &Info) == 0;
}

}  // namespace

bool FileExists(const std::string& Path) {
  struct stat Info {};
  return StatPath(Path, Info) && S_ISREG(Info.st_mode);
}

bool PathExists(const std::string& Path) {
  struct stat Info {};
  return StatPath(Path, Info);
}

bool NameFitsFileSystem(const std::string& Path) {
  if (Path.size() >= PATH_MAX) return false;
  std::size_t Start = 0;
  while (Start <= Path.size()) {
    std::size_t End = Path.find('/', Start);
    if (End == std::string::npos) End = Path.size();
    if (End - Start > NAME_MAX) return false;
    Start = End + 1;
  }
  return true;
}

bool DirectoryExists(const std::string& Path) {
  struct stat Info {};
  return StatPath(Path, Info) && S_ISDIR(Info.st_mode);
}

bool DeleteFile(const std::string& Path) {
  return !Path.empty() && ::unlink(Path.c_str()) == 0;
}

std::string ReadSymbolicLink(const std::string& Path) {
  std::vector<char> Buffer(256);
  for (;;) {
    const ssize_t Length = ::readlink(Path.c_str(), Buffer.data(), Buffer.size());
    if (Length < 0) return {};
    if (static_cast<std::size_t>(Length) < Buffer.size()) {
      return std::string(Buffer.data(), static_cast<std::size_t>(Length));
    }
    Buffer.resize(Buffer.size() * 2);
  }
}

bool SyncFileSystem(const std::string& Path) {
  const int Handle = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Handle < 0) return false;
  const bool Synced = ::syncfs(Handle) == 0;
  ::close(Handle);
  return Synced;
}

bool FileSystemFull(const std::string& Path) {
  struct statvfs Info {};
  return ::statvfs(Path.c_str(), &Info) == 0 && Info.f_bavail == 0;
}

bool AllowExecution(const std::string& Path) {
  struct stat Info {};
  if (!StatPath(Path, Info) || !S_ISREG(Info.st_mode)) return false;
  mode_t Mode = Info.st_mode & 07777;
  Mode |= S_IXUSR;
  if ((Mode & S_IRGRP) != 0) Mode |= S_IXGRP;
  if ((Mode & S_IROTH) != 0) Mode |= S_IXOTH;
  return Mode == (Info.st_mode & 07777) || ::chmod(Path.c_str(), Mode) == 0;
}

}  // namespace ruvevid
