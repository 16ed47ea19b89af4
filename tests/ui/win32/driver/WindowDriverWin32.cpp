// Shows the updater's window in a state a run passes through and keeps it up for a while, for
// pictures of the window taken from outside (scripts/windows-screenshots.sh).
//   ruvevid-window-driver downloading|extracting|stopped [seconds]

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "ui/UpdaterHandlers.h"
#include "ui/win32/ApplicationWin32.h"
#include "ui/win32/DpiWin32.h"
#include "ui/win32/UpdaterWindowWin32.h"

namespace {

using ruvevid::TUpdaterButton;
using ruvevid::win32::TUpdaterWindow;

void Downloading(TUpdaterWindow& Window) {
  Window.SetProgressMax(1'536'000);
  Window.SetProgressPosition(614'400);
  Window.SetBytesText("600 / 1,500 KBytes");
  Window.SetBytesVisible(true);
}

void Extracting(TUpdaterWindow& Window) {
  Window.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  Window.SetButtonEnabled(TUpdaterButton::btnClose, false);
  Window.SetProgressMax(1'536'000);
  Window.SetProgressPosition(1'536'000);
  Window.SetLabDownText("Roduvov0.zip을 다운받았습니다.");
  Window.RefreshLabDown();
  Window.SetBytesVisible(false);
  Window.SetUnzipVisible(true);
  Window.SetUnzipCaption("Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  Window.RefreshUnzip();
  Window.SetGauge1Progress(62);
  Window.SetGauge2Progress(35);
}

void Stopped(TUpdaterWindow& Window) {
  Window.SetLabDownText("다운로드가 중지 되었습니다");
  Window.RefreshLabDown();
  Window.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  Window.SetButtonEnabled(TUpdaterButton::btnRedown, true);
}

// The time is up: the message loop ends.
void CALLBACK TimeUp(HWND /*Window*/, UINT /*Message*/, UINT_PTR /*Id*/, DWORD /*Time*/) {
  PostQuitMessage(0);
}

}  // namespace

int main(int Argc, char** Argv) {
  const char* State = Argc > 1 ? Argv[1] : "downloading";
  const int Seconds = Argc > 2 ? std::atoi(Argv[2]) : 10;
  ruvevid::win32::EnablePerMonitorDpiAwareness();
  ruvevid::win32::TApplication App;
  TUpdaterWindow Window;
  ruvevid::TUpdaterWindowHandlers Handlers;
  // Like the controller: the separator sits above the buttons, across the right panel.
  Handlers.FormResize = [&Window] {
    Window.SetBevel2Bounds(0, Window.CancelButtonTop() - 18, Window.RightPanelWidth());
  };
  Handlers.FormCloseQuery = [&App] {
    App.Terminate();
    return true;
  };
  Window.Bind(Handlers);
  App.SetMessageFilter([&Window](MSG& Message) { return Window.PreTranslateMessage(Message); });
  Window.Create();
  Window.ComeUp();
  if (std::strcmp(State, "extracting") == 0) {
    Extracting(Window);
  } else if (std::strcmp(State, "stopped") == 0) {
    Stopped(Window);
  } else {
    Downloading(Window);
  }
  SetTimer(nullptr, 0, static_cast<UINT>(Seconds) * 1000u, TimeUp);
  App.Run();
  Window.Bind({});
  return 0;
}
