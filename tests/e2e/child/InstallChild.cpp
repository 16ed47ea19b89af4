// ruvevid-install-child FOLDER URL KILL_AT
//
// Runs the updater's controller over the program folder FOLDER against URL, with the real
// download, extraction, install and settings record, behind a model of the window; the main
// application is neither looked for nor started. At the KILL_AT-th step of the install or of its
// recovery (0: none) the process kills itself, as a crash or a user's kill would end it. Prints
// how many steps it passed and exits with the controller's exit status.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/FakeUpdaterView.h"
#include "app/SettingsWriter.h"
#include "app/Updater.h"
#include "support/FakeApplication.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: ruvevid-install-child FOLDER URL KILL_AT\n");
    return 2;
  }
  const std::string Folder = std::string(argv[1]) + "/";
  const long KillAt = std::atol(argv[3]);
  long Steps = 0;

  ruvevid::TUpdaterServices Services = ruvevid::DefaultUpdaterServices();
  Services.UrlText = argv[2];
  Services.ProgramFolder = [Folder] { return Folder; };
  Services.IsProcessRunning = [](const std::string&) { return false; };
  Services.KillProcess = [](const std::string&) { return 0; };
  Services.WriteSetting = [Folder](const std::string& File, const std::string& Section,
                                   const std::string& Key, const std::string& Value) {
    return ruvevid::WriteSettingIn(Folder, File, Section, Key, Value);
  };
  Services.LaunchProgram = [](const std::string&) { return true; };
  Services.InstallCheckpoint = [&Steps, KillAt](const char*) {
    if (++Steps == KillAt) ::kill(::getpid(), SIGKILL);
  };

  ruvevid::test::FakeUpdaterView View;
  ruvevid::test::FakeApplication App;
  ruvevid::TfrmUpdater Updater(View, App, Services);
  Updater.FormCreate();
  Updater.FormResize();
  std::printf("%ld\n", Steps);
  return Updater.ExitCode();
}
