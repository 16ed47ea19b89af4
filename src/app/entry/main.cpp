// Program entry of the updater: the application object, the main window with its controller, and
// the message loop. The whole run (download, extraction, launch) happens inside the window's
// first size notification, before the loop starts.

#include <QApplication>
#include <QCoreApplication>
#include <QString>
#include <exception>
#include <iostream>

#include "app/Updater.h"
#include "ui/ErrorDisplay.h"
#include "ui/QtApplication.h"
#include "ui/UpdaterHandlers.h"
#include "ui/UpdaterWindow.h"

namespace {

int RunUpdater(int Argc, char** Argv) {
  QApplication Application(Argc, Argv);
  QCoreApplication::setApplicationName(QString::fromUtf8(ruvevid::kApplicationTitle));

  ruvevid::TQtApplication App;
  ruvevid::TUpdaterWindow Window;
  ruvevid::TfrmUpdater Updater(Window, App);
  Window.Bind(ruvevid::BindUpdaterHandlers(Updater));

  Window.Create();  // FormCreate
  Window.ComeUp();  // shows the window; its first size notification runs the whole update
  if (!App.Terminated()) QApplication::exec();

  // The controller goes first: nothing may reach it from the window after this.
  Window.Bind({});
  return Updater.ExitCode();
}

}  // namespace

int main(int Argc, char** Argv) {
  // Handlers catch what they raise; this is the last stop for a failure outside them.
  try {
    return RunUpdater(Argc, Argv);
  } catch (const std::exception& Error) {
    std::cerr << Error.what() << '\n';
  } catch (...) {
    std::cerr << "Unknown error\n";
  }
  return 1;
}
