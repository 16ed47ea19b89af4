// The controller driven through a model of its window, against the project's update server on
// loopback. Clicks and size notifications arrive from inside the message pump, as they do when
// the window pumps messages in the middle of a transfer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/FailureTexts.h"
#include "app/FakeUpdaterView.h"
#include "app/Updater.h"
#include "download/WinHTTPDownload.h"
#include "platform/CurlTransport.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::FakeApplication;
using test::FakeUpdaterView;
using test::ServerProcess;
using test::TempDir;

constexpr std::size_t kFullBlocks = 10;
constexpr std::size_t kArchiveSize = kFullBlocks * 255 + 100;  // ten full blocks and a final one

class UpdaterControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Archive(kArchiveSize, '\0');
    for (std::size_t i = 0; i < kArchiveSize; ++i) Archive[i] = static_cast<char>(i * 7 + 3);
    test::WriteBytes(ServerRoot.path() / "HTTP" / "Ruvevid" / "Roduvov0.zip", Archive);
    Server = std::make_unique<ServerProcess>(ServerRoot.path());
  }

  TUpdaterServices Services() {
    TUpdaterServices services;
    services.UrlText = Server->url("/HTTP/Ruvevid/Roduvov0.zip");
    services.ProgramFolder = [this] { return Program.path().string() + "/"; };
    services.IsProcessRunning = [this](const std::string& Name) {
      Calls.push_back("running?" + Name);
      return MainApplicationRunning;
    };
    services.KillProcess = [this](const std::string& Name) {
      Calls.push_back("kill " + Name);
      return 1;
    };
    services.WriteSetting = [this](const std::string& File, const std::string& Section,
                                   const std::string& Key, const std::string& Value) {
      Calls.push_back("setting " + File + " [" + Section + "] " + Key + "=" + Value);
      return true;
    };
    services.LaunchProgram = [this](const std::string& Path) {
      Calls.push_back("launch " + Path);
      return true;
    };
    // Every pump below is a block's or the headers' pump: the idle handler, which pumps while
    // the transfer waits on the server, never runs here. The clock moves 100 ms a reading.
    CurlTransportOptions Options;
    Options.WaitCallbackIntervalMs = 3600 * 1000;
    services.Transport = MakeCurlTransport(Options);
    services.TickCount = [this] { return Tick += 100; };
    return services;
  }

  TfrmUpdater& Controller() {
    if (!FController) FController = std::make_unique<TfrmUpdater>(View, App, Services());
    return *FController;
  }

  fs::path FetchedArchive() const { return Program.path() / "Roduvov0.zip"; }
  std::uintmax_t FetchedSize() const {
    std::error_code ec;
    const auto size = fs::file_size(FetchedArchive(), ec);
    return ec ? 0 : size;
  }
  int SettingWrites() const {
    int count = 0;
    for (const std::string& call : Calls) count += call == "setting Daz [Update] Work=False";
    return count;
  }

  TempDir ServerRoot;
  TempDir Program;
  std::unique_ptr<ServerProcess> Server;
  FakeUpdaterView View;
  FakeApplication App;
  bool MainApplicationRunning = false;
  std::uint32_t Tick = 0;
  std::vector<std::string> Calls;
  std::unique_ptr<TfrmUpdater> FController;
};

TEST_F(UpdaterControllerTest, CreationTerminatesARunningMainApplication) {
  MainApplicationRunning = true;
  Controller().FormCreate();
  EXPECT_EQ(Calls, (std::vector<std::string>{"running?RovuzurA.exe", "kill RovuzurA.exe"}));
  EXPECT_FALSE(Controller().DownloadStarted());
  EXPECT_FALSE(Controller().StopRequested());
}

TEST_F(UpdaterControllerTest, CreationLeavesProcessesAloneWhenNoneRuns) {
  Controller().FormCreate();
  EXPECT_EQ(Calls, (std::vector<std::string>{"running?RovuzurA.exe"}));
}

TEST_F(UpdaterControllerTest, FirstSizeNotificationQueuesTheArchiveAndFetchesIt) {
  std::vector<int> positions;
  std::vector<std::string> texts;
  std::vector<bool> cancelEnabled;
  App.OnPump = [&](int) {
    positions.push_back(View.ProgressPosition);
    texts.push_back(View.BytesText);
    cancelEnabled.push_back(View.ButtonEnabled(TUpdaterButton::btnCancel));
  };
  Controller().FormCreate();
  Controller().FormResize();

  EXPECT_EQ(View.Bevel2Left, 0);
  EXPECT_EQ(View.Bevel2Top, 285 - 18);
  EXPECT_EQ(View.Bevel2Width, 430);
  ASSERT_EQ(View.Rows.size(), 1u);
  EXPECT_EQ(View.Rows[0].Caption, Services().UrlText);
  EXPECT_EQ(View.Rows[0].SubItems, (std::vector<std::string>{"", ""}));
  EXPECT_TRUE(Controller().DownloadStarted());
  EXPECT_EQ(View.ProgressMax, static_cast<int>(kArchiveSize));

  // One pump after the headers, one per block, one as the item ends.
  ASSERT_EQ(positions.size(), kFullBlocks + 3);
  for (std::size_t block = 1; block <= kFullBlocks; ++block) {
    EXPECT_EQ(positions[block], static_cast<int>(255 * block));
  }
  EXPECT_EQ(positions[kFullBlocks + 1], static_cast<int>(kArchiveSize));
  // The clock moves 100 ms a block: the text follows the first block, then twice a second, and
  // the last block always.
  EXPECT_EQ(texts[0], "0 / 3 KBytes");
  EXPECT_EQ(texts[1], "0 / 3 KBytes · 9 %");
  EXPECT_EQ(texts[5], texts[1]);
  EXPECT_EQ(texts[6], "1 / 3 KBytes · 57 % · 0.0 MB/s · 0:01 남음");
  EXPECT_EQ(texts[kFullBlocks + 1], "3 / 3 KBytes · 100 % · 0.0 MB/s · 0:00 남음");
  EXPECT_TRUE(cancelEnabled[kFullBlocks + 1]) << "Cancel is enabled while blocks arrive";
  EXPECT_FALSE(cancelEnabled.back()) << "and disabled once the archive is handed on";
  EXPECT_FALSE(Controller().DownloadRunning());
  // The served bytes are no zip archive: nothing is installed, and the user is told.
  EXPECT_EQ(View.LabDown, kTextNotAnUpdate);
  EXPECT_FALSE(fs::exists(FetchedArchive()));
  EXPECT_EQ(Controller().ExitCode(), 1);
}

struct CancelCase {
  const char* Name;
  int CancelAtPump;            // 1 is the headers' pump, 1 + k the pump of block k
  std::uintmax_t FetchedSize;  // what the program folder holds afterwards
};

class UpdaterCancelTest : public UpdaterControllerTest,
                          public ::testing::WithParamInterface<CancelCase> {};

// Cancel stops the transfer at once: no block after the one whose event it came in.
TEST_P(UpdaterCancelTest, CancelEndsTheTransferAtOnce) {
  int pumpsAfterCancel = 0;
  bool cancelled = false;
  App.OnPump = [&](int Pump) {
    if (cancelled) ++pumpsAfterCancel;
    if (Pump == GetParam().CancelAtPump) {
      Controller().btnCancelClick();
      cancelled = true;
      EXPECT_EQ(View.LabDown, kTextCancelled);
      EXPECT_FALSE(View.ButtonEnabled(TUpdaterButton::btnCancel));
      EXPECT_TRUE(View.ButtonEnabled(TUpdaterButton::btnRedown));
    }
  };
  Controller().FormCreate();
  Controller().FormResize();

  EXPECT_EQ(pumpsAfterCancel, 0) << "nothing is pumped while the stop is pending";
  EXPECT_EQ(FetchedSize(), GetParam().FetchedSize);
  EXPECT_EQ(SettingWrites(), 1);
  EXPECT_EQ(View.LabDown, kTextStoppedRun);
  EXPECT_EQ(App.Pauses, (std::vector<std::uint32_t>{1000}));
  EXPECT_TRUE(Controller().StopRequested());
  EXPECT_TRUE(Controller().DownloadStarted());
  EXPECT_FALSE(View.UnzipVisible);
  EXPECT_FALSE(App.Terminated());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, UpdaterCancelTest,
    ::testing::Values(CancelCase{"AtHeaders", 1, 0}, CancelCase{"AtBlock3", 4, 3 * 255},
                      CancelCase{"AtLastFullBlock", 1 + kFullBlocks, kFullBlocks * 255},
                      CancelCase{"AtFinalBlock", 2 + kFullBlocks, kArchiveSize}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(UpdaterControllerTest, CancelThenRestartFetchesTheArchiveOnceMore) {
  App.OnPump = [&](int Pump) {
    if (Pump == 3) Controller().btnCancelClick();
  };
  Controller().FormCreate();
  Controller().FormResize();
  ASSERT_EQ(FetchedSize(), 2u * 255);

  App.OnPump = nullptr;
  std::vector<std::string> texts;
  App.OnPump = [&](int) { texts.push_back(View.LabDown); };
  Controller().btnRedownClick();

  EXPECT_EQ(texts.front(), kTextDownloading);
  EXPECT_TRUE(Controller().DownloadStarted());
  EXPECT_EQ(View.Rows.size(), 1u) << "a Restart queues the archive once";
  EXPECT_EQ(Controller().WinHTTPDownload().DownLoadItems().Count(), 1);
  EXPECT_EQ(View.ProgressPosition, static_cast<int>(kArchiveSize));
  // The whole archive came this time; it is no zip, so the run fails and may be restarted.
  EXPECT_EQ(View.LabDown, kTextNotAnUpdate);
  EXPECT_TRUE(View.ButtonEnabled(TUpdaterButton::btnRedown));
  EXPECT_EQ(SettingWrites(), 2);
}

TEST_F(UpdaterControllerTest, CloseDuringTheDownloadStopsAtOnceAndRecordsTheStop) {
  App.OnPump = [&](int Pump) {
    if (Pump == 3) Controller().btnCloseClick();
  };
  Controller().FormCreate();
  Controller().FormResize();

  EXPECT_TRUE(App.Terminated());
  EXPECT_EQ(FetchedSize(), 2u * 255) << "no block after the Close";
  EXPECT_EQ(Controller().ExitCode(), 1);
  EXPECT_EQ(SettingWrites(), 1);
  EXPECT_EQ(View.LabDown, kTextStoppedRun);
  EXPECT_EQ(App.Pauses, (std::vector<std::uint32_t>{1000}));
}

TEST_F(UpdaterControllerTest, CloseRequestRunsTheCloseButtonAndIsAllowed) {
  Controller().FormCreate();
  EXPECT_TRUE(Controller().FormCloseQuery());
  EXPECT_TRUE(Controller().StopRequested());
  EXPECT_TRUE(App.Terminated());
}

TEST_F(UpdaterControllerTest, SizeNotificationDuringTheTransferOnlyMovesTheBevel) {
  App.OnPump = [&](int Pump) {
    if (Pump == 5) Controller().FormResize();
  };
  Controller().FormCreate();
  Controller().FormResize();

  EXPECT_EQ(View.Bevel2Layouts, 2);
  EXPECT_EQ(View.Rows.size(), 1u);
  EXPECT_EQ(View.ProgressPosition, static_cast<int>(kArchiveSize));
  // Only the one fetch's end is recorded (its bytes are no zip archive).
  EXPECT_EQ(SettingWrites(), 1);
  EXPECT_EQ(View.LabDown, kTextNotAnUpdate);
}

TEST_F(UpdaterControllerTest, SizeNotificationWhileStoppedRecordsTheStopAgain) {
  App.OnPump = [&](int Pump) {
    if (Pump == 2) Controller().btnCancelClick();
  };
  Controller().FormCreate();
  Controller().FormResize();
  View.SetLabDownText("something else");

  Controller().FormResize();

  EXPECT_EQ(SettingWrites(), 2);
  EXPECT_EQ(View.LabDown, kTextStoppedRun);
  EXPECT_EQ(App.Pauses, (std::vector<std::uint32_t>{1000, 1000}));
  EXPECT_EQ(View.Rows.size(), 1u);
}

TEST_F(UpdaterControllerTest, RestartWhileTheDownloadRunsIsIgnored) {
  App.OnPump = [&](int Pump) {
    if (Pump == 3) {
      Controller().btnCancelClick();
      Controller().btnRedownClick();
    }
  };
  Controller().FormCreate();
  Controller().FormResize();

  EXPECT_TRUE(Controller().StopRequested());
  EXPECT_EQ(View.LabDown, kTextStoppedRun);
  EXPECT_TRUE(View.ButtonEnabled(TUpdaterButton::btnRedown));
  EXPECT_EQ(FetchedSize(), 2u * 255);
}

TEST_F(UpdaterControllerTest, UnwritableProgramFolderFailsTheRun) {
  test::WriteBytes(Program.path() / "plain-file", "x");
  TUpdaterServices services = Services();
  services.ProgramFolder = [this] {
    return (Program.path() / "plain-file" / "sub").string() + "/";
  };
  TfrmUpdater controller(View, App, services);
  controller.FormCreate();
  EXPECT_NO_THROW(controller.FormResize());
  EXPECT_FALSE(controller.DownloadRunning());
  EXPECT_EQ(View.LabDown, kTextCannotWrite);
  EXPECT_EQ(SettingWrites(), 1);
  EXPECT_TRUE(View.ButtonEnabled(TUpdaterButton::btnRedown));
}

}  // namespace
}  // namespace ruvevid

namespace ruvevid {
namespace {

TEST_F(UpdaterControllerTest, UnreachableServerEndsAsAStoppedRunThatCanBeRestarted) {
  TUpdaterServices services = Services();
  services.UrlText = "127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/Roduvov0.zip";
  TfrmUpdater controller(View, App, services);
  controller.FormCreate();
  controller.FormResize();

  EXPECT_TRUE(controller.StopRequested());
  EXPECT_EQ(View.LabDown, kTextUnreachable);
  EXPECT_EQ(SettingWrites(), 1);
  EXPECT_FALSE(View.ButtonEnabled(TUpdaterButton::btnCancel));
  EXPECT_TRUE(View.ButtonEnabled(TUpdaterButton::btnRedown));
  EXPECT_FALSE(fs::exists(Program.path() / "Roduvov0.zip"));
  EXPECT_FALSE(View.UnzipVisible) << "nothing is handed to the extraction";
}

}  // namespace
}  // namespace ruvevid
