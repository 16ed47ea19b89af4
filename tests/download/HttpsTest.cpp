// Downloads over https against openssl's own server with a certificate made at test time: the
// server is believed only when its certificate leads to a trusted authority and names its host.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "DownloadTestSupport.h"
#include "download/WinHTTPDownload.h"
#include "platform/CurlTransport.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void RunShell(const std::filesystem::path& Folder, const std::string& Command) {
  ASSERT_TRUE(test::RunShellIn(Folder, Command)) << Command;
}

struct HttpsCase {
  std::string Name;
  std::string Host;  // as the URL names the server
  bool TrustTheAuthority;
  TDownloadOutcome Outcome;
};

class HttpsTest : public testing::TestWithParam<HttpsCase> {
 protected:
  // An authority, a certificate it signed for 127.0.0.1, and openssl's server with it, serving
  // files that begin with their own response head.
  static void SetUpTestSuite() {
    Root = std::make_unique<test::TempDir>();
    const std::filesystem::path& Dir = Root->path();
    const std::string Ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    RunShell(Dir, "openssl req -x509 " + Ec +
                      "-keyout ca.key -out ca.pem -subj /CN=TestAuthority -days 2");
    RunShell(Dir, "openssl req " + Ec + "-keyout server.key -out server.csr -subj /CN=127.0.0.1");
    RunShell(Dir,
             "printf 'subjectAltName=IP:127.0.0.1' > san.ext && openssl x509 -req -in server.csr "
             "-CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 -extfile san.ext");
    Body = test::PatternBytes(100'000);
    test::WriteBytes(Root->path() / "a.zip",
                     test::ResponseHead(200, {"Content-Length: " + std::to_string(Body.size()),
                                              "Connection: close"}) +
                         Body);
    Port = test::FreeLoopbackPort();
    Server = std::make_unique<test::BackgroundCommand>(
        "sh -c \"cd '" + Root->path().string() +
        "' && exec openssl s_server -quiet -HTTP -accept 127.0.0.1:" + std::to_string(Port) +
        " -cert server.pem -key server.key\" >/dev/null 2>&1");
    for (int I = 0; I < 500 && !test::CanConnect(Port); ++I) std::this_thread::sleep_for(10ms);
  }
  static void TearDownTestSuite() {
    Server.reset();
    Root.reset();
  }

  static inline std::unique_ptr<test::TempDir> Root;
  static inline std::unique_ptr<test::BackgroundCommand> Server;
  static inline std::string Body;
  static inline int Port = 0;
};

TEST_P(HttpsTest, TheServerIsBelievedOnlyWithATrustedCertificateForItsName) {
  ASSERT_TRUE(test::CanConnect(Port)) << "openssl s_server did not start";
  CurlTransportOptions Options;
  if (GetParam().TrustTheAuthority) Options.CaFile = (Root->path() / "ca.pem").string();
  TWinHTTPDownload Download(MakeCurlTransport(Options));
  const test::TempDir Out;
  TDownLoadItem* Item = Download.DownLoadItems().Add();
  Item->SetURL("https://" + GetParam().Host + ":" + std::to_string(Port) + "/a.zip");
  Item->SetLocalDir(Out.path().string());
  Download.Download();
  EXPECT_EQ(Item->Outcome, GetParam().Outcome) << OutcomeName(Item->Outcome);
  if (GetParam().Outcome == TDownloadOutcome::doOk) {
    EXPECT_EQ(test::ReadBytes(Out / "a.zip"), Body);
  } else {
    EXPECT_FALSE(fs::exists(Out / "a.zip"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, HttpsTest,
    testing::Values(HttpsCase{"Trusted", "127.0.0.1", true, TDownloadOutcome::doOk},
                    HttpsCase{"UnknownAuthority", "127.0.0.1", false,
                              TDownloadOutcome::doUnreachable},
                    HttpsCase{"OtherName", "localhost", true, TDownloadOutcome::doUnreachable}),
    [](const auto& Info) { return Info.param.Name; });

}  // namespace
}  // namespace ruvevid
