#include <windows.h>

#include <climits>

#include "platform/WideText.h"

namespace ruvevid {

std::wstring Utf8ToWide(std::string_view Text) {
  if (Text.empty() || Text.size() > INT_MAX) return {};
  const int Size = static_cast<int>(Text.size());
  const int Needed = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, nullptr, 0);
  if (Needed <= 0) return {};
  std::wstring Wide(static_cast<std::size_t>(Needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, Wide.data(), Needed);
  return Wide;
}

std::string WideToUtf8(std::wstring_view Text) {
  if (Text.empty() || Text.size() > INT_MAX) return {};
  const int Size = static_cast<int>(Text.size());
  const int Needed =
      ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, nullptr, 0, nullptr, nullptr);
  if (Needed <= 0) return {};
  std::string Narrow(static_cast<std::size_t>(Needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, Narrow.data(), Needed, nullptr, nullptr);
  return Narrow;
}

std::wstring LongPath(std::string_view Path) {
  std::wstring Wide = Utf8ToWide(Path);
  for (wchar_t& C : Wide) {
    if (C == L'/') C = L'\\';
  }
  if (Wide.starts_with(L"\\\\?\\")) return Wide;
  if (Wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + Wide.substr(2);
  const bool DriveAbsolute = Wide.size() >= 3 && Wide[1] == L':' && Wide[2] == L'\\';
  return DriveAbsolute ? L"\\\\?\\" + Wide : Wide;
}

}  // namespace ruvevid
