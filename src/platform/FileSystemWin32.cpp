#include <windows.h>
// <windows.h> names its own DeleteFileW so; the platform header declares ours.
#undef DeleteFile

#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

namespace {

// NTFS and FAT take at most 255 UTF-16 units in a name and 32767 in a whole path.
constexpr std::size_t kMaxNameUnits = 255;
constexpr std::size_t kMaxPathUnits = 32767;

DWORD AttributesOf(const std::string& Path) {
  if (Path.empty()) return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(LongPath(Path).c_str());
}

// Follows a link at Path to what it names; INVALID_FILE_ATTRIBUTES when that is missing.
DWORD TargetAttributesOf(const std::string& Path) {
  const DWORD Attributes = AttributesOf(Path);
  if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return Attributes;
  const HANDLE Handle = ::CreateFileW(LongPath(Path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
  BY_HANDLE_FILE_INFORMATION Info{};
  const bool Read = ::GetFileInformationByHandle(Handle, &Info);
  ::CloseHandle(Handle);
  return Read ? Info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool FileExists(const std::string& Path) {
  const DWORD Attributes = TargetAttributesOf(Path);
  return Attributes != INVALID_FILE_ATTRIBUTES &&
         (Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool PathExists(const std::string& Path) {
  return TargetAttributesOf(Path) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::string& Path) {
  const DWORD Attributes = TargetAttributesOf(Path);
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFile(const std::string& Path) {
  if (Path.empty()) return false;
  const std::wstring Wide = LongPath(Path);
  const DWORD Attributes = ::GetFileAttributesW(Wide.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return false;
  if ((Attributes & FILE_ATTRIBUTE_READONLY) != 0)
    ::SetFileAttributesW(Wide.c_str(), Attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return ::DeleteFileW(Wide.c_str());
}

bool NameFitsFileSystem(const std::string& Path) {
  const std::wstring Wide = Utf8ToWide(Path);
  if (Wide.size() >= kMaxPathUnits) return false;
  std::size_t Start = 0;
  while (Start <= Wide.size()) {
    std::size_t End = Wide.find_first_of(L"/\\", Start);
    if (End == std::wstring::npos) End = Wide.size();
    if (End - Start > kMaxNameUnits) return false;
    Start = End + 1;
  }
  return true;
}

std::string ReadSymbolicLink(const std::string& Path) {
  // Links are never followed nor made by the program; their targets are not read on Windows.
  static_cast<void>(Path);
  return {};
}

bool SyncFileSystem(const std::string& Path) {
  // An ordinary user cannot flush a whole volume: the folder is flushed where the system allows
  // it, and the moves themselves are made with write-through.
  const HANDLE Folder = ::CreateFileW(LongPath(Path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (Folder == INVALID_HANDLE_VALUE) return false;
  const bool Flushed = ::FlushFileBuffers(Folder) || ::GetLastError() == ERROR_ACCESS_DENIED ||
                       ::GetLastError() == ERROR_INVALID_HANDLE ||
                       ::GetLastError() == ERROR_INVALID_FUNCTION;
  ::CloseHandle(Folder);
  return Flushed;
}

bool FileSystemFull(const std::string& Path) {
  ULARGE_INTEGER Available{};
  return ::GetDiskFreeSpaceExW(LongPath(Path).c_str(), &Available, nullptr, nullptr) &&
         Available.QuadPart == 0;
}

bool AllowExecution(const std::string& Path) {
  // Windows runs a file by its name's extension; there is no bit to set.
  return FileExists(Path);
}

}  // namespace ruvevid
