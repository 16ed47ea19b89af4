#include "ui/win32/ErrorDisplayWin32.h"

#include <exception>

#include "app/FailureTexts.h"
#include "platform/WideText.h"

namespace ruvevid::win32 {

std::wstring ErrorBoxText(const std::string& Message) {
  return Utf8ToWide(kTextUnexpectedError) + L"\r\n\r\n" + Utf8ToWide(Message);
}

void ShowDefaultError(HWND Owner, const std::string& Message) {
  OutputDebugStringW((Utf8ToWide(Message) + L"\n").c_str());
  wchar_t Title[256] = L"";
  if (Owner != nullptr) GetWindowTextW(Owner, Title, static_cast<int>(std::size(Title)));
  MessageBoxW(Owner, ErrorBoxText(Message).c_str(), Title, MB_OK | MB_ICONERROR);
}

bool RunGuarded(const std::function<void()>& Handler, const TErrorDisplay& Display) {
  if (!Handler) return true;
  std::string Message;
  try {
    Handler();
    return true;
  } catch (const std::exception& Error) {
    Message = Error.what();
  } catch (...) {
    Message = "Unknown error";
  }
  // The display runs outside the catch block: the box pumps messages, and a handler run from
  // there may raise again.
  if (Display) Display(Message);
  return false;
}

}  // namespace ruvevid::win32
