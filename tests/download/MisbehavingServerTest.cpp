// The download component against servers whose replies do not give a usable length or body.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "DownloadTestSupport.h"
#include "download/CurlTransport.h"
#include "download/WinHTTPDownload.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ResponseHead;

// Replies that carry no length the component can use: the item ends without a file and
// without an error text.
struct UnusableLengthCase {
  std::string Name;
  std::string Reply;
};

class UnusableLengthTest : public testing::TestWithParam<UnusableLengthCase> {};

TEST_P(UnusableLengthTest, ItemEndsWithoutFileOrError) {
  test::ScriptedHttpServer Server;
  Server.On("/a.zip", GetParam().Reply);
  const test::TempDir Folder;
  TWinHTTPDownload Download;
  test::EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Item = Download.DownLoadItems().Add();
  Item->SetURL(Server.Url("/a.zip"));
  Item->SetLocalDir(Folder.path().string());
  Item->FileSize = 55;

  const auto Begin = std::chrono::steady_clock::now();
  Download.Download();

  EXPECT_LT(std::chrono::steady_clock::now() - Begin, 5s);
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "item-end a.zip", "end"}));
  EXPECT_EQ(Item->FileSize, 0);
  EXPECT_EQ(Download.ErrorMsg(), "");
  EXPECT_FALSE(fs::exists(Folder / "a.zip"));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UnusableLengthTest,
    testing::Values(
        UnusableLengthCase{"Chunked",
                           ResponseHead(200, {"Transfer-Encoding: chunked", "Connection: close"}) +
                               "3\r\nabc\r\n0\r\n\r\n"},
        UnusableLengthCase{"NoLengthUntilClose",
                           ResponseHead(200, {"Connection: close"}) + "body until close"},
        UnusableLengthCase{
            "TooLargeForThirtyTwoBits",
            ResponseHead(200, {"Content-Length: 2147483648", "Connection: close"}) + "abc"},
        UnusableLengthCase{
            "NonNumeric", ResponseHead(200, {"Content-Length: many", "Connection: close"}) + "abc"},
        UnusableLengthCase{"Negative",
                           ResponseHead(200, {"Content-Length: -5", "Connection: close"}) + "abc"},
        UnusableLengthCase{"ExplicitZero",
                           ResponseHead(200, {"Content-Length: 0", "Connection: close"})}),
    [](const testing::TestParamInfo<UnusableLengthCase>& Info) { return Info.param.Name; });

class MisbehavingServerTest : public testing::Test {
 protected:
  TDownLoadItem* Queue(TWinHTTPDownload& Download, const std::string& Path) {
    TDownLoadItem* Item = Download.DownLoadItems().Add();
    Item->SetURL(Server.Url(Path));
    Item->SetLocalDir(Folder.path().string());
    return Item;
  }
  test::ScriptedHttpServer Server;
  test::TempDir Folder;
};

TEST_F(MisbehavingServerTest, BodyCutShortLeavesAShorterFile) {
  const std::string Sent = test::PatternBytes(300);
  Server.On("/cut.zip", ResponseHead(200, {"Content-Length: 1000", "Content-Type: application/zip",
                                           "Connection: close"}) +
                            Sent);
  TWinHTTPDownload Download;
  test::EventLog Log;
  Log.Attach(Download);
  Queue(Download, "/cut.zip");
  Download.Download();
  // 255 bytes, then the 45 that arrived before the close (the counter still adds 255), then
  // the failed reads end the block loop and the final block.
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "header cut.zip 1000 application/zip",
                                                 "item-begin cut.zip 1000", "progress 255 1000",
                                                 "progress 510 1000", "item-end cut.zip", "end"}));
  EXPECT_EQ(test::ReadWholeFile(Folder / "cut.zip"), Sent);
  EXPECT_EQ(Download.ErrorMsg(), "");
}

TEST_F(MisbehavingServerTest, StalledBodyEndsAfterTheLowSpeedTime) {
  Server.On("/stall.zip",
            {{ResponseHead(200, {"Content-Length: 1000"}) + std::string(600, 's'), 30s}});
  CurlTransportOptions Options;
  Options.LowSpeedLimit = 1000;  // trips one second into the stall (see CurlTransportTest)
  Options.LowSpeedTimeSeconds = 1;
  TWinHTTPDownload Download(MakeCurlTransport(Options));
  test::EventLog Log;
  Log.Attach(Download);
  Queue(Download, "/stall.zip");
  const auto Begin = std::chrono::steady_clock::now();
  Download.Download();
  EXPECT_LT(std::chrono::steady_clock::now() - Begin, 8s);
  EXPECT_EQ(Log.Progress(), (std::vector<std::string>{"progress 255 1000", "progress 510 1000",
                                                      "progress 765 1000"}));
  EXPECT_EQ(Log.Lines.back(), "end");
  EXPECT_EQ(test::ReadWholeFile(Folder / "stall.zip"), std::string(600, 's'));
}

TEST_F(MisbehavingServerTest, SilentServerFailsTheRequest) {
  Server.On("/silent.zip", {{"", 30s}});
  CurlTransportOptions Options;
  Options.LowSpeedTimeSeconds = 1;
  TWinHTTPDownload Download(MakeCurlTransport(Options));
  test::EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Item = Queue(Download, "/silent.zip");
  Download.Download();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "item-end silent.zip", "end"}));
  EXPECT_EQ(Download.ErrorMsg(), "다음을 열 수 없습니다 [" + Item->URL() + "]");
}

TEST_F(MisbehavingServerTest, ErrorStatusWithBodyIsSaved) {
  const std::string Page = "<html><body>Service Unavailable</body></html>";
  Server.On("/busy.zip", test::FullResponse(503, Page, "text/html"));
  TWinHTTPDownload Download;
  TDownLoadItem* Item = Queue(Download, "/busy.zip");
  Download.Download();
  EXPECT_EQ(Item->ContentType, "text/html");
  EXPECT_EQ(test::ReadWholeFile(Folder / "busy.zip"), Page);
}

TEST_F(MisbehavingServerTest, RedirectedItemKeepsItsOwnFileName) {
  const std::string Body = test::PatternBytes(1000);
  Server.On("/Roduvov0.zip", ResponseHead(302, {"Location: /store/other-name.bin",
                                                "Content-Length: 0", "Connection: close"}));
  Server.On("/store/other-name.bin", test::FullResponse(200, Body, "application/zip"));
  TWinHTTPDownload Download;
  Queue(Download, "/Roduvov0.zip");
  Download.Download();
  EXPECT_EQ(test::ReadWholeFile(Folder / "Roduvov0.zip"), Body);
}

TEST_F(MisbehavingServerTest, LongerBodyThanAnnouncedIsCutAtTheLength) {
  Server.On("/long.zip",
            ResponseHead(200, {"Content-Length: 5", "Connection: close"}) + "12345EXTRA");
  TWinHTTPDownload Download;
  Queue(Download, "/long.zip");
  Download.Download();
  EXPECT_EQ(test::ReadWholeFile(Folder / "long.zip"), "12345");
}

}  // namespace
}  // namespace ruvevid
