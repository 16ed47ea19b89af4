#include "download/WinHTTPDownload.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include "download/ContentLength.h"
#include "download/OutputFile.h"

namespace ruvevid {

namespace {

const char* const NoItemsText = "아이템을 찾을 수 없습니다";
const char* const NoInternetText = "인터넷을 열 수 없습니다";

std::string CannotOpenText(const std::string& URL) {
  return "다음을 열 수 없습니다 [" + URL + "]";
}

std::string ZeroSizeText(const std::string& URL) {
  return "(" + URL + ") 파일 크기가 0입니다.";
}

// Closes a transport handle when the scope is left, whichever way.
class HandleCloser {
 public:
  HandleCloser(IHttpTransport& Transport, HttpHandle Handle)
      : FTransport(Transport), FHandle(Handle) {}
  ~HandleCloser() { FTransport.InternetCloseHandle(FHandle); }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

 private:
  IHttpTransport& FTransport;
  HttpHandle FHandle;
};

// Creates the item's folder when it is missing: one level, the outcome is not examined (a
// failure shows when the file is created).
void EnsureFolder(const std::string& Folder) {
  if (Folder.empty()) return;
  std::error_code Ignored;
  std::filesystem::create_directory(Folder, Ignored);
}

}  // namespace

TWinHTTPDownload::TWinHTTPDownload(std::shared_ptr<IHttpTransport> Transport)
    : FDownLoadItems(std::make_unique<TDownLoadItems>(this)),
      FTransport(Transport != nullptr ? std::move(Transport) : MakeCurlTransport()) {}

TWinHTTPDownload::~TWinHTTPDownload() = default;

void TWinHTTPDownload::Download() {
  if (OnDownloadBegin) OnDownloadBegin(this);
  if (FDownLoadItems->Count() == 0) {
    FErrorMsg = NoItemsText;
    if (OnDownloadEnd) OnDownloadEnd(this);
    return;
  }
  FStopFlag = false;

  const HttpHandle Session = FTransport->InternetOpen(Agent, 0);
  if (Session == nullptr) {
    FErrorMsg = NoInternetText;
    return;
  }
  // Closed after OnDownloadEnd, and also when an I/O error leaves the run.
  const HandleCloser SessionCloser(*FTransport, Session);

  const int Count = FDownLoadItems->Count();
  for (int Index = 0; Index < Count; ++Index) {
    DownloadItem(Session, FDownLoadItems->Items(Index));
    if (FStopFlag) {
      FStopFlag = false;
      if (OnDownloadStop) OnDownloadStop(this);
      break;
    }
  }
  if (OnDownloadEnd) OnDownloadEnd(this);
}

void TWinHTTPDownload::DownloadItem(HttpHandle Session, TDownLoadItem* Item) {
  HttpHandle Request = nullptr;
  TOutputFile File;
  std::exception_ptr Failure;
  try {
    TransferItem(Session, *Item, Request, File);
  } catch (...) {
    Failure = std::current_exception();
  }

  // The end steps, on every path: request, file, then the item's end event.
  if (Request != nullptr) FTransport->InternetCloseHandle(Request);
  try {
    File.Close();
  } catch (...) {
    if (!Failure) Failure = std::current_exception();
  }
  if (OnItemDownloadEnd) OnItemDownloadEnd(this, Item);
  if (Failure) std::rethrow_exception(Failure);
}

void TWinHTTPDownload::TransferItem(HttpHandle Session, TDownLoadItem& Item, HttpHandle& Request,
                                    TOutputFile& File) {
  Request = FTransport->InternetOpenUrl(Session, Item.URL(), IHttpTransport::FlagReload);
  if (Request == nullptr) {
    FErrorMsg = CannotOpenText(Item.URL());
    return;
  }

  // A negative length is no usable length: the block arithmetic needs a positive size.
  Item.FileSize =
      std::max<std::int32_t>(0, ParseContentLength(QueryHeader(Request, HttpQuery::ContentLength)));
  if (Item.FileSize == 0) return;

  Item.ContentType = QueryHeader(Request, HttpQuery::ContentType);
  if (OnItemGetHeader) OnItemGetHeader(this, &Item);
  if (Item.FileSize <= 0) {
    FErrorMsg = ZeroSizeText(Item.URL());
    return;
  }

  if (OnItemDownloadBegin) OnItemDownloadBegin(this, &Item);
  EnsureFolder(Item.LocalDir());
  File.Create(Item.FullFileName());
  CopyBody(Request, Item, File);
}

void TWinHTTPDownload::CopyBody(HttpHandle Request, TDownLoadItem& Item, TOutputFile& File) {
  // The size is taken once: a handler that changes FileSize later changes the reported total,
  // never the amount asked for.
  const std::int32_t Size = Item.FileSize;
  const std::int32_t FullBlocks = Size / BlockSize;
  const auto FinalBlock = static_cast<std::uint32_t>(Size % BlockSize);
  char Block[BlockSize];
  std::int32_t Counter = 0;

  for (std::int32_t Done = 0; Done < FullBlocks; ++Done) {
    if (FStopFlag) break;
    std::uint32_t Read = 0;
    if (!FTransport->InternetReadFile(Request, Block, BlockSize, Read)) break;
    File.Write(Block, std::min<std::uint32_t>(Read, BlockSize));
    Counter += BlockSize;
    if (OnItemDownloadProgress) OnItemDownloadProgress(this, &Item, Counter, Item.FileSize);
  }
  if (FStopFlag) return;

  std::uint32_t Read = 0;
  if (!FTransport->InternetReadFile(Request, Block, FinalBlock, Read)) return;
  File.Write(Block, std::min(Read, FinalBlock));
  Counter += static_cast<std::int32_t>(FinalBlock);
  if (OnItemDownloadProgress) OnItemDownloadProgress(this, &Item, Counter, Item.FileSize);
}

std::string TWinHTTPDownload::QueryHeader(HttpHandle Request, HttpQuery Selector) {
  char Buffer[IHttpTransport::QueryBufferSize] = {};
  std::uint32_t Length = sizeof Buffer;
  if (!FTransport->HttpQueryInfo(Request, Selector, Buffer, Length)) return {};
  // Up to the terminating zero, never past the buffer.
  return std::string(Buffer, ::strnlen(Buffer, sizeof Buffer));
}

}  // namespace ruvevid
