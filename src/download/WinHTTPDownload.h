#pragma once
// The download component: fetches the items of its collection one after another over HTTP,
// each into a file in the item's folder, in 255-byte blocks, and reports through events.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "download/DownloadItem.h"
#include "platform/HttpTransport.h"

namespace ruvevid {

// Raised out of Download when the output file cannot be created or written.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& Message, int ErrorCode)
      : std::runtime_error(Message), FErrorCode(ErrorCode) {}
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};

class TWinHTTPDownload;
class TDownloadFile;

using TNotifyEvent = std::function<void(TWinHTTPDownload* Sender)>;
using TItemEvent = std::function<void(TWinHTTPDownload* Sender, TDownLoadItem* AItem)>;
using TItemProgressEvent = std::function<void(TWinHTTPDownload* Sender, TDownLoadItem* AItem,
                                              std::int32_t CurrentBytes, std::int32_t TotalBytes)>;
using TItemDataEvent = std::function<void(TWinHTTPDownload* Sender, TDownLoadItem* AItem,
                                          const void* Data, std::size_t Count)>;

// What FetchToMemory brought: the outcome, as for an item, and the body.
struct TFetchedText {
  TDownloadOutcome Outcome = TDownloadOutcome::doNotTried;
  int HttpStatus = 0;
  std::string Body;
};

class TWinHTTPDownload {
 public:
  static constexpr int BlockSize = 255;

  // Transport defaults to the system's own (libcurl on Linux, WinInet on Windows).
  explicit TWinHTTPDownload(std::shared_ptr<IHttpTransport> Transport = nullptr);
  ~TWinHTTPDownload();
  TWinHTTPDownload(const TWinHTTPDownload&) = delete;
  TWinHTTPDownload& operator=(const TWinHTTPDownload&) = delete;

  void Download();
  // Fetches a small resource into memory under the rules of Download (the status, the length,
  // the stall rule, OnIdle and Stop), raising no item event: at most MaxBytes + 1 bytes are read,
  // so a longer body shows as one longer than MaxBytes.
  TFetchedText FetchToMemory(const std::string& URL, std::size_t MaxBytes);
  // Ends the transfer before its next block, and a wait on the network at once.
  void Stop() { FStopFlag = true; }

  const std::string& Version() const { return FVersion; }
  const std::string& ErrorMsg() const { return FErrorMsg; }
  TDownLoadItems& DownLoadItems() { return *FDownLoadItems; }

  std::string Agent = "TWinHTTPDownload";

  TNotifyEvent OnDownloadBegin;
  TNotifyEvent OnDownloadEnd;
  TItemEvent OnItemDownloadBegin;
  TItemProgressEvent OnItemDownloadProgress;
  TItemEvent OnItemDownloadEnd;
  TItemEvent OnItemGetHeader;
  TNotifyEvent OnDownloadStop;
  // Raised at least every few tens of milliseconds while a request waits on the network (for the
  // connection, the response head or the body); a Stop made there ends the wait at once.
  TNotifyEvent OnIdle;
  // The bytes of each block as they go to the file, before its progress event.
  TItemDataEvent OnItemData;

 private:
  // One transfer with its end steps (request and file closed, OnItemDownloadEnd raised) on
  // every path; an I/O error is raised after them.
  void DownloadItem(HttpHandle Session, TDownLoadItem* Item);
  // Opens the request (left in Request for the end steps), reads the headers and fetches the body.
  void TransferItem(HttpHandle Session, TDownLoadItem& Item, HttpHandle& Request,
                    TDownloadFile& File);
  // The full 255-byte blocks, then the final short one, each followed by a progress event.
  void CopyBody(HttpHandle Request, TDownLoadItem& Item, TDownloadFile& File);
  std::string QueryHeader(HttpHandle Request, HttpQuery Selector);
  // The transport's wait callback: the owner's idle handler; false once Stop has been called.
  bool Idle();

  const std::string FVersion = "v1.0";
  bool FStopFlag = false;
  std::string FErrorMsg;
  std::unique_ptr<TDownLoadItems> FDownLoadItems;
  std::shared_ptr<IHttpTransport> FTransport;
};

}  // namespace ruvevid
