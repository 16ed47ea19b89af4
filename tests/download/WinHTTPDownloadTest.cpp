// The download component against the project's own update server on the loopback interface.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "DownloadTestSupport.h"
#include "download/WinHTTPDownload.h"
#include "platform/CurlTransport.h"
#include "server/UpdateServer.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::EventLog;

class DownloadTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(Root.path() / "srv");
    Server.Start(0);
  }

  // A file of Size pattern bytes served as /Name; returns its bytes.
  std::string Publish(const std::string& Name, std::size_t Size) {
    std::string Bytes = test::PatternBytes(Size);
    test::WriteBytes(Root.path() / "srv" / Name, Bytes);
    return Bytes;
  }
  std::string Url(const std::string& Name) const {
    return "127.0.0.1:" + std::to_string(Server.Port()) + "/" + Name;
  }
  TDownLoadItem* Queue(TWinHTTPDownload& Download, const std::string& Name) {
    TDownLoadItem* Item = Download.DownLoadItems().Add();
    Item->SetURL(Url(Name));
    Item->SetLocalDir((Root.path() / "out").string());
    return Item;
  }
  fs::path Saved(const std::string& Name) const { return Root.path() / "out" / Name; }

  test::TempDir Root;
  UpdateServer Server{Root.path() / "srv"};
};

struct BodyCase {
  std::size_t Size;
  std::vector<std::string> Progress;
};

class DownloadBodyTest : public DownloadTest, public testing::WithParamInterface<BodyCase> {};

TEST_P(DownloadBodyTest, BlocksProgressAndFileBytes) {
  const BodyCase& Case = GetParam();
  const std::string Body = Publish("body.zip", Case.Size);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Item = Queue(Download, "body.zip");

  Download.Download();

  const std::string Size = std::to_string(Case.Size);
  std::vector<std::string> Expected = {"begin", "header body.zip " + Size + " application/zip",
                                       "item-begin body.zip " + Size};
  Expected.insert(Expected.end(), Case.Progress.begin(), Case.Progress.end());
  Expected.insert(Expected.end(), {"item-end body.zip", "end"});
  EXPECT_EQ(Log.Lines, Expected);
  EXPECT_TRUE(Log.SenderAlwaysRight);
  EXPECT_EQ(test::ReadBytes(Saved("body.zip")), Body);
  EXPECT_EQ(Item->FileSize, static_cast<std::int32_t>(Case.Size));
  EXPECT_EQ(Item->ContentType, "application/zip");
  EXPECT_EQ(Download.ErrorMsg(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, DownloadBodyTest,
    testing::Values(BodyCase{1000,
                             {"progress 255 1000", "progress 510 1000", "progress 765 1000",
                              "progress 1000 1000"}},
                    BodyCase{510, {"progress 255 510", "progress 510 510", "progress 510 510"}},
                    BodyCase{200, {"progress 200 200"}},
                    BodyCase{255, {"progress 255 255", "progress 255 255"}},
                    BodyCase{1, {"progress 1 1"}},
                    BodyCase{256, {"progress 255 256", "progress 256 256"}}));

TEST_F(DownloadTest, ThreeMillionBytes) {
  const std::string Body = Publish("big.bin", 3000000);
  auto Watch = std::make_shared<test::WatchingTransport>(MakeCurlTransport());
  TWinHTTPDownload Download(Watch);
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "big.bin");

  Download.Download();

  const std::vector<std::string> Progress = Log.Progress();
  ASSERT_EQ(Progress.size(), 11765u);  // 11,764 blocks of 255 and a final block of 180
  EXPECT_EQ(Progress.front(), "progress 255 3000000");
  EXPECT_EQ(Progress[11762], "progress 2999565 3000000");
  EXPECT_EQ(Progress[11763], "progress 2999820 3000000");
  EXPECT_EQ(Progress.back(), "progress 3000000 3000000");
  EXPECT_EQ(test::ReadBytes(Saved("big.bin")), Body);
  EXPECT_EQ(Watch->Reads, 11765);
  EXPECT_EQ(Watch->LargestRead, 255u);
  EXPECT_EQ(Watch->Opened, Watch->Closed);
}

TEST_F(DownloadTest, EmptyBodyCreatesNoFileAndNoError) {
  Publish("empty.zip", 0);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Item = Queue(Download, "empty.zip");
  Item->FileSize = 99;

  Download.Download();

  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "item-end empty.zip", "end"}));
  EXPECT_FALSE(fs::exists(Saved("empty.zip")));
  EXPECT_FALSE(fs::exists(Root.path() / "out"));
  EXPECT_EQ(Item->FileSize, 0);
  EXPECT_EQ(Download.ErrorMsg(), "");
}

TEST_F(DownloadTest, RequestCarriesAgentAndReloadFlag) {
  Publish("a.bin", 10);
  auto Watch = std::make_shared<test::WatchingTransport>(MakeCurlTransport());
  TWinHTTPDownload Download(Watch);
  Queue(Download, "a.bin");
  Download.Download();
  Download.Agent = "Other Agent";
  Download.Download();
  EXPECT_EQ(Watch->Agents, (std::vector<std::string>{"TWinHTTPDownload", "Other Agent"}));
  EXPECT_EQ(Watch->AccessTypes, (std::vector<std::uint32_t>{0, 0}));
  EXPECT_EQ(Watch->OpenFlags, (std::vector<std::uint32_t>{0x80000000u, 0x80000000u}));
  EXPECT_EQ(Watch->Opened, 4);
  EXPECT_EQ(Watch->Closed, 4);
  EXPECT_EQ(Download.Version(), "v1.0");
}

TEST_F(DownloadTest, ReplacesAnExistingFileAndMakesTheFolder) {
  const std::string Body = Publish("a.zip", 300);
  fs::create_directory(Root.path() / "out");
  test::WriteBytes(Saved("a.zip"), std::string(5000, 'x'));
  TWinHTTPDownload Download;
  Queue(Download, "a.zip");
  TDownLoadItem* Fresh = Queue(Download, "a.zip");
  Fresh->SetLocalDir((Root.path() / "new").string());
  Download.Download();
  EXPECT_EQ(test::ReadBytes(Saved("a.zip")), Body);
  EXPECT_EQ(test::ReadBytes(Root.path() / "new" / "a.zip"), Body);
}

TEST_F(DownloadTest, NoItems) {
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  Download.Download();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "end"}));
  EXPECT_EQ(Download.ErrorMsg(), "아이템을 찾을 수 없습니다");
}

class NoInternet : public IHttpTransport {
 public:
  HttpHandle InternetOpen(const std::string&, std::uint32_t) override { return nullptr; }
  HttpHandle InternetOpenUrl(HttpHandle, const std::string&, std::uint32_t) override {
    ADD_FAILURE() << "no request expected";
    return nullptr;
  }
  bool HttpQueryInfo(HttpHandle, HttpQuery, char*, std::uint32_t&) override { return false; }
  bool InternetReadFile(HttpHandle, void*, std::uint32_t, std::uint32_t&) override { return false; }
  bool InternetCloseHandle(HttpHandle) override {
    ADD_FAILURE() << "nothing to close";
    return false;
  }
};

TEST_F(DownloadTest, InternetCannotBeOpened) {
  TWinHTTPDownload Download(std::make_shared<NoInternet>());
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "a.zip");
  Download.Download();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin"}));
  EXPECT_EQ(Download.ErrorMsg(), "인터넷을 열 수 없습니다");
}

TEST_F(DownloadTest, FailedFirstItemDoesNotStopTheSecond) {
  const std::string Body = Publish("b.zip", 600);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Failing = Download.DownLoadItems().Add();
  const std::string Unreachable =
      "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/a.zip";
  Failing->SetURL(Unreachable);
  Failing->SetLocalDir((Root.path() / "out").string());
  Failing->FileSize = 77;
  Queue(Download, "b.zip");

  Download.Download();

  EXPECT_EQ(Log.Lines, (std::vector<std::string>{
                           "begin", "item-end a.zip", "header b.zip 600 application/zip",
                           "item-begin b.zip 600", "progress 255 600", "progress 510 600",
                           "progress 600 600", "item-end b.zip", "end"}));
  EXPECT_EQ(Download.ErrorMsg(), "다음을 열 수 없습니다 [" + Unreachable + "]");
  EXPECT_EQ(Failing->FileSize, 77);  // kept: the request never opened
  EXPECT_EQ(test::ReadBytes(Saved("b.zip")), Body);

  // A later clean run leaves the old text in place.
  Download.DownLoadItems().Clear();
  Queue(Download, "b.zip");
  Download.Download();
  EXPECT_EQ(Download.ErrorMsg(), "다음을 열 수 없습니다 [" + Unreachable + "]");
}

TEST_F(DownloadTest, NotFoundPageIsNoFile) {
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Item = Queue(Download, "missing.zip");
  Download.Download();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "item-end missing.zip", "end"}));
  EXPECT_EQ(Item->Outcome, TDownloadOutcome::doHttpError);
  EXPECT_EQ(Item->HttpStatus, 404);
  EXPECT_EQ(Download.ErrorMsg(), "다음을 열 수 없습니다 [" + Item->URL() + "] (HTTP 404)");
  EXPECT_FALSE(fs::exists(Saved("missing.zip")));
}

TEST_F(DownloadTest, HeaderHandlerSettingZeroSizeEndsTheItemWithError) {
  Publish("a.zip", 1000);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  TDownLoadItem* Item = Queue(Download, "a.zip");
  Download.OnItemGetHeader = [&Log](TWinHTTPDownload*, TDownLoadItem* AItem) {
    Log.Lines.push_back("header");
    AItem->FileSize = 0;
  };
  Download.Download();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "header", "item-end a.zip", "end"}));
  EXPECT_EQ(Download.ErrorMsg(), "(" + Item->URL() + ") 파일 크기가 0입니다.");
  EXPECT_FALSE(fs::exists(Saved("a.zip")));
}

TEST_F(DownloadTest, HeaderHandlerSettingNegativeSizeIsRefusedToo) {
  Publish("a.zip", 1000);
  TWinHTTPDownload Download;
  TDownLoadItem* Item = Queue(Download, "a.zip");
  Download.OnItemGetHeader = [](TWinHTTPDownload*, TDownLoadItem* AItem) { AItem->FileSize = -5; };
  Download.Download();
  EXPECT_EQ(Download.ErrorMsg(), "(" + Item->URL() + ") 파일 크기가 0입니다.");
  EXPECT_FALSE(fs::exists(Saved("a.zip")));
}

TEST_F(DownloadTest, HeaderHandlerMayRedirectTheFile) {
  const std::string Body = Publish("a.zip", 700);
  TWinHTTPDownload Download;
  Queue(Download, "a.zip");
  Download.OnItemGetHeader = [](TWinHTTPDownload*, TDownLoadItem* AItem) {
    AItem->FileName = "renamed.zip";
  };
  Download.Download();
  EXPECT_EQ(test::ReadBytes(Saved("renamed.zip")), Body);
  EXPECT_FALSE(fs::exists(Saved("a.zip")));
}

// Stop from the progress event that reports StopAt bytes.
struct StopCase {
  std::size_t Size;
  std::int32_t StopAt;
  std::vector<std::string> Progress;
  std::size_t FileBytes;
};

class DownloadStopTest : public DownloadTest, public testing::WithParamInterface<StopCase> {};

TEST_P(DownloadStopTest, StopEndsBeforeTheNextBlock) {
  const StopCase& Case = GetParam();
  const std::string Body = Publish("a.zip", Case.Size);
  Publish("second.zip", 100);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "a.zip");
  Queue(Download, "second.zip");
  Download.OnItemDownloadProgress = [&](TWinHTTPDownload* Sender, TDownLoadItem*,
                                        std::int32_t Current, std::int32_t Total) {
    Log.Lines.push_back("progress " + std::to_string(Current) + " " + std::to_string(Total));
    if (Current == Case.StopAt) Sender->Stop();
  };

  Download.Download();

  const std::string Size = std::to_string(Case.Size);
  std::vector<std::string> Expected = {"begin", "header a.zip " + Size + " application/zip",
                                       "item-begin a.zip " + Size};
  Expected.insert(Expected.end(), Case.Progress.begin(), Case.Progress.end());
  Expected.insert(Expected.end(), {"item-end a.zip", "stop", "end"});
  EXPECT_EQ(Log.Lines, Expected);
  EXPECT_EQ(test::ReadBytes(Saved("a.zip")), Body.substr(0, Case.FileBytes));
  EXPECT_FALSE(fs::exists(Saved("second.zip")));
}

INSTANTIATE_TEST_SUITE_P(
    Stops, DownloadStopTest,
    testing::Values(
        // at block k = 1 and k = 2: block k + 1 is not read
        StopCase{1000, 255, {"progress 255 1000"}, 255},
        StopCase{1000, 510, {"progress 255 1000", "progress 510 1000"}, 510},
        // at the last full block: the final block is not read
        StopCase{1000, 765, {"progress 255 1000", "progress 510 1000", "progress 765 1000"}, 765},
        // at the final block: the item is complete
        StopCase{
            1000,
            1000,
            {"progress 255 1000", "progress 510 1000", "progress 765 1000", "progress 1000 1000"},
            1000},
        StopCase{200, 200, {"progress 200 200"}, 200}));

TEST_F(DownloadTest, StopBeforeTheRunHasNoEffect) {
  const std::string Body = Publish("a.zip", 600);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "a.zip");
  Download.Stop();
  Download.OnDownloadBegin = [&Log](TWinHTTPDownload* Sender) {
    Log.Lines.push_back("begin");
    Sender->Stop();
  };
  Download.Download();
  EXPECT_EQ(Log.Lines.back(), "end");
  EXPECT_EQ(std::count(Log.Lines.begin(), Log.Lines.end(), "stop"), 0);
  EXPECT_EQ(test::ReadBytes(Saved("a.zip")), Body);
}

TEST_F(DownloadTest, StopInHeaderHandlerEndsAfterTheItem) {
  Publish("a.zip", 600);
  Publish("b.zip", 600);
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "a.zip");
  Queue(Download, "b.zip");
  Download.OnItemDownloadBegin = [&Log](TWinHTTPDownload* Sender, TDownLoadItem*) {
    Log.Lines.push_back("item-begin");
    Sender->Stop();
  };
  Download.Download();
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "header a.zip 600 application/zip",
                                                 "item-begin", "item-end a.zip", "stop", "end"}));
  // The file was created before the first block and stays empty.
  EXPECT_EQ(test::ReadBytes(Saved("a.zip")), "");
}

TEST_F(DownloadTest, OutputFileThatCannotBeCreatedRaisesAfterTheItemEnd) {
  Publish("a.zip", 600);
  Publish("b.zip", 600);
  test::WriteBytes(Root.path() / "plain", "x");
  TWinHTTPDownload Download;
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "a.zip")->SetLocalDir((Root.path() / "plain" / "sub").string());
  Queue(Download, "b.zip");
  try {
    Download.Download();
    FAIL() << "no error";
  } catch (const EInOutError& Error) {
    EXPECT_EQ(Error.ErrorCode(), ENOTDIR);
  }
  EXPECT_EQ(Log.Lines, (std::vector<std::string>{"begin", "header a.zip 600 application/zip",
                                                 "item-begin a.zip 600", "item-end a.zip"}));
  EXPECT_FALSE(fs::exists(Saved("b.zip")));
  EXPECT_EQ(Download.ErrorMsg(), "");
}

class DownloadFullDiskTest : public DownloadTest, public testing::WithParamInterface<int> {};

TEST_P(DownloadFullDiskTest, WriteFailureRaisesAfterTheItemEnd) {
  // Served as "full" and saved as /dev/full, where every write fails with ENOSPC.
  Publish("full", static_cast<std::size_t>(GetParam()));
  auto Watch = std::make_shared<test::WatchingTransport>(MakeCurlTransport());
  TWinHTTPDownload Download(Watch);
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "full")->SetLocalDir("/dev");
  Queue(Download, "full");
  try {
    Download.Download();
    FAIL() << "no error";
  } catch (const EInOutError& Error) {
    EXPECT_EQ(Error.ErrorCode(), ENOSPC);
  }
  ASSERT_GE(Log.Lines.size(), 2u);
  EXPECT_EQ(Log.Lines.back(), "item-end full");
  EXPECT_EQ(std::count(Log.Lines.begin(), Log.Lines.end(), "item-end full"), 1);
  EXPECT_EQ(Watch->Opened, Watch->Closed);  // request and session closed on the way out
  EXPECT_FALSE(fs::exists(Saved("full")));
}

// Small: the failure shows when the file is closed; large: when the buffer is written out.
INSTANTIATE_TEST_SUITE_P(Sizes, DownloadFullDiskTest, testing::Values(1000, 3000000));

TEST_F(DownloadTest, HandlerExceptionStillRunsTheEndSteps) {
  Publish("a.zip", 1000);
  auto Watch = std::make_shared<test::WatchingTransport>(MakeCurlTransport());
  TWinHTTPDownload Download(Watch);
  EventLog Log;
  Log.Attach(Download);
  Queue(Download, "a.zip");
  Download.OnItemDownloadProgress = [](TWinHTTPDownload*, TDownLoadItem*, std::int32_t,
                                       std::int32_t) { throw std::runtime_error("handler"); };
  EXPECT_THROW(Download.Download(), std::runtime_error);
  EXPECT_EQ(Log.Lines.back(), "item-end a.zip");
  EXPECT_EQ(Watch->Opened, Watch->Closed);
  // The block written before the handler failed is on disk.
  EXPECT_EQ(test::ReadBytes(Saved("a.zip")).size(), 255u);
}

}  // namespace
}  // namespace ruvevid
