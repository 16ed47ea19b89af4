// The WinInet transport against scripted replies on the loopback interface. The server is the
// Linux-side tests/download/loopback/scripted_server.py, started beside the test program by
// with-server.sh, which gives its port in RUVEVID_TEST_HTTP_PORT.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WinInetTransport.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The scripted server's bytes for /big.bin: byte I is a function of I alone.
std::string PatternBytes(std::size_t Size) {
  std::string Bytes(Size, '\0');
  for (std::size_t I = 0; I < Size; ++I) {
    Bytes[I] = static_cast<char>((I * 131 + I / 251) & 0xFF);
  }
  return Bytes;
}

// A short stall time so a stalled server is given up on quickly.
WinInetTransportOptions QuickOptions() {
  WinInetTransportOptions Options;
  Options.StallTimeMs = 1000;
  return Options;
}

class WinInetTransportTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* Port = std::getenv("RUVEVID_TEST_HTTP_PORT");
    ASSERT_NE(Port, nullptr) << "run under tests/download/loopback/with-server.sh";
    Base = std::string("http://127.0.0.1:") + Port;
    Session = Transport->InternetOpen("Test Agent/1.0", 0);
    ASSERT_NE(Session, nullptr);
  }
  void TearDown() override {
    Transport->SetWaitCallback({});
    if (Session != nullptr) {
      EXPECT_TRUE(Transport->InternetCloseHandle(Session));
    }
  }

  HttpHandle Open(const std::string& Path, std::uint32_t Flags = IHttpTransport::FlagReload) {
    return Transport->InternetOpenUrl(Session, Base + Path, Flags);
  }

  // Reads in Block-sized pulls until the body ends (true) or a read fails (false).
  bool ReadAll(HttpHandle Request, std::uint32_t Block, std::string& Body) {
    std::vector<char> Buffer(Block);
    for (;;) {
      std::uint32_t Read = 0;
      if (!Transport->InternetReadFile(Request, Buffer.data(), Block, Read)) return false;
      EXPECT_LE(Read, Block);
      Body.append(Buffer.data(), Read);
      if (Read == 0) return true;
    }
  }

  std::string Query(HttpHandle Request, HttpQuery Selector) {
    char Buffer[IHttpTransport::QueryBufferSize];
    std::uint32_t Length = sizeof Buffer;
    if (!Transport->HttpQueryInfo(Request, Selector, Buffer, Length)) return "<none>";
    EXPECT_EQ(Length, std::strlen(Buffer));
    return Buffer;
  }

  std::string Base;
  std::shared_ptr<IHttpTransport> Transport = MakeWinInetTransport(QuickOptions());
  HttpHandle Session = nullptr;
};

class PullSizeTest : public WinInetTransportTest,
                     public testing::WithParamInterface<std::uint32_t> {};

TEST_P(PullSizeTest, EveryPullSizeDeliversTheExactBody) {
  HttpHandle Request = Open("/big.bin");
  ASSERT_NE(Request, nullptr) << static_cast<int>(Transport->LastError());
  EXPECT_EQ(Query(Request, HttpQuery::StatusCode), "200");
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "300000");
  EXPECT_EQ(Query(Request, HttpQuery::ContentType), "application/octet-stream");
  std::string Got;
  EXPECT_TRUE(ReadAll(Request, GetParam(), Got));
  EXPECT_TRUE(Got == PatternBytes(300000)) << "got " << Got.size() << " bytes, not the pattern";
  // After the end every read succeeds with nothing.
  char Byte;
  std::uint32_t Read = 7;
  EXPECT_TRUE(Transport->InternetReadFile(Request, &Byte, 1, Read));
  EXPECT_EQ(Read, 0u);
  EXPECT_TRUE(Transport->InternetCloseHandle(Request));
}

INSTANTIATE_TEST_SUITE_P(Pulls, PullSizeTest, testing::Values(1u, 255u, 65537u, 1000000u));

TEST_F(WinInetTransportTest, HeadersAndBodyOfTheFinalResponseAfterARedirect) {
  HttpHandle Request = Open("/moved");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::StatusCode), "200");
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "300000");
  std::string Got;
  EXPECT_TRUE(ReadAll(Request, 255, Got));
  EXPECT_EQ(Got.size(), 300000u);
  Transport->InternetCloseHandle(Request);
}

TEST_F(WinInetTransportTest, ErrorStatusOpensWithItsCodeAndType) {
  HttpHandle Request = Open("/missing");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::StatusCode), "404");
  EXPECT_EQ(Query(Request, HttpQuery::ContentType), "text/html");
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "20");
  // The buffer rules: the size needed, zero included, when the value does not fit.
  char Small[3];
  std::uint32_t Length = 2;
  EXPECT_FALSE(Transport->HttpQueryInfo(Request, HttpQuery::ContentLength, Small, Length));
  EXPECT_EQ(Length, 3u);
  Length = sizeof Small;
  EXPECT_TRUE(Transport->HttpQueryInfo(Request, HttpQuery::ContentLength, Small, Length));
  EXPECT_STREQ(Small, "20");
  Transport->InternetCloseHandle(Request);
}

TEST_F(WinInetTransportTest, SendsAgentAndNoCacheHeaders) {
  HttpHandle Request = Open("/echo");
  ASSERT_NE(Request, nullptr);
  std::string Head;
  EXPECT_TRUE(ReadAll(Request, 255, Head));
  Transport->InternetCloseHandle(Request);
  EXPECT_EQ(Head.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << Head;
  EXPECT_NE(Head.find("\r\nUser-Agent: Test Agent/1.0\r\n"), std::string::npos) << Head;
  EXPECT_NE(Head.find("\r\nPragma: no-cache\r\n"), std::string::npos) << Head;
}

TEST_F(WinInetTransportTest, LengthThatIsNoNumberLeavesTheBodyUnread) {
  HttpHandle Request = Open("/odd-length");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "<none>");
  char Buffer[255];
  std::uint32_t Read = 0;
  EXPECT_FALSE(Transport->InternetReadFile(Request, Buffer, 255, Read));
  EXPECT_EQ(Read, 0u);
  Transport->InternetCloseHandle(Request);
}

TEST_F(WinInetTransportTest, ServerClosingMidBodyFailsTheRead) {
  HttpHandle Request = Open("/cut");
  ASSERT_NE(Request, nullptr);
  std::string Body;
  EXPECT_FALSE(ReadAll(Request, 255, Body));
  EXPECT_EQ(Body, std::string(300, 'x'));  // what did arrive is delivered first
  EXPECT_EQ(Transport->LastError(), THttpError::heConnectionAborted);
  std::uint32_t Read = 5;
  char Buffer[255];
  EXPECT_FALSE(Transport->InternetReadFile(Request, Buffer, 255, Read));
  EXPECT_EQ(Read, 0u);
  EXPECT_FALSE(Transport->InternetReadFile(Request, Buffer, 0, Read));
  Transport->InternetCloseHandle(Request);
}

TEST_F(WinInetTransportTest, StalledBodyFailsWithTimeoutAfterTheStallTime) {
  HttpHandle Request = Open("/stall");
  ASSERT_NE(Request, nullptr);
  const auto Begin = Clock::now();
  std::string Body;
  EXPECT_FALSE(ReadAll(Request, 255, Body));
  const auto Took = Clock::now() - Begin;
  EXPECT_EQ(Body, std::string(600, 's'));
  EXPECT_EQ(Transport->LastError(), THttpError::heTimeout);
  EXPECT_GE(Took, 900ms);
  EXPECT_LT(Took, 3s);
  EXPECT_TRUE(Transport->InternetCloseHandle(Request));
}

TEST_F(WinInetTransportTest, SilentServerFailsTheOpenWithTimeout) {
  const auto Begin = Clock::now();
  EXPECT_EQ(Open("/silent"), nullptr);
  EXPECT_EQ(Transport->LastError(), THttpError::heTimeout);
  EXPECT_LT(Clock::now() - Begin, 3s);
  // The session still serves the next request.
  HttpHandle Request = Open("/missing");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::StatusCode), "404");
  Transport->InternetCloseHandle(Request);
}

// The wait callback stops a wait on the head and one on the body alike, at once.
struct CancelCase {
  std::string Name;
  std::string Path;
  bool DuringBody;
};

class CancelTest : public WinInetTransportTest, public testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, WaitCallbackEndsTheWaitAtOnce) {
  Transport = MakeWinInetTransport(WinInetTransportOptions{});  // the build's long stall time
  Session = Transport->InternetOpen("Test Agent/1.0", 0);
  ASSERT_NE(Session, nullptr);
  HttpHandle Request = nullptr;
  if (GetParam().DuringBody) {
    Request = Open(GetParam().Path);
    ASSERT_NE(Request, nullptr);
  }
  const auto Begin = Clock::now();
  Clock::time_point Stopped;
  Clock::time_point Last = Begin;
  Clock::duration LongestGap{};
  int Calls = 0;
  Transport->SetWaitCallback([&] {
    const auto Now = Clock::now();
    LongestGap = std::max(LongestGap, Now - Last);
    Last = Now;
    ++Calls;
    if (Now - Begin < 400ms) return true;
    Stopped = Now;
    return false;
  });
  bool Failed = false;
  if (GetParam().DuringBody) {
    std::string Body;
    Failed = !ReadAll(Request, 255, Body);
    EXPECT_EQ(Body, std::string(600, 's'));
  } else {
    Request = Open(GetParam().Path);
    Failed = Request == nullptr;
  }
  const auto Ended = Clock::now();
  Transport->SetWaitCallback({});
  EXPECT_TRUE(Failed);
  EXPECT_EQ(Transport->LastError(), THttpError::heOperationCancelled);
  EXPECT_LT(Ended - Stopped, 200ms);
  EXPECT_GE(Calls, 5);
  // 25 ms asked. Wine on a busy machine can hold a thread back for a while; a callback that only
  // ran between reads would leave gaps of the whole 400 ms.
  EXPECT_LE(LongestGap, 250ms);
  if (Request != nullptr) {
    EXPECT_TRUE(Transport->InternetCloseHandle(Request));
  }
}

INSTANTIATE_TEST_SUITE_P(Waits, CancelTest,
                         testing::Values(CancelCase{"Head", "/silent", false},
                                         CancelCase{"Body", "/stall", true}),
                         [](const testing::TestParamInfo<CancelCase>& Info) {
                           return Info.param.Name;
                         });

TEST_F(WinInetTransportTest, UnreachableAndUnusableUrlsFailTheOpen) {
  // Nothing listens on port 1 of the loopback interface.
  const std::vector<std::pair<std::string, THttpError>> Cases = {
      {"http://127.0.0.1:1/a.zip", THttpError::heCannotConnect},
      {"http://", THttpError::heInvalidUrl},
      {"not a url at all", THttpError::heInvalidUrl},
      {"file:///c:/windows/win.ini", THttpError::heInvalidUrl},
      {"ftp://127.0.0.1/x", THttpError::heInvalidUrl}};
  for (const auto& [Url, Error] : Cases) {
    EXPECT_EQ(Transport->InternetOpenUrl(Session, Url, IHttpTransport::FlagReload), nullptr) << Url;
    EXPECT_EQ(Transport->LastError(), Error) << Url;
  }
}

TEST_F(WinInetTransportTest, UnknownHostFailsAsNotResolved) {
  // A lookup can be slow under wine: past 10 s the wait is stopped and the case skipped.
  Transport = MakeWinInetTransport(WinInetTransportOptions{});
  Session = Transport->InternetOpen("Test Agent/1.0", 0);
  ASSERT_NE(Session, nullptr);
  const auto Begin = Clock::now();
  Transport->SetWaitCallback([Begin] { return Clock::now() - Begin < 10s; });
  EXPECT_EQ(Transport->InternetOpenUrl(Session, "http://no-such-host.invalid/x", 0), nullptr);
  if (Transport->LastError() == THttpError::heOperationCancelled) {
    GTEST_SKIP() << "the name lookup took more than 10 s";
  }
  EXPECT_EQ(Transport->LastError(), THttpError::heNameNotResolved);
}

TEST_F(WinInetTransportTest, UnknownHandlesAreRefused) {
  int NotAHandle = 0;
  char Buffer[8];
  std::uint32_t Length = sizeof Buffer;
  std::uint32_t Read = 0;
  EXPECT_EQ(Transport->InternetOpenUrl(&NotAHandle, Base + "/big.bin", 0), nullptr);
  EXPECT_FALSE(Transport->HttpQueryInfo(&NotAHandle, HttpQuery::ContentType, Buffer, Length));
  EXPECT_FALSE(Transport->InternetReadFile(&NotAHandle, Buffer, 1, Read));
  EXPECT_FALSE(Transport->InternetReadFile(Session, Buffer, 1, Read));  // a session, not a request
  EXPECT_FALSE(Transport->InternetCloseHandle(&NotAHandle));
  EXPECT_FALSE(Transport->InternetCloseHandle(nullptr));

  HttpHandle Request = Open("/big.bin");
  ASSERT_NE(Request, nullptr);
  EXPECT_TRUE(Transport->InternetReadFile(Request, Buffer, 1, Read));
  EXPECT_TRUE(Transport->InternetCloseHandle(Request));
  EXPECT_FALSE(Transport->InternetCloseHandle(Request));
  EXPECT_FALSE(Transport->InternetReadFile(Request, Buffer, 1, Read));
}

TEST_F(WinInetTransportTest, RequestOutlivingItsClosedSessionStillReads) {
  HttpHandle Request = Open("/big.bin");
  ASSERT_NE(Request, nullptr);
  EXPECT_TRUE(Transport->InternetCloseHandle(Session));
  Session = nullptr;
  std::string Got;
  EXPECT_TRUE(ReadAll(Request, 4096, Got));
  EXPECT_EQ(Got.size(), 300000u);
  Transport->InternetCloseHandle(Request);
}

}  // namespace
}  // namespace ruvevid
