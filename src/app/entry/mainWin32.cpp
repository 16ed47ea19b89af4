// Program entry of the updater on Windows: the application object, the main window with its
// controller, and the message loop. The whole run (download, extraction, launch) happens inside
// the window's first size notification, before the loop starts.

#include <windows.h>

#include <exception>
#include <string>

#include "app/Updater.h"
#include "ui/UpdaterHandlers.h"
#include "ui/win32/ApplicationWin32.h"
#include "ui/win32/DpiWin32.h"
#include "ui/win32/ErrorDisplayWin32.h"
#include "ui/win32/UpdaterWindowWin32.h"

namespace {

int RunUpdater(HINSTANCE Instance) {
  ruvevid::win32::EnablePerMonitorDpiAwareness();
  ruvevid::win32::TApplication App;
  ruvevid::win32::TUpdaterWindow Window(Instance);
  ruvevid::TfrmUpdater Updater(Window, App);
  Window.Bind(ruvevid::BindUpdaterHandlers(Updater));
  App.SetMessageFilter([&Window](MSG& Message) { return Window.PreTranslateMessage(Message); });

  Window.Create();  // FormCreate
  Window.ComeUp();  // shows the window; its first size notification runs the whole update
  if (!App.Terminated()) App.Run();

  // The controller goes first: nothing may reach it from the window after this.
  Window.Bind({});
  return Updater.ExitCode();
}

}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE /*Previous*/, LPSTR /*CommandLine*/,
                   int /*Show*/) {
  // Handlers catch what they raise; this is the last stop for a failure outside them.
  std::string Message;
  try {
    return RunUpdater(Instance);
  } catch (const std::exception& Error) {
    Message = Error.what();
  } catch (...) {
    Message = "Unknown error";
  }
  ruvevid::win32::ShowDefaultError(nullptr, Message);
  return 1;
}
