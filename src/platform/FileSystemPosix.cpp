#include <sys/stat.h>
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
  struct stat info {};
  return StatPath(Path, info) && S_ISREG(info.st_mode);
}

bool PathExists(const std::string& Path) {
  struct stat info {};
  return StatPath(Path, info);
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
  struct stat info {};
  return StatPath(Path, info) && S_ISDIR(info.st_mode);
}

bool DeleteFile(const std::string& Path) {
  return !Path.empty() && ::unlink(Path.c_str()) == 0;
}

std::string ReadSymbolicLink(const std::string& Path) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink(Path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace ruvevid
