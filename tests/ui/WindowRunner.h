#pragma once
// Runs the real window with the real controller as the program entry does, for tests of whole
// runs: the window comes up, its first size notification runs the update, and a callback watches
// (and may click) every couple of milliseconds from the event loop while it runs.

#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "app/UpdaterServices.h"
#include "ui/QtApplication.h"
#include "ui/UpdaterWindow.h"

namespace ruvevid::test {

struct TWindowRunResult {
  std::string LabDown;  // the status line at the end of the run
  bool Terminated = false;
  bool CancelEnabled = false;
  bool RestartEnabled = false;
  bool CloseEnabled = false;
  int ExitCode = -1;                // after the user's Close where the run did not end the program
  std::vector<std::string> Errors;  // what reached the error display
  QImage Final;                     // the window at the end of the run
};

// DuringRun is called every 2 ms while the run goes on. A run that leaves the window open is
// ended with a click on Close when that button is enabled, else with the close box.
TWindowRunResult RunWindow(TQtApplication& App, TUpdaterServices Services,
                           const std::function<void(TUpdaterWindow&)>& DuringRun = {});

}  // namespace ruvevid::test
