#include <windows.h>

#include "platform/WideText.h"

namespace ruvevid {

std::wstring Utf8ToWide(const std::string& Text) {
  if (Text.empty()) return {};
  const int Length =
      MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  if (Length <= 0) return {};
  std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
  return Wide;
}

std::string WideToUtf8(const std::wstring& Text) {
  if (Text.empty()) return {};
  const int Length = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (Length <= 0) return {};
  std::string Narrow(static_cast<std::size_t>(Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Narrow.data(), Length,
                      nullptr, nullptr);
  return Narrow;
}

std::wstring LongPath(const std::string& Path) {
  std::wstring Wide = Utf8ToWide(Path);
  for (wchar_t& Char : Wide) {
    if (Char == L'/') Char = L'\\';
  }
  if (Wide.rfind(L"\\\\?\\", 0) == 0) return Wide;
  if (Wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + Wide.substr(2);
  const bool DriveAbsolute = Wide.size() >= 3 && Wide[1] == L':' && Wide[2] == L'\\';
  return DriveAbsolute ? L"\\\\?\\" + Wide : Wide;
}

}  // namespace ruvevid
