#include "download/WinHTTPDownload.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "download/ContentLength.h"
#include "download/DownloadFile.h"
#include "platform/FileSystem.h"

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

std::string HttpErrorText(const std::string& URL, int Status) {
  return CannotOpenText(URL) + " (HTTP " + std::to_string(Status) + ")";
}

// The status code's text as a number; 0 when there is none (a transport that cannot tell).
int ParseStatus(const std::string& Text) {
  if (Text.empty() || Text.size() > 3) return 0;
  int Status = 0;
  for (const char Digit : Text) {
    if (Digit < '0' || Digit > '9') return 0;
    Status = Status * 10 + (Digit - '0');
  }
  return Status;
}

// What a transport failure means for the item; Otherwise for failures that are no stall or stop.
TDownloadOutcome OutcomeOf(THttpError Error, TDownloadOutcome Otherwise) {
  switch (Error) {
    case THttpError::heTimeout:
      return TDownloadOutcome::doStalled;
    case THttpError::heOperationCancelled:
      return TDownloadOutcome::doStopped;
    default:
      return Otherwise;
  }
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

// The transport's wait callback for the length of a run: the owner's idle handler, and the end
// of the wait once Stop has been called.
class TWaitCallbackScope {
 public:
  TWaitCallbackScope(IHttpTransport& Transport, IHttpTransport::TWaitCallback Callback)
      : FTransport(Transport) {
    FTransport.SetWaitCallback(std::move(Callback));
  }
  ~TWaitCallbackScope() { FTransport.SetWaitCallback({}); }
  TWaitCallbackScope(const TWaitCallbackScope&) = delete;
  TWaitCallbackScope& operator=(const TWaitCallbackScope&) = delete;

 private:
  IHttpTransport& FTransport;
};

// Creates the item's folder when it is missing: one level, the outcome is not examined (a
// failure shows when the file is created).
void EnsureFolder(const std::string& Folder) {
  if (!Folder.empty()) CreateFolder(Folder);
}

}  // namespace

TWinHTTPDownload::TWinHTTPDownload(std::shared_ptr<IHttpTransport> Transport)
    : FDownLoadItems(std::make_unique<TDownLoadItems>(this)),
      FTransport(Transport != nullptr ? std::move(Transport) : MakeSystemTransport()) {}

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
  const TWaitCallbackScope Waiting(*FTransport, [this] { return Idle(); });

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
  TDownloadFile File;
  std::exception_ptr Failure;
  Item->Outcome = TDownloadOutcome::doNotTried;
  Item->HttpStatus = 0;
  Item->ErrorCode = 0;
  const auto WriteFailed = [Item](const EInOutError& Error) {
    Item->Outcome = TDownloadOutcome::doWriteFailed;
    Item->ErrorCode = Error.ErrorCode();
  };
  try {
    TransferItem(Session, *Item, Request, File);
  } catch (const EInOutError& Error) {
    WriteFailed(Error);
    Failure = std::current_exception();
  } catch (...) {
    Failure = std::current_exception();
  }

  // The end steps, on every path: request, file, then the item's end event.
  if (Request != nullptr) FTransport->InternetCloseHandle(Request);
  try {
    File.Close();
  } catch (const EInOutError& Error) {
    if (!Failure) {
      WriteFailed(Error);
      Failure = std::current_exception();
    }
  } catch (...) {
    if (!Failure) Failure = std::current_exception();
  }
  if (OnItemDownloadEnd) OnItemDownloadEnd(this, Item);
  if (Failure) std::rethrow_exception(Failure);
}

void TWinHTTPDownload::TransferItem(HttpHandle Session, TDownLoadItem& Item, HttpHandle& Request,
                                    TDownloadFile& File) {
  Request = FTransport->InternetOpenUrl(Session, Item.URL(), IHttpTransport::FlagReload);
  if (Request == nullptr) {
    FErrorMsg = CannotOpenText(Item.URL());
    Item.Outcome = OutcomeOf(FTransport->LastError(), TDownloadOutcome::doUnreachable);
    return;
  }
  Item.FileSize = 0;

  // An error page is no file: only a final status in 2xx is saved.
  Item.HttpStatus = ParseStatus(QueryHeader(Request, HttpQuery::StatusCode));
  if (Item.HttpStatus != 0 && (Item.HttpStatus < 200 || Item.HttpStatus > 299)) {
    FErrorMsg = HttpErrorText(Item.URL(), Item.HttpStatus);
    Item.Outcome = TDownloadOutcome::doHttpError;
    return;
  }

  // A negative length is no usable length: the block arithmetic needs a positive size.
  Item.FileSize =
      std::max<std::int32_t>(0, ParseContentLength(QueryHeader(Request, HttpQuery::ContentLength)));
  Item.Outcome = TDownloadOutcome::doNoLength;
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

void TWinHTTPDownload::CopyBody(HttpHandle Request, TDownLoadItem& Item, TDownloadFile& File) {
  // The size is taken once: a handler that changes FileSize later changes the reported total,
  // never the amount asked for.
  const std::int32_t Size = Item.FileSize;
  const std::int32_t FullBlocks = Size / BlockSize;
  const auto FinalBlock = static_cast<std::uint32_t>(Size % BlockSize);
  char Block[BlockSize];
  std::int32_t Counter = 0;
  // What really arrived, and why a read failed: together they make the item's outcome.
  std::int64_t Delivered = 0;
  THttpError Failure = THttpError::heNone;
  const auto ReadInto = [&](std::uint32_t Count, std::uint32_t& Read) {
    Read = 0;
    const bool Ok = FTransport->InternetReadFile(Request, Block, Count, Read);
    if (!Ok) Failure = FTransport->LastError();
    Read = std::min(Read, Count);
    Delivered += Read;
    return Ok;
  };
  const auto SetOutcome = [&] {
    if (Delivered == Size) {
      Item.Outcome = TDownloadOutcome::doOk;
    } else if (FStopFlag) {
      Item.Outcome = TDownloadOutcome::doStopped;
    } else {
      // A body that ended cleanly but short is cut too.
      Item.Outcome = OutcomeOf(Failure, TDownloadOutcome::doCut);
    }
  };

  for (std::int32_t Done = 0; Done < FullBlocks; ++Done) {
    if (FStopFlag) break;
    std::uint32_t Read = 0;
    if (!ReadInto(BlockSize, Read)) break;
    File.Write(Block, Read);
    if (OnItemData) OnItemData(this, &Item, Block, Read);
    Counter += BlockSize;
    if (OnItemDownloadProgress) OnItemDownloadProgress(this, &Item, Counter, Item.FileSize);
  }
  if (FStopFlag) return SetOutcome();

  std::uint32_t Read = 0;
  if (!ReadInto(FinalBlock, Read)) return SetOutcome();
  File.Write(Block, Read);
  if (OnItemData) OnItemData(this, &Item, Block, Read);
  Counter += static_cast<std::int32_t>(FinalBlock);
  SetOutcome();
  if (OnItemDownloadProgress) OnItemDownloadProgress(this, &Item, Counter, Item.FileSize);
}

bool TWinHTTPDownload::Idle() {
  if (OnIdle) OnIdle(this);
  return !FStopFlag;
}

TFetchedText TWinHTTPDownload::FetchToMemory(const std::string& URL, std::size_t MaxBytes) {
  TFetchedText Fetched;
  FStopFlag = false;
  const HttpHandle Session = FTransport->InternetOpen(Agent, 0);
  if (Session == nullptr) {
    Fetched.Outcome = TDownloadOutcome::doUnreachable;
    return Fetched;
  }
  const HandleCloser SessionCloser(*FTransport, Session);
  const TWaitCallbackScope Waiting(*FTransport, [this] { return Idle(); });
  const HttpHandle Request = FTransport->InternetOpenUrl(Session, URL, IHttpTransport::FlagReload);
  if (Request == nullptr) {
    Fetched.Outcome = OutcomeOf(FTransport->LastError(), TDownloadOutcome::doUnreachable);
    return Fetched;
  }
  const HandleCloser RequestCloser(*FTransport, Request);
  Fetched.HttpStatus = ParseStatus(QueryHeader(Request, HttpQuery::StatusCode));
  if (Fetched.HttpStatus != 0 && (Fetched.HttpStatus < 200 || Fetched.HttpStatus > 299)) {
    Fetched.Outcome = TDownloadOutcome::doHttpError;
    return Fetched;
  }
  const std::int32_t Length = ParseContentLength(QueryHeader(Request, HttpQuery::ContentLength));
  if (Length <= 0) {
    Fetched.Outcome = TDownloadOutcome::doNoLength;
    return Fetched;
  }
  const std::size_t Wanted = std::min(static_cast<std::size_t>(Length), MaxBytes + 1);
  Fetched.Body.resize(Wanted);
  std::size_t Done = 0;
  while (Done < Wanted) {
    std::uint32_t Read = 0;
    const auto Count = static_cast<std::uint32_t>(Wanted - Done);
    if (!FTransport->InternetReadFile(Request, Fetched.Body.data() + Done, Count, Read)) {
      Fetched.Outcome = OutcomeOf(FTransport->LastError(), TDownloadOutcome::doCut);
      break;
    }
    if (Read == 0) break;
    Done += std::min(Read, Count);
  }
  Fetched.Body.resize(Done);
  if (Fetched.Outcome == TDownloadOutcome::doNotTried) {
    Fetched.Outcome = Done == Wanted ? TDownloadOutcome::doOk : TDownloadOutcome::doCut;
  }
  if (FStopFlag && Fetched.Outcome != TDownloadOutcome::doOk) {
    Fetched.Outcome = TDownloadOutcome::doStopped;
  }
  return Fetched;
}

std::string TWinHTTPDownload::QueryHeader(HttpHandle Request, HttpQuery Selector) {
  char Buffer[IHttpTransport::QueryBufferSize] = {};
  std::uint32_t Length = sizeof Buffer;
  if (!FTransport->HttpQueryInfo(Request, Selector, Buffer, Length)) return {};
  // Up to the terminating zero, never past the buffer.
  return std::string(Buffer, ::strnlen(Buffer, sizeof Buffer));
}

}  // namespace ruvevid
