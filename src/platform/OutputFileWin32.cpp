#include <windows.h>

#include "platform/OutputFile.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixRegular = 0100000;
constexpr std::uint32_t kUnixOwnerWrite = 0200;
// The bits an entry may bring along; the others (directory, compressed, ...) are the system's.
constexpr DWORD kEntryBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

}  // namespace

std::optional<std::uint32_t> ReadFileAttributes(const std::string& Path) {
  if (Path.empty()) return std::nullopt;
  const DWORD Attributes = ::GetFileAttributesW(LongPath(Path).c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  const std::uint32_t Attr = Attributes & (kEntryBits | FILE_ATTRIBUTE_DIRECTORY);
  return Attr == 0 ? faNormal : Attr;
}

bool ClearReadOnly(const std::string& Path) {
  const std::wstring Wide = LongPath(Path);
  const DWORD Attributes = ::GetFileAttributesW(Wide.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD Cleared = Attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return ::SetFileAttributesW(Wide.c_str(), Cleared == 0 ? FILE_ATTRIBUTE_NORMAL : Cleared);
}

bool SetLastWriteTime(TNativeHandle Handle, std::time_t Time) {
  const FILETIME Written = win32::TimeToFileTime(Time);
  return ::SetFileTime(win32::HandleOf(Handle), nullptr, nullptr, &Written);
}

bool ApplyEntryAttributes(TNativeHandle Handle, std::uint32_t Attr) {
  DWORD Wanted = Attr & kEntryBits;
  if (((Attr >> 16) & kUnixTypeMask) == kUnixRegular) {
    // A mode written on a Unix system: read-only is all of it Windows can hold.
    Wanted = ((Attr >> 16) & kUnixOwnerWrite) == 0 ? FILE_ATTRIBUTE_READONLY : 0;
  }
  FILE_BASIC_INFO Info{};
  // Zero times leave the file's times as they are.
  Info.FileAttributes = Wanted == 0 ? FILE_ATTRIBUTE_NORMAL : Wanted;
  return ::SetFileInformationByHandle(win32::HandleOf(Handle), FileBasicInfo, &Info, sizeof Info);
}

bool HasLinkedDirectoryBelow(const std::string& Base, const std::string& Path) {
  std::size_t At = Base.size();
  while (At < Path.size()) {
    const std::size_t Next = Path.find_first_of("/\\", At);
    if (Next == std::string::npos) break;  // the last component is the file itself
    if (Next > At) {
      // Symbolic links and junctions are both reparse points.
      const DWORD Attributes = ::GetFileAttributesW(LongPath(Path.substr(0, Next)).c_str());
      if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return true;
    }
    At = Next + 1;
  }
  return false;
}

}  // namespace ruvevid
