// The download component on WinInet, the system's transport on Windows, against the scripted
// loopback server (see WinInetTransportWin32Test.cpp): each kind of reply ends with the outcome
// it has on Linux.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "download/WinHTTPDownload.h"
#include "platform/WinInetTransport.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct FetchCase {
  std::string Name;
  std::string Path;  // or a whole URL
  bool QuickStall;   // the short stall time instead of the build's
  bool StopWhenIdle;
  TDownloadOutcome Outcome;
  int HttpStatus;
  std::size_t BodySize;
};

class FetchTest : public testing::TestWithParam<FetchCase> {};

TEST_P(FetchTest, ComponentEndsWithTheOutcomeOfTheReply) {
  // A short stall time so a stalled server is given up on quickly.
  WinInetTransportOptions QuickOptions;
  QuickOptions.StallTimeMs = 1000;
  const char* Port = std::getenv("RUVEVID_TEST_HTTP_PORT");
  ASSERT_NE(Port, nullptr) << "run under tests/download/loopback/with-server.sh";
  const FetchCase& Case = GetParam();
  TWinHTTPDownload Download(Case.QuickStall ? MakeWinInetTransport(QuickOptions) : nullptr);
  const auto Begin = Clock::now();
  if (Case.StopWhenIdle) {
    Download.OnIdle = [Begin](TWinHTTPDownload* Sender) {
      if (Clock::now() - Begin > 300ms) Sender->Stop();
    };
  }
  const std::string URL = Case.Path.starts_with("http:")
                              ? Case.Path
                              : std::string("http://127.0.0.1:") + Port + Case.Path;
  const TFetchedText Fetched = Download.FetchToMemory(URL, 1 << 20);
  EXPECT_LT(Clock::now() - Begin, 5s);
  EXPECT_EQ(std::string(OutcomeName(Fetched.Outcome)), OutcomeName(Case.Outcome));
  EXPECT_EQ(Fetched.HttpStatus, Case.HttpStatus);
  EXPECT_EQ(Fetched.Body.size(), Case.BodySize);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FetchTest,
    testing::Values(
        FetchCase{"Complete", "/big.bin", false, false, TDownloadOutcome::doOk, 200, 300000},
        FetchCase{"NotFound", "/missing", false, false, TDownloadOutcome::doHttpError, 404, 0},
        FetchCase{"CutShort", "/cut", false, false, TDownloadOutcome::doCut, 200, 300},
        FetchCase{"Stalled", "/stall", true, false, TDownloadOutcome::doStalled, 200, 600},
        FetchCase{"SilentServer", "/silent", true, false, TDownloadOutcome::doStalled, 0, 0},
        FetchCase{"StoppedWhileWaiting", "/stall", false, true, TDownloadOutcome::doStopped, 200,
                  600},
        FetchCase{"Refused", "http://127.0.0.1:1/a.zip", false, false,
                  TDownloadOutcome::doUnreachable, 0, 0}),
    [](const testing::TestParamInfo<FetchCase>& Info) { return Info.param.Name; });

}  // namespace
}  // namespace ruvevid
