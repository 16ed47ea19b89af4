#include <windows.h>

#include "platform/PrivateProfile.h"
#include "platform/ProfileText.h"
#include "platform/WideText.h"

namespace ruvevid {

namespace {

// True when nothing stands at Path or a regular file does; a link (any reparse point), a folder
// or a device is never written through. The link itself is looked at, not its target.
bool IsFileOrNothing(const std::wstring& Path) {
  const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  const DWORD NotAFile =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  return (Attributes & NotAFile) == 0;
}

// The absolute form of Path: the profile functions look for a bare or relative name in the
// Windows folder, not in the current one.
std::wstring FullPath(const std::wstring& Path) {
  const DWORD Needed = ::GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
  if (Needed == 0) return {};
  std::wstring Full(Needed, L'\0');
  const DWORD Length = ::GetFullPathNameW(Path.c_str(), Needed, Full.data(), nullptr);
  if (Length == 0 || Length >= Needed) return {};
  Full.resize(Length);
  return Full;
}

}  // namespace

// The system's own private-profile writer does the editing; the refusals of the header are made
// before it is called, since it would write through a link and accept any text.
bool WritePrivateProfileKey(const std::string& Section, const std::string& Key,
                            const std::string& Value, const std::string& FileName) {
  if (FileName.empty() || !IsWritableProfileKey(Section, Key, Value)) return false;
  if (FileName.find('\0') != std::string::npos) return false;
  const std::wstring Path = FullPath(Utf8ToWide(FileName));
  if (Path.empty() || !IsFileOrNothing(Path)) return false;
  return ::WritePrivateProfileStringW(Utf8ToWide(Section).c_str(), Utf8ToWide(Key).c_str(),
                                      Utf8ToWide(Value).c_str(), Path.c_str()) != FALSE;
}

}  // namespace ruvevid
