// The updater's whole cycle in one process: the controller with the real services (process
// termination, settings file, program launch, download over loopback, extraction) behind a model
// of the window. The archive is made by Info-ZIP zip from a payload folder.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "app/ExtractionHandoff.h"
#include "app/FailureTexts.h"
#include "app/FakeUpdaterView.h"
#include "app/ProcessTermination.h"
#include "app/SettingsWriter.h"
#include "app/Updater.h"
#include "platform/ProgramLaunch.h"
#include "support/ChildProgram.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"

extern char** environ;

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::FakeApplication;
using test::FakeUpdaterView;
using test::ServerProcess;
using test::TempDir;

// A process named RovuzurA.exe, as the running main application.
class RunningMainApplication {
 public:
  explicit RunningMainApplication(const fs::path& Folder) {
    const fs::path image = Folder / "RovuzurA.exe";
    fs::copy_file("/bin/sleep", image);
    std::string path = image.string(), seconds = "120";
    char* argv[] = {path.data(), seconds.data(), nullptr};
    if (::posix_spawn(&FPid, path.c_str(), nullptr, nullptr, argv, environ) != 0) FPid = -1;
  }
  ~RunningMainApplication() {
    if (FPid > 0 && !FReaped) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
  }
  // True when the process ended through SIGKILL within the time given.
  bool WasKilled() {
    for (int i = 0; i < 200 && !FReaped; ++i) {
      int status = 0;
      if (::waitpid(FPid, &status, WNOHANG) == FPid) {
        FReaped = true;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  pid_t FPid = -1;
  bool FReaped = false;
};

class UpdateCycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(Payload.path() / "Ruvevid.exe",
                     "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n");
    fs::permissions(Payload.path() / "Ruvevid.exe", fs::perms::owner_all, fs::perm_options::add);
    std::string big;
    for (int i = 0; i < 200000; ++i) big += std::to_string(i * 31 % 977) + (i % 9 ? " " : "\n");
    test::WriteBytes(Payload.path() / "data" / "labels.txt", big);
    test::WriteBytes(Payload.path() / "readme.txt", "Ruvevid Label Maker 2.0\r\n");
    std::string noise(70000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
      noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    test::WriteBytes(Payload.path() / "bin" / "stored.bin", noise);
    fs::create_directories(ServerRoot.path() / "HTTP" / "Ruvevid");
    const fs::path archive = ServerRoot.path() / "HTTP" / "Ruvevid" / "Roduvov0.zip";
    const std::string command = "zip -q -r -X '" + archive.string() + "' . && zip -q -0 '" +
                                archive.string() + "' bin/stored.bin";
    ASSERT_TRUE(test::RunShellIn(Payload.path(), command)) << command;
    test::WriteBytes(Program.path() / "readme.txt", "old version\n");
    Server = std::make_unique<ServerProcess>(ServerRoot.path());
  }

  TUpdaterServices Services() {
    TUpdaterServices services = DefaultUpdaterServices();
    services.UrlText = Server->url("/HTTP/Ruvevid/Roduvov0.zip");
    const std::string folder = Program.path().string() + "/";
    services.ProgramFolder = [folder] { return folder; };
    services.WriteSetting = [folder](const std::string& File, const std::string& Section,
                                     const std::string& Key, const std::string& Value) {
      return WriteSettingIn(folder, File, Section, Key, Value);
    };
    return services;
  }

  bool WaitForFile(const fs::path& Path) {
    for (int i = 0; i < 500; ++i) {
      if (fs::exists(Path)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  TfrmUpdater& updater() {
    if (!FUpdater) FUpdater = std::make_unique<TfrmUpdater>(View, App, Services());
    return *FUpdater;
  }

  TempDir Payload;
  TempDir ServerRoot;
  TempDir Program;
  std::unique_ptr<ServerProcess> Server;
  FakeUpdaterView View;
  FakeApplication App;
  std::unique_ptr<TfrmUpdater> FUpdater;
};

TEST_F(UpdateCycleTest, InstallsTheUpdateStartsTheApplicationAndQuits) {
  RunningMainApplication running(Program.path());
  updater().FormCreate();
  EXPECT_TRUE(running.WasKilled());

  updater().FormResize();

  for (const char* name : {"Ruvevid.exe", "data/labels.txt", "readme.txt", "bin/stored.bin"}) {
    EXPECT_TRUE(test::ReadBytes(Program.path() / name) == test::ReadBytes(Payload.path() / name))
        << name;
  }
  EXPECT_FALSE(fs::exists(Program.path() / "Roduvov0.zip")) << "the archive is deleted";
  EXPECT_TRUE(WaitForFile(Program.path() / "started.txt")) << "Ruvevid.exe was started";
  EXPECT_TRUE(App.Terminated());
  EXPECT_EQ(View.LabDown, std::string("Roduvov0.zip") + kTextDownloaded);
  EXPECT_EQ(View.UnzipCaption, kTextExtracted);
  EXPECT_TRUE(View.UnzipVisible);
  EXPECT_FALSE(View.BytesVisible);
  EXPECT_EQ(View.Gauge2, 100);
  EXPECT_EQ(App.Pauses, (std::vector<std::uint32_t>{500, 500}));
  for (TUpdaterButton button :
       {TUpdaterButton::btnCancel, TUpdaterButton::btnRedown, TUpdaterButton::btnClose}) {
    EXPECT_FALSE(View.ButtonEnabled(button));
  }
  EXPECT_FALSE(fs::exists(Program.path() / "Daz.dat")) << "a finished run records no stop";
  EXPECT_EQ(updater().ExitCode(), 0);
}

TEST_F(UpdateCycleTest, CloseWhileStagingInstallsNothingAndRecordsTheStop) {
  bool closed = false;
  App.OnPump = [&](int) {
    if (View.UnzipVisible && !closed) {
      closed = true;
      EXPECT_TRUE(updater().FormCloseQuery());
    }
  };
  updater().FormCreate();
  updater().FormResize();

  EXPECT_TRUE(closed);
  EXPECT_EQ(test::ReadBytes(Program.path() / "readme.txt"), "old version\n");
  for (const char* name : {"Ruvevid.exe", "data", "bin", "Roduvov0.zip", ".ruvevid-staging"})
    EXPECT_FALSE(fs::exists(Program.path() / name)) << name;
  EXPECT_TRUE(App.Terminated());
  EXPECT_EQ(View.LabDown, kTextStoppedRun);
  EXPECT_EQ(App.Pauses, (std::vector<std::uint32_t>{500, 1000}));
  EXPECT_NE(test::ReadBytes(Program.path() / "Daz.dat").find("Work=False"), std::string::npos);
  EXPECT_EQ(updater().ExitCode(), 1);
}

TEST_F(UpdateCycleTest, CloseDuringTheCommitStillStartsTheNewVersion) {
  // The close request is handled at the commit's first step, as a click pumped there would be.
  TUpdaterServices services = Services();
  bool closed = false;
  services.InstallCheckpoint = [&](const char* Point) {
    if (!closed && std::string(Point) == "committing") {
      closed = true;
      EXPECT_TRUE(updater().FormCloseQuery());
    }
  };
  FUpdater = std::make_unique<TfrmUpdater>(View, App, services);
  updater().FormCreate();
  updater().FormResize();

  EXPECT_TRUE(closed);
  EXPECT_TRUE(test::ReadBytes(Program.path() / "readme.txt") ==
              test::ReadBytes(Payload.path() / "readme.txt"));
  EXPECT_TRUE(WaitForFile(Program.path() / "started.txt")) << "Ruvevid.exe was started";
  EXPECT_TRUE(App.Terminated());
  EXPECT_FALSE(fs::exists(Program.path() / "Daz.dat")) << "an installed run records no stop";
  EXPECT_EQ(updater().ExitCode(), 0);
}

TEST_F(UpdateCycleTest, AMissingArchiveOnTheServerHaltsWithNothingInstalled) {
  fs::remove(ServerRoot.path() / "HTTP" / "Ruvevid" / "Roduvov0.zip");
  updater().FormCreate();
  updater().FormResize();

  EXPECT_FALSE(App.Terminated()) << "the window stays for the user to close";
  EXPECT_EQ(View.LabDown, std::string(kTextHttpStatus) + " (HTTP 404)");
  EXPECT_FALSE(fs::exists(Program.path() / "Roduvov0.zip"));
  EXPECT_FALSE(fs::exists(Program.path() / "Ruvevid.exe"));
  EXPECT_EQ(test::ReadBytes(Program.path() / "readme.txt"), "old version\n");
}

}  // namespace
}  // namespace ruvevid
