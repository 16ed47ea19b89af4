#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/ProgramLaunch.h"
#include "platform/WideText.h"

namespace ruvevid {

// The shell starts the program as the desktop does when the user opens it, in its own folder.
bool LaunchProgram(const std::string& Path) {
  if (Path.empty()) return false;
  const std::wstring File = Utf8ToWide(Path);
  // The shell would open a folder in a window of its own: it is no program.
  const DWORD Attributes = ::GetFileAttributesW(File.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  const std::size_t Separator = File.find_last_of(L"\\/");
  const std::wstring Folder =
      Separator == std::wstring::npos ? std::wstring() : File.substr(0, Separator + 1);
  const HINSTANCE Result =
      ::ShellExecuteW(nullptr, L"open", File.c_str(), nullptr,
                      Folder.empty() ? nullptr : Folder.c_str(), SW_SHOWNORMAL);
  // Values up to 32 are error codes.
  return reinterpret_cast<INT_PTR>(Result) > 32;
}

}  // namespace ruvevid
