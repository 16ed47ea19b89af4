// The download component against servers whose replies do not give a usable length or body.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DownloadTestSupport.h"
#include "download/WinHTTPDownload.h"
#include "platform/CurlTransport.h"
#include "support/FileSet.h"
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
  EXPECT_EQ(test::ReadBytes(Folder / "cut.zip"), Sent);
  EXPECT_EQ(Download.ErrorMsg(), "");
}

// Every way a reply can go wrong ends the item with an outcome that says which, and only a 2xx
// body is kept as the file.
struct OutcomeCase {
  std::string Name;
  test::Reply Reply;
  TDownloadOutcome Outcome;
  int HttpStatus;
  std::optional<std::string> File;  // the file's bytes afterwards; none when no file may exist
};

class OutcomeTest : public MisbehavingServerTest,
                    public testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, ItemRecordsHowItEnded) {
  Server.On("/a.zip", GetParam().Reply);
  CurlTransportOptions Options;
  Options.StallTimeMs = 1000;
  TWinHTTPDownload Download(MakeCurlTransport(Options));
  TDownLoadItem* Item = Queue(Download, "/a.zip");
  const auto Begin = std::chrono::steady_clock::now();
  Download.Download();
  EXPECT_LT(std::chrono::steady_clock::now() - Begin, 5s);
  EXPECT_EQ(OutcomeName(Item->Outcome), std::string(OutcomeName(GetParam().Outcome)));
  EXPECT_EQ(Item->HttpStatus, GetParam().HttpStatus);
  if (GetParam().File) {
    EXPECT_EQ(test::ReadBytes(Folder / "a.zip"), *GetParam().File);
  } else {
    EXPECT_FALSE(fs::exists(Folder / "a.zip"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OutcomeTest,
    testing::Values(
        OutcomeCase{"Complete",
                    {{test::FullResponse(200, "whole"), {}}},
                    TDownloadOutcome::doOk,
                    200,
                    "whole"},
        OutcomeCase{"NotFound",
                    {{test::FullResponse(404, "<html>missing</html>", "text/html"), {}}},
                    TDownloadOutcome::doHttpError,
                    404,
                    std::nullopt},
        OutcomeCase{"ServerError",
                    {{test::FullResponse(503, "<html>busy</html>", "text/html"), {}}},
                    TDownloadOutcome::doHttpError,
                    503,
                    std::nullopt},
        OutcomeCase{
            "CutShort",
            {{ResponseHead(200, {"Content-Length: 1000", "Connection: close"}) + "short", {}}},
            TDownloadOutcome::doCut,
            200,
            "short"},
        OutcomeCase{"StalledMidBody",
                    {{ResponseHead(200, {"Content-Length: 1000"}) + std::string(600, 's'), 30s}},
                    TDownloadOutcome::doStalled,
                    200,
                    std::string(600, 's')},
        OutcomeCase{"SilentServer", {{"", 30s}}, TDownloadOutcome::doStalled, 0, std::nullopt},
        OutcomeCase{"NoLength",
                    {{ResponseHead(200, {"Connection: close"}) + "body until close", {}}},
                    TDownloadOutcome::doNoLength,
                    200,
                    std::nullopt}),
    [](const testing::TestParamInfo<OutcomeCase>& Info) { return Info.param.Name; });

TEST_F(MisbehavingServerTest, RedirectedItemKeepsItsOwnFileName) {
  const std::string Body = test::PatternBytes(1000);
  Server.On("/Roduvov0.zip", ResponseHead(302, {"Location: /store/other-name.bin",
                                                "Content-Length: 0", "Connection: close"}));
  Server.On("/store/other-name.bin", test::FullResponse(200, Body, "application/zip"));
  TWinHTTPDownload Download;
  Queue(Download, "/Roduvov0.zip");
  Download.Download();
  EXPECT_EQ(test::ReadBytes(Folder / "Roduvov0.zip"), Body);
}

TEST_F(MisbehavingServerTest, LongerBodyThanAnnouncedIsCutAtTheLength) {
  Server.On("/long.zip",
            ResponseHead(200, {"Content-Length: 5", "Connection: close"}) + "12345EXTRA");
  TWinHTTPDownload Download;
  Queue(Download, "/long.zip");
  Download.Download();
  EXPECT_EQ(test::ReadBytes(Folder / "long.zip"), "12345");
}

}  // namespace
}  // namespace ruvevid
