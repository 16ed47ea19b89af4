#include <windows.h>

#include <charconv>

#include "platform/CodePage.h"
#include "platform/WideText.h"

namespace ruvevid {

namespace {

// The number of a code page named "CPnnn" (any letter case) or "UTF-8"; 0 for any other name.
UINT CodePageNumber(std::string_view Name) {
  const auto Upper = [](char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; };
  std::string Folded;
  for (const char C : Name) Folded += Upper(C);
  if (Folded == "UTF-8" || Folded == "UTF8") return CP_UTF8;
  if (!Folded.starts_with("CP")) return 0;
  const std::string_view Digits = std::string_view(Folded).substr(2);
  UINT Number = 0;
  const auto [End, Error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Number);
  if (Error != std::errc() || End != Digits.data() + Digits.size()) return 0;
  return Number;
}

}  // namespace

std::optional<std::string> ConvertToUtf8(std::string_view Text, const char* FromCodePage) {
  const UINT CodePage = FromCodePage != nullptr ? CodePageNumber(FromCodePage) : 0;
  if (CodePage == 0 || !::IsValidCodePage(CodePage)) return std::nullopt;
  if (Text.empty()) return std::string();
  const int Size = static_cast<int>(Text.size());
  // Strict: a byte sequence the code page does not define fails the whole conversion instead
  // of becoming a replacement character.
  const int Count =
      ::MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Text.data(), Size, nullptr, 0);
  if (Count <= 0) return std::nullopt;
  std::wstring Wide(static_cast<std::size_t>(Count), L'\0');
  if (::MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Text.data(), Size, Wide.data(),
                            Count) != Count) {
    return std::nullopt;
  }
  // The Windows tables give a byte the code page leaves undefined (0x80 in CP949, 0x81 in CP1252)
  // the C1 control of the same value; iconv, and so the Linux build, refuses it.
  if (CodePage != CP_UTF8) {
    for (const wchar_t C : Wide) {
      if (C >= 0x80 && C <= 0x9F) return std::nullopt;
    }
  }
  return WideToUtf8(Wide);
}

}  // namespace ruvevid
