// The window stays alive while the server keeps the download waiting: messages are pumped at
// least every 50 ms, and a Cancel or a Close ends the wait at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "app/FakeUpdaterView.h"
#include "app/Updater.h"
#include "support/FakeApplication.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr auto kLongestGap = 150ms;
constexpr auto kLongestStop = 1000ms;
#else
constexpr auto kLongestGap = 50ms;
constexpr auto kLongestStop = 200ms;
#endif

struct WaitCase {
  std::string Name;
  test::Reply Reply;
  bool Close;  // the user closes the window instead of pressing Cancel
};

void PrintTo(const WaitCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class ResponsivenessTest : public testing::TestWithParam<WaitCase> {};

TEST_P(ResponsivenessTest, PumpsWhileWaitingAndStopsAtOnce) {
  test::ScriptedHttpServer Server;
  Server.On("/Roduvov0.zip", GetParam().Reply);
  const test::TempDir Program;
  test::FakeUpdaterView View;
  test::FakeApplication App;
  TUpdaterServices Services;
  Services.UrlText = Server.Url("/Roduvov0.zip");
  Services.ProgramFolder = [&Program] { return Program.path().string() + "/"; };
  Services.WriteSetting = [](const std::string&, const std::string&, const std::string&,
                             const std::string&) { return true; };
  TfrmUpdater Updater(View, App, Services);

  const Clock::time_point Begin = Clock::now();
  std::vector<Clock::time_point> Pumps;
  Clock::time_point Stopped{};
  App.OnPump = [&](int) {
    Pumps.push_back(Clock::now());
    if (Stopped == Clock::time_point{} && Pumps.back() - Begin >= 400ms) {
      Stopped = Clock::now();
      if (GetParam().Close) {
        Updater.btnCloseClick();
      } else {
        Updater.btnCancelClick();
      }
    }
  };
  Updater.FormCreate();
  Updater.FormResize();
  const Clock::time_point End = Clock::now();

  ASSERT_NE(Stopped, Clock::time_point{}) << "no pump while waiting";
  EXPECT_LE(End - Stopped, kLongestStop);
  Clock::time_point Previous = Pumps.front();
  Clock::duration Longest{};
  for (const Clock::time_point Pump : Pumps) {
    Longest = std::max(Longest, Pump - Previous);
    Previous = Pump;
  }
  EXPECT_LE(Longest, kLongestGap);
  EXPECT_LE(Pumps.front() - Begin, 200ms) << "the first pump comes while connecting";
  EXPECT_EQ(View.LabDown, kTextStoppedRun);
  EXPECT_EQ(App.Terminated(), GetParam().Close);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ResponsivenessTest,
    testing::Values(WaitCase{"CancelWhileTheServerIsSilent", {{"", 30s}}, false},
                    WaitCase{"CloseWhileTheServerIsSilent", {{"", 30s}}, true},
                    WaitCase{"CancelWhileTheBodyStalls",
                             {{test::ResponseHead(200, {"Content-Length: 100000"}) + "abc", 30s}},
                             false},
                    WaitCase{"CloseWhileTheBodyStalls",
                             {{test::ResponseHead(200, {"Content-Length: 100000"}) + "abc", 30s}},
                             true}),
    [](const auto& Info) { return Info.param.Name; });

}  // namespace
}  // namespace ruvevid
