#include <windows.h>

#include "platform/WideText.h"

namespace ruvevid {

std::wstring Utf8ToWide(std::string_view Text) {
  if (Text.empty()) return {};
  const int Size = static_cast<int>(Text.size());
  const int Count = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, nullptr, 0);
  if (Count <= 0) return {};
  std::wstring Wide(static_cast<std::size_t>(Count), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, Wide.data(), Count);
  return Wide;
}

std::string WideToUtf8(std::wstring_view Text) {
  if (Text.empty()) return {};
  const int Size = static_cast<int>(Text.size());
  const int Count =
      ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, nullptr, 0, nullptr, nullptr);
  if (Count <= 0) return {};
  std::string Narrow(static_cast<std::size_t>(Count), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, Narrow.data(), Count, nullptr, nullptr);
  return Narrow;
}

std::wstring LongPath(std::string_view Path) {
  std::wstring Wide = Utf8ToWide(Path);
  if (Wide.starts_with(L"\\\\?\\")) return Wide;
  for (wchar_t& C : Wide) {
    if (C == L'/') C = L'\\';
  }
  const bool DrivePath = Wide.size() >= 3 && Wide[1] == L':' && Wide[2] == L'\\';
  if (DrivePath) return L"\\\\?\\" + Wide;
  const bool SharePath = Wide.starts_with(L"\\\\") && !Wide.starts_with(L"\\\\.\\");
  if (SharePath) return L"\\\\?\\UNC\\" + Wide.substr(2);
  return Wide;
}

}  // namespace ruvevid
