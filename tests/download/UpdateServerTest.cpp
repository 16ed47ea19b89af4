// The update server's request rules and its answers on a real socket.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "DownloadTestSupport.h"
#include "server/UpdateServer.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

struct TargetCase {
  std::string Target;
  int Status;
  std::string Relative;
};

class ResolveTargetTest : public testing::TestWithParam<TargetCase> {};

TEST_P(ResolveTargetTest, DecidesFromTheTextAlone) {
  const ResolvedTarget Resolved = ResolveTarget(GetParam().Target);
  EXPECT_EQ(Resolved.Status, GetParam().Status);
  EXPECT_EQ(Resolved.Relative.string(), GetParam().Relative);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ResolveTargetTest,
    testing::Values(TargetCase{"/a.zip", 0, "a.zip"},
                    TargetCase{"/HTTP/Ruvevid/Roduvov0.zip", 0, "HTTP/Ruvevid/Roduvov0.zip"},
                    TargetCase{"/dir/b.bin?x=1&y=/../", 0, "dir/b.bin"},
                    TargetCase{"/x#frag", 0, "x"}, TargetCase{"//a//b/./c", 0, "a/b/c"},
                    TargetCase{"/a%20b", 0, "a b"}, TargetCase{"/..a/b..", 0, "..a/b.."},
                    TargetCase{"/../etc/passwd", 403, ""}, TargetCase{"/a/../../b", 403, ""},
                    TargetCase{"/a/..", 403, ""}, TargetCase{"/%2e%2E/x", 403, ""},
                    TargetCase{"/a%2F..%2Fb", 403, ""}, TargetCase{"/a%00b", 400, ""},
                    TargetCase{"/%zz", 400, ""}, TargetCase{"/a%2", 400, ""},
                    TargetCase{"/a%", 400, ""}, TargetCase{"relative", 400, ""},
                    TargetCase{"", 400, ""}, TargetCase{"http://host/a", 400, ""},
                    TargetCase{"/", 404, ""}, TargetCase{"/./", 404, ""}));

TEST(ContentTypeTest, ZipOrOctetStream) {
  EXPECT_EQ(ContentTypeFor("Roduvov0.zip"), "application/zip");
  EXPECT_EQ(ContentTypeFor("dir/UPDATE.ZIP"), "application/zip");
  EXPECT_EQ(ContentTypeFor("a.zip.bin"), "application/octet-stream");
  EXPECT_EQ(ContentTypeFor("zip"), "application/octet-stream");
  EXPECT_EQ(ContentTypeFor("notes.txt"), "application/octet-stream");
}

// Sends Request on a fresh connection and returns everything received until the server closes.
std::string Exchange(int Port, const std::string& Request) {
  const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_port = htons(static_cast<std::uint16_t>(Port));
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string Answer;
  if (::connect(Socket, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) == 0 &&
      ::send(Socket, Request.data(), Request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(Request.size())) {
    for (;;) {
      pollfd Wait{Socket, POLLIN, 0};
      if (::poll(&Wait, 1, 5000) <= 0) break;
      char Buffer[65536];
      const ssize_t Got = ::recv(Socket, Buffer, sizeof Buffer, 0);
      if (Got <= 0) break;
      Answer.append(Buffer, static_cast<std::size_t>(Got));
    }
  }
  ::close(Socket);
  return Answer;
}

class UpdateServerTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Root.path() / "srv" / "HTTP" / "Ruvevid");
    test::WriteBytes(Root.path() / "srv" / "HTTP" / "Ruvevid" / "Roduvov0.zip", Archive);
    test::WriteBytes(Root.path() / "secret.txt", "outside the root");
    fs::create_symlink(Root.path() / "secret.txt", Root.path() / "srv" / "link.txt");
    Server.Start(0);
  }
  std::string Get(const std::string& Target, const std::string& Method = "GET") {
    return Exchange(Server.Port(),
                    Method + " " + Target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  }

  test::TempDir Root;
  std::string Archive = test::PatternBytes(70000);
  std::vector<std::string> Logged;
  UpdateServer Server{Root.path() / "srv", [this](std::string_view Method, std::string_view Target,
                                                  int Status, std::uint64_t Bytes) {
                        Logged.push_back(std::string(Method) + " " + std::string(Target) + " " +
                                         std::to_string(Status) + " " + std::to_string(Bytes));
                      }};
};

TEST_F(UpdateServerTest, ServesAFileWithLengthAndType) {
  const std::string Answer = Get("/HTTP/Ruvevid/Roduvov0.zip");
  const std::string Head =
      "HTTP/1.1 200 OK\r\nServer: ruvevid-update-server\r\nContent-Length: 70000\r\n"
      "Content-Type: application/zip\r\nConnection: close\r\n\r\n";
  EXPECT_EQ(Answer, Head + Archive);
  ASSERT_EQ(Logged.size(), 1u);
  EXPECT_EQ(Logged[0], "GET /HTTP/Ruvevid/Roduvov0.zip 200 70000");
}

TEST_F(UpdateServerTest, HeadSendsTheHeadOnly) {
  const std::string Answer = Get("/HTTP/Ruvevid/Roduvov0.zip", "HEAD");
  EXPECT_EQ(Answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(Answer.find("\r\nContent-Length: 70000\r\n"), std::string::npos);
  EXPECT_EQ(Answer.substr(Answer.size() - 4), "\r\n\r\n");
}

struct RefusalCase {
  std::string Method;
  std::string Target;
  std::string StatusLine;
};

class UpdateServerRefusalTest : public UpdateServerTest,
                                public testing::WithParamInterface<RefusalCase> {};

TEST_P(UpdateServerRefusalTest, AnswersWithAnErrorPage) {
  const std::string Answer = Get(GetParam().Target, GetParam().Method);
  EXPECT_EQ(Answer.rfind(GetParam().StatusLine + "\r\n", 0), 0u) << Answer;
  EXPECT_NE(Answer.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
  EXPECT_NE(Answer.find("<html>"), std::string::npos);
  EXPECT_EQ(Answer.find("outside the root"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, UpdateServerRefusalTest,
    testing::Values(RefusalCase{"GET", "/missing.zip", "HTTP/1.1 404 Not Found"},
                    RefusalCase{"GET", "/HTTP", "HTTP/1.1 404 Not Found"},
                    RefusalCase{"GET", "/", "HTTP/1.1 404 Not Found"},
                    RefusalCase{"GET", "/link.txt", "HTTP/1.1 404 Not Found"},
                    RefusalCase{"GET", "/../secret.txt", "HTTP/1.1 403 Forbidden"},
                    RefusalCase{"GET", "/HTTP/%2e%2e/../secret.txt", "HTTP/1.1 403 Forbidden"},
                    RefusalCase{"POST", "/HTTP/Ruvevid/Roduvov0.zip",
                                "HTTP/1.1 405 Method Not Allowed"},
                    RefusalCase{"GET", "nonsense", "HTTP/1.1 400 Bad Request"}));

TEST_F(UpdateServerTest, KeepsTheConnectionForTheNextRequest) {
  const std::string Answer =
      Exchange(Server.Port(),
               "GET /HTTP/Ruvevid/Roduvov0.zip HTTP/1.1\r\nHost: x\r\n\r\n"
               "GET /missing HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::size_t Second = Answer.find("HTTP/1.1 404 Not Found\r\n");
  ASSERT_NE(Second, std::string::npos);
  EXPECT_NE(Answer.find("Connection: keep-alive\r\n\r\n" + Archive), std::string::npos);
  EXPECT_EQ(Second, Answer.find("\r\n\r\n") + 4 + Archive.size());
}

TEST_F(UpdateServerTest, GarbageAndOversizedHeadsAreRefused) {
  EXPECT_EQ(Exchange(Server.Port(), "garbage\r\n\r\n").rfind("HTTP/1.1 400 ", 0), 0u);
  const std::string Huge = "GET / HTTP/1.1\r\nX: " + std::string(40000, 'x');
  EXPECT_EQ(Exchange(Server.Port(), Huge).rfind("HTTP/1.1 431 ", 0), 0u);
}

TEST_F(UpdateServerTest, StopEndsOpenConnections) {
  // A client that connects and says nothing holds a connection thread; Stop must not wait for it.
  const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_port = htons(Server.Port());
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(Socket, reinterpret_cast<const sockaddr*>(&Address), sizeof Address), 0);
  ::usleep(50000);
  const auto Begin = std::chrono::steady_clock::now();
  Server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - Begin, std::chrono::seconds(2));
  ::close(Socket);
  Server.Stop();  // twice is harmless
}

TEST(UpdateServerStartTest, MissingRootOrBusyPortFails) {
  const test::TempDir Root;
  UpdateServer Missing(Root.path() / "nothing");
  EXPECT_THROW(Missing.Start(0), std::system_error);
  UpdateServer First(Root.path());
  First.Start(0);
  UpdateServer Second(Root.path());
  EXPECT_THROW(Second.Start(First.Port()), std::system_error);
}

}  // namespace
}  // namespace ruvevid
