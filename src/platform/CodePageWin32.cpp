#include <windows.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/CodePage.h"
#include "platform/WideText.h"

namespace ruvevid {

namespace {

// The Windows code page of a name as iconv knows it ("CP949", "UTF-8"); 0 when it has none.
UINT CodePageNumber(std::string_view Name) {
  if (Name == "UTF-8") return CP_UTF8;
  if (Name.size() < 3 || (Name.substr(0, 2) != "CP" && Name.substr(0, 2) != "cp")) return 0;
  UINT Number = 0;
  for (const char C : Name.substr(2)) {
    if (C < '0' || C > '9' || Number > 100000) return 0;
    Number = Number * 10 + static_cast<UINT>(C - '0');
  }
  return Number;
}

}  // namespace

std::optional<std::string> ConvertToUtf8(std::string_view Text, const char* FromCodePage) {
  const UINT CodePage = CodePageNumber(FromCodePage);
  if (CodePage == 0 || !::IsValidCodePage(CodePage) || Text.size() > INT_MAX) return std::nullopt;
  if (Text.empty()) return std::string();
  const int Size = static_cast<int>(Text.size());
  // Any byte that is no character of the code page fails the conversion, as with iconv.
  const int Length =
      ::MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Text.data(), Size, nullptr, 0);
  if (Length <= 0) return std::nullopt;
  std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
  if (::MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Text.data(), Size, Wide.data(),
                            Length) != Length)
    return std::nullopt;
  // Some Windows tables pass bytes they lack through as C1 controls (CP949's 0x80); no name holds
  // one, and iconv refuses such bytes, so they fail here as well.
  for (const wchar_t C : Wide)
    if (C >= 0x80 && C <= 0x9F) return std::nullopt;
  return WideToUtf8(Wide);
}

}  // namespace ruvevid
