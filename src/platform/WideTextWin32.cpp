#include <windows.h>

#include <climits>
#include <vector>

#include "platform/WideText.h"

namespace ruvevid {

std::wstring Utf8ToWide(std::string_view Text) {
  if (Text.empty() || Text.size() > INT_MAX) return {};
  const int Size = static_cast<int>(Text.size());
  const int Length = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, nullptr, 0);
  if (Length <= 0) return {};
  std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, Wide.data(), Length);
  return Wide;
}

std::string WideToUtf8(std::wstring_view Text) {
  if (Text.empty() || Text.size() > INT_MAX) return {};
  const int Size = static_cast<int>(Text.size());
  const int Length =
      ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, nullptr, 0, nullptr, nullptr);
  if (Length <= 0) return {};
  std::string Narrow(static_cast<std::size_t>(Length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, Narrow.data(), Length, nullptr, nullptr);
  return Narrow;
}

std::wstring LongPath(std::string_view Path) {
  std::wstring Wide = Utf8ToWide(Path);
  for (wchar_t& C : Wide)
    if (C == L'/') C = L'\\';
  if (Wide.empty() || Wide.starts_with(L"\\\\?\\")) return Wide;
  // Resolves "." and "..", the current folder and drive: the prefix below turns all of that off.
  const DWORD Needed = ::GetFullPathNameW(Wide.c_str(), 0, nullptr, nullptr);
  if (Needed == 0) return Wide;
  std::wstring Full(Needed, L'\0');
  const DWORD Length = ::GetFullPathNameW(Wide.c_str(), Needed, Full.data(), nullptr);
  if (Length == 0 || Length >= Needed) return Wide;
  Full.resize(Length);
  if (Full.starts_with(L"\\\\.\\")) return Full;  // a device
  if (Full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + Full.substr(2);
  return L"\\\\?\\" + Full;
}

}  // namespace ruvevid
