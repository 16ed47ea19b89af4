// The real controller driving the real window through whole runs against the loopback update
// server: the fetch, the extraction with its gauges, the launch, and a close in the middle.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "QtTestApp.h"
#include "WindowRunner.h"
#include "app/Updater.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"
#include "ui/QtApplication.h"
#include "ui/UpdaterWindow.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

class WindowRun : public test::QtTest {
 protected:
  void MakeArchive(std::size_t DataSize) {
    const fs::path Payload = FWork.path() / "payload";
    test::WriteBytes(Payload / "Ruvevid.exe", "#!/bin/sh\n");
    test::WriteBytes(Payload / "readme.txt", "Ruvevid Label Maker\r\n");
    test::WriteBytes(Payload / "data" / "labels.dat", test::NoiseBytes(DataSize, 7));
    // Entries are stored: this is about the window and the controller, the decoders have their
    // own suites.
    const fs::path Archive = FWork.path() / "server" / "HTTP" / "Ruvevid" / "Roduvov0.zip";
    fs::create_directories(Archive.parent_path());
    const std::string Command = "zip -0 -q -r -X '" + Archive.string() + "' .";
    ASSERT_TRUE(test::RunShellIn(Payload, Command)) << Command;
    FServer = std::make_unique<test::ServerProcess>(FWork.path() / "server");
  }

  TUpdaterServices Services() {
    TUpdaterServices Services;
    Services.UrlText = FServer->url("/HTTP/Ruvevid/Roduvov0.zip");
    Services.ProgramFolder = [this] { return FProgram.path().string() + "/"; };
    Services.IsProcessRunning = [](const std::string&) { return false; };
    Services.KillProcess = [](const std::string&) { return 0; };
    Services.WriteSetting = [this](const std::string& File, const std::string& Section,
                                   const std::string& Key, const std::string& Value) {
      FCalls.push_back("setting " + File + " [" + Section + "] " + Key + "=" + Value);
      return true;
    };
    Services.LaunchProgram = [this](const std::string& Path) {
      FCalls.push_back("launch " + Path);
      return true;
    };
    return Services;
  }

  void RunUpdater(const std::function<void(TUpdaterWindow&)>& DuringRun) {
    test::TWindowRunResult Result = test::RunWindow(FApp, Services(), DuringRun);
    FErrors = Result.Errors;
    FFinal = Result.Final;
  }

  bool Called(const std::string& Call) const {
    return std::find(FCalls.begin(), FCalls.end(), Call) != FCalls.end();
  }

  test::TempDir FWork;
  test::TempDir FProgram;
  std::unique_ptr<test::ServerProcess> FServer;
  TQtApplication FApp;
  std::vector<std::string> FCalls;
  std::vector<std::string> FErrors;
  QImage FFinal;
};

TEST_F(WindowRun, FetchesExtractsAndLaunches) {
  if (test::FindBuiltProgram("ruvevid-update-server").empty()) {
    GTEST_SKIP() << "ruvevid-update-server is not built";
  }
  MakeArchive(600'000);
  bool SawDownloading = false;
  bool SawExtracting = false;
  RunUpdater([&](TUpdaterWindow& Window) {
    auto* Box = Window.findChild<QGroupBox*>(QStringLiteral("labUnzip"));
    auto* Bytes = Window.findChild<QLabel*>(QStringLiteral("lblBytes"));
    if (!SawDownloading && Bytes->text().contains(QStringLiteral("KBytes"))) {
      SawDownloading = true;
      test::SaveScreenshot(Window.grab().toImage(), "run-downloading");
    }
    if (!SawExtracting && Box->isVisible()) {
      SawExtracting = true;
      test::SaveScreenshot(Window.grab().toImage(), "run-extracting");
    }
  });
  test::SaveScreenshot(FFinal, "run-finished");
  EXPECT_TRUE(FErrors.empty()) << FErrors.front();
  EXPECT_TRUE(FApp.Terminated()) << "the launch asks the application to end";
  EXPECT_TRUE(SawDownloading);
  EXPECT_TRUE(SawExtracting);
  EXPECT_TRUE(Called("launch " + FProgram.path().string() + "/Ruvevid.exe"));
  EXPECT_TRUE(fs::exists(FProgram.path() / "readme.txt"));
  EXPECT_EQ(fs::file_size(FProgram.path() / "data" / "labels.dat"), 600'000u);
  EXPECT_FALSE(fs::exists(FProgram.path() / "Roduvov0.zip")) << "the archive is deleted";
}

TEST_F(WindowRun, CloseDuringTheDownloadRecordsTheStop) {
  if (test::FindBuiltProgram("ruvevid-update-server").empty()) {
    GTEST_SKIP() << "ruvevid-update-server is not built";
  }
  MakeArchive(20'000'000);
  bool Closed = false;
  RunUpdater([&Closed](TUpdaterWindow& Window) {
    auto* Bytes = Window.findChild<QLabel*>(QStringLiteral("lblBytes"));
    if (!Closed && Bytes->text().contains(QStringLiteral("KBytes"))) {
      Closed = true;
      Window.close();
    }
  });
  EXPECT_TRUE(Closed);
  EXPECT_TRUE(FErrors.empty());
  EXPECT_TRUE(FApp.Terminated());
  EXPECT_TRUE(Called("setting Daz [Update] Work=False"));
  EXPECT_FALSE(fs::exists(FProgram.path() / "readme.txt")) << "nothing extracted";
  for (const std::string& Call : FCalls) EXPECT_EQ(Call.rfind("launch", 0), std::string::npos);
}

}  // namespace
}  // namespace ruvevid
