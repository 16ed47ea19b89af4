// The libcurl transport against scripted replies on the loopback interface.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "DownloadTestSupport.h"
#include "platform/CurlTransport.h"
#include "support/ScriptedHttpServer.h"
#include "support/ServerProcess.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;
using test::FullResponse;
using test::ResponseHead;

// A short stall time so a stalled server is given up on quickly.
CurlTransportOptions QuickOptions() {
  CurlTransportOptions Options;
  Options.StallTimeMs = 1000;
  return Options;
}

class CurlTransportTest : public testing::Test {
 protected:
  void SetUp() override {
    Session = Transport->InternetOpen("Test Agent/1.0", 0);
    ASSERT_NE(Session, nullptr);
  }
  void TearDown() override { EXPECT_TRUE(Transport->InternetCloseHandle(Session)); }

  HttpHandle Open(const std::string& Path, std::uint32_t Flags = IHttpTransport::FlagReload) {
    return Transport->InternetOpenUrl(Session, Server.Url(Path), Flags);
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

  test::ScriptedHttpServer Server;
  std::shared_ptr<IHttpTransport> Transport = MakeCurlTransport(QuickOptions());
  HttpHandle Session = nullptr;
};

TEST_F(CurlTransportTest, SendsAgentAndNoCacheHeaders) {
  Server.On("/a", FullResponse(200, "hello"));
  HttpHandle Request = Open("/a");
  ASSERT_NE(Request, nullptr);
  EXPECT_TRUE(Transport->InternetCloseHandle(Request));
  const std::vector<std::string> Requests = Server.Requests();
  ASSERT_EQ(Requests.size(), 1u);
  EXPECT_EQ(Requests[0].rfind("GET /a HTTP/1.1\r\n", 0), 0u) << Requests[0];
  EXPECT_NE(Requests[0].find("\r\nUser-Agent: Test Agent/1.0\r\n"), std::string::npos);
  EXPECT_NE(Requests[0].find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_NE(Requests[0].find("\r\nPragma: no-cache\r\n"), std::string::npos);
}

TEST_F(CurlTransportTest, WithoutReloadNoCacheHeadersAreSent) {
  Server.On("/a", FullResponse(200, "hello"));
  HttpHandle Request = Open("/a", 0);
  ASSERT_NE(Request, nullptr);
  Transport->InternetCloseHandle(Request);
  EXPECT_EQ(Server.Requests().at(0).find("no-cache"), std::string::npos);
}

TEST_F(CurlTransportTest, HeadersOfTheFinalResponseAfterRedirects) {
  Server.On("/old", ResponseHead(302, {"Location: /middle", "Content-Length: 3",
                                       "Content-Type: text/plain", "Connection: close"}) +
                        "old");
  Server.On("/middle", ResponseHead(301, {"Location: " + Server.Url("/new"), "Content-Length: 0",
                                          "Connection: close"}));
  Server.On("/new", FullResponse(200, "the new body", "application/zip"));
  HttpHandle Request = Open("/old");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "12");
  EXPECT_EQ(Query(Request, HttpQuery::ContentType), "application/zip");
  std::string Body;
  EXPECT_TRUE(ReadAll(Request, 5, Body));
  EXPECT_EQ(Body, "the new body");
  Transport->InternetCloseHandle(Request);
  EXPECT_EQ(Server.Requests().size(), 3u);
}

TEST_F(CurlTransportTest, HeaderLookupAndBufferLimits) {
  const std::string Type259(259, 't');
  Server.On("/fits", ResponseHead(200, {"content-length:   7  ", "Content-Type: " + Type259,
                                        "Connection: close"}) +
                         "1234567");
  HttpHandle Request = Open("/fits");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "7");
  EXPECT_EQ(Query(Request, HttpQuery::ContentType), Type259);  // 259 + the zero = 260
  char Small[4];
  std::uint32_t Length = sizeof Small;
  EXPECT_TRUE(Transport->HttpQueryInfo(Request, HttpQuery::ContentLength, Small, Length));
  EXPECT_STREQ(Small, "7");
  EXPECT_EQ(Length, 1u);
  Length = 1;
  EXPECT_FALSE(Transport->HttpQueryInfo(Request, HttpQuery::ContentLength, Small, Length));
  EXPECT_EQ(Length, 2u);  // the size needed, zero included
  Transport->InternetCloseHandle(Request);

  Server.On("/long", ResponseHead(200, {"Content-Length: 0", "Content-Type: " + Type259 + "t",
                                        "Connection: close"}));
  Request = Open("/long");
  ASSERT_NE(Request, nullptr);
  char Buffer[IHttpTransport::QueryBufferSize];
  Length = sizeof Buffer;
  EXPECT_FALSE(Transport->HttpQueryInfo(Request, HttpQuery::ContentType, Buffer, Length));
  EXPECT_EQ(Length, 261u);
  Transport->InternetCloseHandle(Request);
}

TEST_F(CurlTransportTest, AbsentHeaderFails) {
  Server.On("/chunked", ResponseHead(200, {"Transfer-Encoding: chunked", "Connection: close"}) +
                            "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n");
  HttpHandle Request = Open("/chunked");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "<none>");
  EXPECT_EQ(Query(Request, HttpQuery::ContentType), "<none>");
  std::string Body;
  EXPECT_TRUE(ReadAll(Request, 255, Body));
  EXPECT_EQ(Body, "hello world");
  Transport->InternetCloseHandle(Request);
}

class PullSizeTest : public CurlTransportTest, public testing::WithParamInterface<std::uint32_t> {};

TEST_P(PullSizeTest, EveryPullSizeDeliversTheExactBody) {
  const std::string Body = test::PatternBytes(300000);
  Server.On("/big", FullResponse(200, Body));
  HttpHandle Request = Open("/big");
  ASSERT_NE(Request, nullptr);
  std::string Got;
  EXPECT_TRUE(ReadAll(Request, GetParam(), Got));
  EXPECT_EQ(Got, Body);
  // After the end every read succeeds with nothing.
  char Byte;
  std::uint32_t Read = 7;
  EXPECT_TRUE(Transport->InternetReadFile(Request, &Byte, 1, Read));
  EXPECT_EQ(Read, 0u);
  Transport->InternetCloseHandle(Request);
}

INSTANTIATE_TEST_SUITE_P(Pulls, PullSizeTest, testing::Values(1u, 255u, 4096u, 65537u, 1000000u));

TEST_F(CurlTransportTest, ZeroByteReadSucceedsMidBody) {
  Server.On("/a", FullResponse(200, "abc"));
  HttpHandle Request = Open("/a");
  ASSERT_NE(Request, nullptr);
  char Buffer[4];
  std::uint32_t Read = 9;
  EXPECT_TRUE(Transport->InternetReadFile(Request, Buffer, 0, Read));
  EXPECT_EQ(Read, 0u);
  EXPECT_TRUE(Transport->InternetReadFile(Request, Buffer, 3, Read));
  EXPECT_EQ(std::string(Buffer, Read), "abc");
  Transport->InternetCloseHandle(Request);
}

class RefusedLengthTest : public CurlTransportTest,
                          public testing::WithParamInterface<std::string> {};

TEST_P(RefusedLengthTest, OpensWithoutTheLengthAndFailsTheRead) {
  Server.On("/odd", ResponseHead(
                        200, {"X-First: 1", "Content-Length: " + GetParam(), "Connection: close"}) +
                        "abc");
  HttpHandle Request = Open("/odd");
  ASSERT_NE(Request, nullptr);
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "<none>");
  char Buffer[255];
  std::uint32_t Read = 0;
  EXPECT_FALSE(Transport->InternetReadFile(Request, Buffer, 255, Read));
  EXPECT_EQ(Read, 0u);
  Transport->InternetCloseHandle(Request);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RefusedLengthTest, testing::Values("many", "-5", "x1"));

TEST_F(CurlTransportTest, ServerClosingMidBodyFailsTheRead) {
  Server.On("/cut", ResponseHead(200, {"Content-Length: 1000", "Connection: close"}) +
                        std::string(300, 'x'));
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

// How often the callback runs is measured, with nothing else running, by the responsiveness
// tests; here it must run while the request waits, and end the wait.
TEST_F(CurlTransportTest, WaitCallbackRunsWhileWaitingAndCanEndTheWait) {
  Server.On("/silent", {{"", 20s}});
  using Clock = std::chrono::steady_clock;
  int Calls = 0;
  const auto Begin = Clock::now();
  Transport->SetWaitCallback([&Calls, Begin] {
    ++Calls;
    return Clock::now() - Begin < 300ms;
  });
  EXPECT_EQ(Open("/silent"), nullptr);
  Transport->SetWaitCallback({});
  EXPECT_EQ(Transport->LastError(), THttpError::heOperationCancelled);
  EXPECT_LT(Clock::now() - Begin, 2s);
  EXPECT_GE(Calls, 2);
}

TEST_F(CurlTransportTest, StatusCodeOfTheFinalResponse) {
  Server.On("/moved", ResponseHead(302, {"Location: /gone", "Content-Length: 0"}));
  Server.On("/gone", FullResponse(404, "not here", "text/html"));
  Server.On("/a", FullResponse(200, "abc"));
  for (const auto& [Path, Status] :
       std::vector<std::pair<std::string, std::string>>{{"/moved", "404"}, {"/a", "200"}}) {
    HttpHandle Request = Open(Path);
    ASSERT_NE(Request, nullptr);
    EXPECT_EQ(Query(Request, HttpQuery::StatusCode), Status) << Path;
    Transport->InternetCloseHandle(Request);
  }
}

TEST_F(CurlTransportTest, OpenReturnsOnceTheHeadersAreIn) {
  // The body stalls, but the headers are there: the open does not wait for the body.
  Server.On("/slow", {{ResponseHead(200, {"Content-Length: 10"}), 3s}, {"0123456789", {}}});
  const auto Begin = std::chrono::steady_clock::now();
  HttpHandle Request = Open("/slow");
  ASSERT_NE(Request, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - Begin, 2s);
  EXPECT_EQ(Query(Request, HttpQuery::ContentLength), "10");
  Transport->InternetCloseHandle(Request);
}

TEST_F(CurlTransportTest, UnreachableAndUnusableUrlsFailTheOpen) {
  const std::string Closed = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort());
  const std::vector<std::pair<std::string, THttpError>> Cases = {
      {Closed + "/a.zip", THttpError::heCannotConnect},
      {"http://", THttpError::heInvalidUrl},
      {"not a url at all", THttpError::heInvalidUrl},
      {"file:///etc/hostname", THttpError::heInvalidUrl},
      {"ftp://127.0.0.1/x", THttpError::heInvalidUrl},
      {"http://no-such-host.invalid/x", THttpError::heNameNotResolved}};
  for (const auto& [Url, Error] : Cases) {
    EXPECT_EQ(Transport->InternetOpenUrl(Session, Url, IHttpTransport::FlagReload), nullptr) << Url;
    EXPECT_EQ(Transport->LastError(), Error) << Url;
  }
}

TEST_F(CurlTransportTest, UnknownHandlesAreRefused) {
  int NotAHandle = 0;
  char Buffer[8];
  std::uint32_t Length = sizeof Buffer;
  std::uint32_t Read = 0;
  EXPECT_EQ(Transport->InternetOpenUrl(&NotAHandle, Server.Url("/a"), 0), nullptr);
  EXPECT_FALSE(Transport->HttpQueryInfo(&NotAHandle, HttpQuery::ContentType, Buffer, Length));
  EXPECT_FALSE(Transport->InternetReadFile(&NotAHandle, Buffer, 1, Read));
  EXPECT_FALSE(Transport->InternetReadFile(Session, Buffer, 1, Read));  // a session, not a request
  EXPECT_FALSE(Transport->InternetCloseHandle(&NotAHandle));
  EXPECT_FALSE(Transport->InternetCloseHandle(nullptr));

  Server.On("/a", FullResponse(200, "abc"));
  HttpHandle Request = Open("/a");
  ASSERT_NE(Request, nullptr);
  EXPECT_TRUE(Transport->InternetReadFile(Request, Buffer, 1, Read));
  EXPECT_TRUE(Transport->InternetCloseHandle(Request));
  EXPECT_FALSE(Transport->InternetCloseHandle(Request));
  EXPECT_FALSE(Transport->InternetReadFile(Request, Buffer, 1, Read));
}

TEST(CurlTransportSessionTest, RequestOutlivingItsClosedSessionStillReads) {
  test::ScriptedHttpServer Server;
  Server.On("/a", FullResponse(200, "abc"));
  auto Transport = MakeCurlTransport(QuickOptions());
  HttpHandle Session = Transport->InternetOpen("x", 1);
  HttpHandle Request = Transport->InternetOpenUrl(Session, Server.Url("/a"), 0);
  ASSERT_NE(Request, nullptr);
  EXPECT_TRUE(Transport->InternetCloseHandle(Session));
  char Buffer[3];
  std::uint32_t Read = 0;
  EXPECT_TRUE(Transport->InternetReadFile(Request, Buffer, 3, Read));
  EXPECT_EQ(std::string(Buffer, Read), "abc");
  // The transport frees what is left open when it goes.
}

}  // namespace
}  // namespace ruvevid
