// Whole runs of the real window and controller against a loopback server that misbehaves, a disk
// that fills up and updates that cannot be installed or started: every run says what happened,
// records a stop only when it stopped, exits with the right status and leaves the program folder
// holding exactly the old or exactly the new files.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "QtTestApp.h"
#include "WindowRunner.h"
#include "app/ExtractionHandoff.h"
#include "app/FailureTexts.h"
#include "app/SettingsWriter.h"
#include "platform/CurlTransport.h"
#include "platform/ProgramLaunch.h"
#include "support/FileSet.h"
#include "support/PrivateTmpfs.h"
#include "support/ScriptedHttpServer.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Reply;
using test::ResponseHead;
using test::TFileSet;

constexpr const char* kArchivePath = "/HTTP/Ruvevid/Roduvov0.zip";

const TFileSet& OldFiles() {
  static const TFileSet Files = {{"Ruvevid.exe", "#!/bin/sh\n# version 1\n"},
                                 {"readme.txt", "Ruvevid Label Maker 1.0\r\n"},
                                 {"data/labels.dat", test::NoiseBytes(20'000, 1)}};
  return Files;
}

TFileSet NewFiles() {
  return {{"Ruvevid.exe", "#!/bin/sh\necho started >> \"$RUVEVID_TEST_LAUNCHES\"\n"},
          {"readme.txt", "Ruvevid Label Maker 2.0\r\n"},
          {"data/labels.dat", "LABELS" + test::NoiseBytes(300'000, 2)},
          {"data/fonts/gothic.fnt", test::NoiseBytes(200'000, 3)},
          {"help/index.html", "<html>Ruvevid</html>\n"}};
}

Reply Whole(const std::string& Archive) {
  return {{test::FullResponse(200, Archive, "application/zip"), {}}};
}

struct OutcomeCase {
  std::string Name;
  // The server's reply to the archive's request; none: no server listens.
  std::function<std::optional<Reply>(const std::string& Archive)> Serve = Whole;
  test::TZipMaker Maker = test::TZipMaker::zmInfoZip;
  // Changes to the new files, and to the archive made of them.
  std::function<void(TFileSet& Files, std::set<std::string>& Executable)> Payload;
  std::function<void(const fs::path& Archive)> Damage;
  // Room in the program folder's file system, beyond the old files; 0: no limit.
  std::size_t Room = 0;
  std::string Text;
  bool Installed = false;
  bool StopRecorded = true;
  bool Launched = false;
};

void PrintTo(const OutcomeCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class UpdateOutcome : public test::QtTest, public testing::WithParamInterface<OutcomeCase> {
 protected:
  fs::path Folder() const { return FWork.path() / "program"; }
  fs::path Launches() const { return FWork.path() / "launches"; }

  TUpdaterServices Services(const std::string& Url) {
    TUpdaterServices Services;
    Services.UrlText = Url;
    const std::string Program = Folder().string() + "/";
    Services.ProgramFolder = [Program] { return Program; };
    Services.IsProcessRunning = [](const std::string&) { return false; };
    Services.KillProcess = [](const std::string&) { return 0; };
    Services.WriteSetting = [Program](const std::string& File, const std::string& Section,
                                      const std::string& Key, const std::string& Value) {
      return WriteSettingIn(Program, File, Section, Key, Value);
    };
    Services.LaunchProgram = [](const std::string& Path) { return LaunchProgram(Path); };
    CurlTransportOptions Options;
    Options.StallTimeMs = 1000;
    Services.Transport = MakeCurlTransport(Options);
    return Services;
  }

  // Whether the launched program ran: it is waited for up to 3 s when it should have run, and
  // given a moment to show up when it should not.
  bool Launched(bool Expected) const {
    const int Tries = Expected ? 300 : 20;
    for (int I = 0; I < Tries && !fs::exists(Launches()); ++I) std::this_thread::sleep_for(10ms);
    return fs::exists(Launches());
  }

  test::TempDir FWork;
  test::TPrivateTmpfs FDisk;
  test::ScriptedHttpServer FServer;
  TQtApplication FApp;
};

TEST_P(UpdateOutcome, SaysWhatHappenedAndLeavesOldOrNewFiles) {
  const OutcomeCase& Case = GetParam();
  fs::create_directories(Folder());
  if (Case.Room > 0) {
    std::string Why;
    if (!FDisk.Mount(Folder(), 64 * 1024 + Case.Room, Why))
      GTEST_SKIP() << "no small disk: " << Why;
  }
  test::WriteFileSet(Folder(), OldFiles(), {"Ruvevid.exe"});
  TFileSet New = NewFiles();
  std::set<std::string> Executable = {"Ruvevid.exe"};
  if (Case.Payload) Case.Payload(New, Executable);
  const fs::path Archive = FWork.path() / "Roduvov0.zip";
  test::MakeStoredZip(New, Executable, Case.Maker, Archive);
  if (Case.Damage) Case.Damage(Archive);
  const std::string Bytes = test::ReadBytes(Archive);
  const std::optional<Reply> Served = Case.Serve(Bytes);
  if (Served) FServer.On(kArchivePath, *Served);
  const std::string Url =
      Served ? FServer.Url(kArchivePath)
             : "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + kArchivePath;
  ::setenv("RUVEVID_TEST_LAUNCHES", Launches().c_str(), 1);

  const test::TWindowRunResult Run = test::RunWindow(FApp, Services(Url));
  test::SaveScreenshot(Run.Final, "outcome-" + Case.Name);

  EXPECT_EQ(Run.LabDown, Case.Text);
  EXPECT_TRUE(Run.Errors.empty()) << Run.Errors.front();
  EXPECT_EQ(Run.ExitCode, Case.Installed && Case.Launched ? 0 : 1);
  EXPECT_EQ(test::ReadFileSet(Folder(), {"Daz.dat"}), Case.Installed ? New : OldFiles());
  const fs::path Record = Folder() / "Daz.dat";
  EXPECT_EQ(fs::exists(Record), Case.StopRecorded);
  if (Case.StopRecorded) {
    const std::string Text = test::ReadBytes(Record);
    EXPECT_NE(Text.find("Work=False"), std::string::npos) << Text;
    EXPECT_LT(Text.find("[Update]"), Text.find("Work=False")) << Text;
    EXPECT_TRUE(Run.RestartEnabled) << "a stopped run can be restarted";
  }
  EXPECT_TRUE(Run.Terminated || Run.CloseEnabled) << "the user can always close";
  EXPECT_EQ(Launched(Case.Launched), Case.Launched);
}

std::string Downloaded() {
  return std::string("Roduvov0.zip") + kTextDownloaded;
}

// The archive's bytes split at Bytes, the rest after Pause.
Reply SlowAfter(const std::string& Archive, std::size_t Bytes, std::chrono::milliseconds Pause) {
  const std::string Head = ResponseHead(200, {"Content-Length: " + std::to_string(Archive.size())});
  return {{Head + Archive.substr(0, Bytes), Pause}, {Archive.substr(Bytes), {}}};
}

OutcomeCase Installs(std::string Name) {
  OutcomeCase Case;
  Case.Name = std::move(Name);
  Case.Text = Downloaded();
  Case.Installed = true;
  Case.StopRecorded = false;
  Case.Launched = true;
  return Case;
}

OutcomeCase Fails(std::string Name, std::string Text) {
  OutcomeCase Case;
  Case.Name = std::move(Name);
  Case.Text = std::move(Text);
  return Case;
}

std::vector<OutcomeCase> OutcomeCases() {
  std::vector<OutcomeCase> Cases;
  Cases.push_back(Installs("Installs"));
  OutcomeCase Windows = Installs("WindowsArchiveWithoutExecuteBits");
  Windows.Maker = test::TZipMaker::zmWindows;
  Cases.push_back(Windows);

  for (const int Status : {404, 500}) {
    OutcomeCase Case =
        Fails("Http" + std::to_string(Status),
              std::string(kTextHttpStatus) + " (HTTP " + std::to_string(Status) + ")");
    Case.Serve = [Status](const std::string&) -> std::optional<Reply> {
      return Reply{{test::FullResponse(Status, "<html>error page</html>", "text/html"), {}}};
    };
    Cases.push_back(Case);
  }
  OutcomeCase Html = Fails("HtmlInsteadOfAZip", kTextNotAnUpdate);
  Html.Serve = [](const std::string&) -> std::optional<Reply> {
    return Whole("<html><body>Welcome to our new web site</body></html>");
  };
  Cases.push_back(Html);
  OutcomeCase Short = Fails("LengthShorterThanTheFile", kTextNotAnUpdate);
  Short.Serve = [](const std::string& Archive) -> std::optional<Reply> {
    return Reply{
        {ResponseHead(200, {"Content-Length: " + std::to_string(Archive.size() - 1000)}) + Archive,
         {}}};
  };
  Cases.push_back(Short);
  OutcomeCase Damaged = Fails("DamagedEntry", kTextDamaged);
  Damaged.Damage = [](const fs::path& Archive) { test::DamageFirst(Archive, "LABELS"); };
  Cases.push_back(Damaged);
  OutcomeCase OwnName = Fails("EntryNamedLikeTheStagingFolder", kTextDamaged);
  OwnName.Payload = [](TFileSet& Files, std::set<std::string>&) {
    Files[".ruvevid-staging/readme.txt"] = "not the update's to write";
  };
  Cases.push_back(OwnName);

  OutcomeCase FullOnExtraction = Fails("DiskFullWhileExtracting", kTextDiskFull);
  FullOnExtraction.Room = 800 * 1024;  // the archive fits, its files do not
  Cases.push_back(FullOnExtraction);
  OutcomeCase FullOnDownload = Fails("DiskFullWhileDownloading", kTextDiskFull);
  FullOnDownload.Room = 200 * 1024;
  Cases.push_back(FullOnDownload);

  OutcomeCase Silent = Fails("ServerNeverAnswers", kTextStalled);
  Silent.Serve = [](const std::string&) -> std::optional<Reply> { return Reply{{"", 30s}}; };
  Cases.push_back(Silent);
  OutcomeCase Stall = Fails("ServerStallsMidBody", kTextStalled);
  Stall.Serve = [](const std::string& Archive) -> std::optional<Reply> {
    return SlowAfter(Archive, 100'000, 30s);
  };
  Cases.push_back(Stall);
  OutcomeCase Trickle = Fails("ServerTrickles", kTextStalled);
  Trickle.Serve = [](const std::string& Archive) -> std::optional<Reply> {
    Reply Steps{{ResponseHead(200, {"Content-Length: " + std::to_string(Archive.size())}), {}}};
    for (std::size_t At = 0; At < 40; ++At) Steps.push_back({Archive.substr(At, 1), 100ms});
    return Steps;
  };
  Cases.push_back(Trickle);
  OutcomeCase Down = Fails("ServerDown", kTextUnreachable);
  Down.Serve = [](const std::string&) -> std::optional<Reply> { return std::nullopt; };
  Cases.push_back(Down);
  OutcomeCase Cut = Fails("ConnectionCut", kTextConnectionCut);
  Cut.Serve = [](const std::string& Archive) -> std::optional<Reply> {
    return Reply{{ResponseHead(200, {"Content-Length: " + std::to_string(Archive.size())}) +
                      Archive.substr(0, Archive.size() / 2),
                  {}}};
  };
  Cases.push_back(Cut);
  OutcomeCase NoLength = Fails("NoContentLength", kTextNoLength);
  NoLength.Serve = [](const std::string& Archive) -> std::optional<Reply> {
    return Reply{{ResponseHead(200, {"Connection: close"}) + Archive, {}}};
  };
  Cases.push_back(NoLength);

  OutcomeCase NotAProgram = Installs("InstalledProgramCannotStart");
  NotAProgram.Text = kTextCannotStart;
  NotAProgram.Launched = false;
  NotAProgram.Payload = [](TFileSet& Files, std::set<std::string>&) {
    Files["Ruvevid.exe"] = "MZ this is no program for this system";
  };
  Cases.push_back(NotAProgram);
  return Cases;
}

INSTANTIATE_TEST_SUITE_P(Runs, UpdateOutcome, testing::ValuesIn(OutcomeCases()),
                         [](const auto& Info) { return Info.param.Name; });

}  // namespace
}  // namespace ruvevid
