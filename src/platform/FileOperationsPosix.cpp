// Operations on whole files and folder trees, behind platform/FileSystem.h.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

bool LinkStat(const std::string& Path, struct stat& Info) {
  return !Path.empty() && ::lstat(Path.c_str(), &Info) == 0;
}

struct TFolderCloser {
  void operator()(DIR* Folder) const { ::closedir(Folder); }
};
using TOpenFolder = std::unique_ptr<DIR, TFolderCloser>;

// The names in Folder but "." and ".."; false when it cannot be read to the end.
bool FolderNames(const std::string& Folder, std::vector<std::string>& Names) {
  const TOpenFolder Open(::opendir(Folder.c_str()));
  if (!Open) return false;
  for (;;) {
    errno = 0;
    const dirent* Entry = ::readdir(Open.get());
    if (Entry == nullptr) return errno == 0;
    const std::string Name = Entry->d_name;
    if (Name != "." && Name != "..") Names.push_back(Name);
  }
}

bool ListBelow(const std::string& Root, const std::string& Prefix, TFolderListing& Listing) {
  std::vector<std::string> Names;
  if (!FolderNames(Root + "/" + Prefix, Names)) return false;
  for (const std::string& Name : Names) {
    const std::string Relative = Prefix + Name;
    if (IsRealFolder(Root + "/" + Relative)) {
      Listing.Folders.push_back(Relative);
      if (!ListBelow(Root, Relative + "/", Listing)) return false;
    } else {
      Listing.Files.push_back(Relative);
    }
  }
  return true;
}

bool WriteText(const std::string& Path, const std::string& Text, TOpenFor Mode) {
  int Error = 0;
  TFileHandle File = OpenFile(Path, Mode, Error);
  if (!File.IsOpen()) return false;
  return WriteAll(File.Native(), Text.data(), Text.size()) == 0 && File.Close() == 0;
}

}  // namespace

bool PathOccupied(const std::string& Path) {
  struct stat Info {};
  return LinkStat(Path, Info);
}

bool IsRealFolder(const std::string& Path) {
  struct stat Info {};
  return LinkStat(Path, Info) && S_ISDIR(Info.st_mode);
}

std::string CurrentFolder() {
  std::vector<char> Buffer(PATH_MAX);
  return ::getcwd(Buffer.data(), Buffer.size()) != nullptr ? std::string(Buffer.data())
                                                           : std::string();
}

bool CreateFolder(const std::string& Path) {
  return !Path.empty() && ::mkdir(Path.c_str(), 0777) == 0;
}

bool CreateFolders(const std::string& Path) {
  if (Path.empty()) return false;
  // From the deepest level up: the parents of a new folder usually exist, so one call makes it.
  if (::mkdir(Path.c_str(), 0777) == 0) return true;
  if (errno == ENOENT) {
    std::size_t End = Path.size();
    while (End > 1 && Path[End - 1] == '/') --End;
    const std::size_t Slash = Path.rfind('/', End - 1);
    if (Slash != std::string::npos && Slash > 0 && CreateFolders(Path.substr(0, Slash)) &&
        ::mkdir(Path.c_str(), 0777) == 0)
      return true;
  }
  return DirectoryExists(Path);
}

bool RenamePath(const std::string& From, const std::string& To) {
  return ::rename(From.c_str(), To.c_str()) == 0;
}

bool RemovePath(const std::string& Path) {
  struct stat Info {};
  if (!LinkStat(Path, Info)) return errno == ENOENT;
  return (S_ISDIR(Info.st_mode) ? ::rmdir(Path.c_str()) : ::unlink(Path.c_str())) == 0;
}

bool RemoveTree(const std::string& Path) {
  if (IsRealFolder(Path)) {
    std::vector<std::string> Names;
    FolderNames(Path, Names);
    for (const std::string& Name : Names) RemoveTree(Path + "/" + Name);
  }
  return RemovePath(Path);
}

std::optional<TFolderListing> ListFolderTree(const std::string& Root) {
  TFolderListing Listing;
  if (!ListBelow(Root, "", Listing)) return std::nullopt;
  std::sort(Listing.Files.begin(), Listing.Files.end());
  std::sort(Listing.Folders.begin(), Listing.Folders.end());
  return Listing;
}

bool WriteWholeFile(const std::string& Path, const std::string& Text) {
  return WriteText(Path, Text, TOpenFor::ofCreateToWrite);
}

bool AppendToFile(const std::string& Path, const std::string& Text) {
  return WriteText(Path, Text, TOpenFor::ofAppend);
}

std::optional<std::string> ReadWholeFile(const std::string& Path) {
  int Error = 0;
  const TFileHandle File = OpenFile(Path, TOpenFor::ofRead, Error);
  if (!File.IsOpen()) return std::nullopt;
  std::string Text;
  char Block[65536];
  for (;;) {
    const ssize_t Read = ::read(File.Native(), Block, sizeof Block);
    if (Read < 0 && errno == EINTR) continue;
    if (Read < 0) return std::nullopt;
    if (Read == 0) return Text;
    Text.append(Block, static_cast<std::size_t>(Read));
  }
}

}  // namespace ruvevid
