// Operations on whole files and folder trees, behind platform/FileSystem.h.

#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

namespace {

DWORD LinkAttributes(const std::string& Path) {
  if (Path.empty()) return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(LongPath(Path).c_str());
}

// The names in Folder but "." and ".."; false when it cannot be read to the end.
bool FolderNames(const std::string& Folder, std::vector<std::string>& Names) {
  std::wstring Pattern = LongPath(Folder);
  // "\\?\" turns off the folding of doubled separators.
  while (!Pattern.empty() && Pattern.back() == L'\\') Pattern.pop_back();
  Pattern += L"\\*";
  WIN32_FIND_DATAW Found{};
  const HANDLE Search = ::FindFirstFileExW(Pattern.c_str(), FindExInfoBasic, &Found,
                                           FindExSearchNameMatch, nullptr, 0);
  if (Search == INVALID_HANDLE_VALUE) return false;
  bool Complete = true;
  for (;;) {
    const std::wstring_view Name = Found.cFileName;
    if (Name != L"." && Name != L"..") Names.push_back(WideToUtf8(Name));
    if (!::FindNextFileW(Search, &Found)) {
      Complete = ::GetLastError() == ERROR_NO_MORE_FILES;
      break;
    }
  }
  ::FindClose(Search);
  return Complete;
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

bool IsSeparator(char C) {
  return C == '/' || C == '\\';
}

}  // namespace

bool PathOccupied(const std::string& Path) {
  return LinkAttributes(Path) != INVALID_FILE_ATTRIBUTES;
}

bool IsRealFolder(const std::string& Path) {
  const DWORD Attributes = LinkAttributes(Path);
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::string CurrentFolder() {
  const DWORD Needed = ::GetCurrentDirectoryW(0, nullptr);
  if (Needed == 0) return {};
  std::wstring Folder(Needed, L'\0');
  const DWORD Length = ::GetCurrentDirectoryW(Needed, Folder.data());
  if (Length == 0 || Length >= Needed) return {};
  Folder.resize(Length);
  return WideToUtf8(Folder);
}

bool CreateFolder(const std::string& Path) {
  return !Path.empty() && ::CreateDirectoryW(LongPath(Path).c_str(), nullptr);
}

bool CreateFolders(const std::string& Path) {
  if (Path.empty()) return false;
  // From the deepest level up: the parents of a new folder usually exist, so one call makes it.
  const std::wstring Wide = LongPath(Path);
  if (::CreateDirectoryW(Wide.c_str(), nullptr)) return true;
  if (::GetLastError() == ERROR_PATH_NOT_FOUND) {
    std::size_t End = Path.size();
    while (End > 1 && IsSeparator(Path[End - 1])) --End;
    std::size_t Slash = Path.find_last_of("/\\", End - 1);
    // A drive root ("C:\") or a share's root is never made here.
    const bool AtRoot = Slash == std::string::npos || Slash == 0 || (Slash == 2 && Path[1] == ':');
    if (!AtRoot && CreateFolders(Path.substr(0, Slash)) &&
        ::CreateDirectoryW(Wide.c_str(), nullptr))
      return true;
  }
  return DirectoryExists(Path);
}

bool RenamePath(const std::string& From, const std::string& To) {
  return win32::MoveReplacing(From, To) == 0;
}

bool RemovePath(const std::string& Path) {
  const std::wstring Wide = LongPath(Path);
  const DWORD Attributes =
      Path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(Wide.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD Error = ::GetLastError();
    return !Path.empty() && (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND);
  }
  // A read-only file is removed as POSIX removes one from a writable folder.
  if ((Attributes & FILE_ATTRIBUTE_READONLY) != 0)
    ::SetFileAttributesW(Wide.c_str(), Attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if ((Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ::RemoveDirectoryW(Wide.c_str());
  return ::DeleteFileW(Wide.c_str());
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
    DWORD Read = 0;
    if (!::ReadFile(win32::HandleOf(File.Native()), Block, sizeof Block, &Read, nullptr))
      return std::nullopt;
    if (Read == 0) return Text;
    Text.append(Block, Read);
  }
}

}  // namespace ruvevid
