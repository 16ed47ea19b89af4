#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <random>

#include "platform/StagedFile.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

namespace {

constexpr int kNameAttempts = 16;
// NTFS and FAT take at most 255 UTF-16 units in a name.
constexpr std::size_t kMaxNameUnits = 255;

// A name in Target's folder: ".<file name>.<random>~", or ".rv<random>~" when that would be longer
// than a file name may be.
std::string StagingName(const std::string& Target, std::uint64_t Random) {
  const std::size_t Slash = Target.find_last_of("/\\");
  const std::string Folder =
      Slash == std::string::npos ? std::string() : Target.substr(0, Slash + 1);
  const std::string File = Slash == std::string::npos ? Target : Target.substr(Slash + 1);
  const std::string Tag = std::to_string(Random % 1000000000000ULL);
  std::string Name = "." + File + "." + Tag + "~";
  if (Utf8ToWide(Name).size() > kMaxNameUnits) Name = ".rv" + Tag + "~";
  return Folder + Name;
}

// Whether the file Model that an output replaces lets it: not a directory (EISDIR) and not
// read-only (EACCES). A new file has the default attributes, so nothing carries over.
bool CheckReplaced(const std::string& Model) {
  const DWORD Old = ::GetFileAttributesW(LongPath(Model).c_str());
  if (Old == INVALID_FILE_ATTRIBUTES) {
    const DWORD Error = ::GetLastError();
    if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND) return true;
    errno = win32::ErrnoOfWin32Error(Error);
    return false;
  }
  if ((Old & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return false;
  }
  if ((Old & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return false;
  }
  return true;
}

// The root of the volume Path lies on ("C:\", a mounted folder), empty when it cannot be told.
std::wstring VolumeOf(const std::string& Path) {
  std::wstring Root(MAX_PATH + 1, L'\0');
  if (!::GetVolumePathNameW(LongPath(Path).c_str(), Root.data(), static_cast<DWORD>(Root.size())))
    return {};
  Root.resize(std::wcslen(Root.c_str()));
  return Root;
}

}  // namespace

TFileHandle CreateStagingFile(const std::string& Target, std::string& StagingPath,
                              const std::string& Replaced) {
  StagingPath.clear();
  if (!CheckReplaced(Replaced.empty() ? Target : Replaced)) return {};
  const auto Clock =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937_64 Random(Clock ^ std::hash<std::string>{}(Target));
  for (int Attempt = 0; Attempt < kNameAttempts; ++Attempt) {
    const std::string Name = StagingName(Target, Random());
    const HANDLE Handle = ::CreateFileW(LongPath(Name).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Handle == INVALID_HANDLE_VALUE) {
      const DWORD Error = ::GetLastError();
      if (Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS) continue;
      errno = win32::ErrnoOfWin32Error(Error);
      return {};
    }
    StagingPath = Name;
    return TFileHandle(win32::NativeOf(Handle));
  }
  errno = EEXIST;
  return {};
}

bool CommitStagingFile(const std::string& StagingPath, const std::string& Target) {
  return win32::MoveReplacing(StagingPath, Target) == 0;
}

bool TakeStagingFile(TNativeHandle File, const std::string& Decoded, const std::string& Target,
                     std::string& StagingPath, const std::string& Replaced) {
  (void)File;  // a new file has the default attributes already
  StagingPath.clear();
  if (!CheckReplaced(Replaced.empty() ? Target : Replaced)) return false;
  // A move that replaces cannot take the file to another volume.
  const std::size_t Slash = Target.find_last_of("/\\");
  const std::string Folder = Slash == std::string::npos ? "." : Target.substr(0, Slash + 1);
  const std::wstring From = VolumeOf(Decoded);
  if (From.empty() ||
      ::CompareStringOrdinal(From.c_str(), -1, VolumeOf(Folder).c_str(), -1, TRUE) != CSTR_EQUAL) {
    errno = EXDEV;
    return false;
  }
  StagingPath = Decoded;
  return true;
}

bool DiscardStagingFile(const std::string& StagingPath) {
  return !StagingPath.empty() && ::DeleteFileW(LongPath(StagingPath).c_str());
}

}  // namespace ruvevid
