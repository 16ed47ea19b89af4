#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
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

}  // namespace

TFileHandle CreateStagingFile(const std::string& Target, std::string& StagingPath,
                              const std::string& Replaced) {
  StagingPath.clear();
  const std::string& Model = Replaced.empty() ? Target : Replaced;
  const DWORD Old = ::GetFileAttributesW(LongPath(Model).c_str());
  if (Old == INVALID_FILE_ATTRIBUTES) {
    const DWORD Error = ::GetLastError();
    if (Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND) {
      errno = win32::ErrnoOfWin32Error(Error);
      return {};
    }
  } else if ((Old & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return {};
  } else if ((Old & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return {};
  }
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

TFileHandle AdoptStagingFile(TNativeHandle Staged, const std::string& Decoded,
                             std::string& StagingPath) {
  (void)Staged;  // a new file has the default attributes already
  const HANDLE Handle = ::CreateFileW(LongPath(Decoded).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    errno = win32::ErrnoFromLastError();
    return {};
  }
  // Opened with FILE_SHARE_DELETE: the empty temporary file goes when its handle is closed.
  ::DeleteFileW(LongPath(StagingPath).c_str());
  StagingPath = Decoded;
  return TFileHandle(win32::NativeOf(Handle));
}

bool DiscardStagingFile(const std::string& StagingPath) {
  return !StagingPath.empty() && ::DeleteFileW(LongPath(StagingPath).c_str());
}

}  // namespace ruvevid
