#include "DownloadTestSupport.h"

#include <unistd.h>

#include <stdexcept>

namespace ruvevid::test {

void EventLog::Attach(TWinHTTPDownload& Download) {
  TWinHTTPDownload* Self = &Download;
  const auto Check = [this, Self](TWinHTTPDownload* Sender) {
    if (Sender != Self) SenderAlwaysRight = false;
  };
  Download.OnDownloadBegin = [this, Check](TWinHTTPDownload* Sender) {
    Check(Sender);
    Lines.push_back("begin");
  };
  Download.OnDownloadEnd = [this, Check](TWinHTTPDownload* Sender) {
    Check(Sender);
    Lines.push_back("end");
  };
  Download.OnDownloadStop = [this, Check](TWinHTTPDownload* Sender) {
    Check(Sender);
    Lines.push_back("stop");
  };
  Download.OnItemGetHeader = [this, Check](TWinHTTPDownload* Sender, TDownLoadItem* Item) {
    Check(Sender);
    Lines.push_back("header " + Item->FileName + " " + std::to_string(Item->FileSize) + " " +
                    Item->ContentType);
  };
  Download.OnItemDownloadBegin = [this, Check](TWinHTTPDownload* Sender, TDownLoadItem* Item) {
    Check(Sender);
    Lines.push_back("item-begin " + Item->FileName + " " + std::to_string(Item->FileSize));
  };
  Download.OnItemDownloadProgress = [this, Check](TWinHTTPDownload* Sender, TDownLoadItem*,
                                                  std::int32_t Current, std::int32_t Total) {
    Check(Sender);
    Lines.push_back("progress " + std::to_string(Current) + " " + std::to_string(Total));
  };
  Download.OnItemDownloadEnd = [this, Check](TWinHTTPDownload* Sender, TDownLoadItem* Item) {
    Check(Sender);
    Lines.push_back("item-end " + Item->FileName);
  };
}

std::vector<std::string> EventLog::Progress() const {
  std::vector<std::string> Found;
  for (const std::string& Line : Lines) {
    if (Line.rfind("progress ", 0) == 0) Found.push_back(Line);
  }
  return Found;
}

HttpHandle WatchingTransport::InternetOpen(const std::string& Agent, std::uint32_t AccessType) {
  Agents.push_back(Agent);
  AccessTypes.push_back(AccessType);
  HttpHandle Handle = FInner->InternetOpen(Agent, AccessType);
  if (Handle != nullptr) ++Opened;
  return Handle;
}

HttpHandle WatchingTransport::InternetOpenUrl(HttpHandle Session, const std::string& URL,
                                              std::uint32_t Flags) {
  OpenFlags.push_back(Flags);
  HttpHandle Handle = FInner->InternetOpenUrl(Session, URL, Flags);
  if (Handle != nullptr) ++Opened;
  return Handle;
}

bool WatchingTransport::HttpQueryInfo(HttpHandle Request, HttpQuery Selector, char* Buffer,
                                      std::uint32_t& BufferLength) {
  return FInner->HttpQueryInfo(Request, Selector, Buffer, BufferLength);
}

bool WatchingTransport::InternetReadFile(HttpHandle Request, void* Buffer, std::uint32_t Count,
                                         std::uint32_t& Read) {
  ++Reads;
  LargestRead = std::max(LargestRead, Count);
  return FInner->InternetReadFile(Request, Buffer, Count, Read);
}

bool WatchingTransport::InternetCloseHandle(HttpHandle Handle) {
  const bool Done = FInner->InternetCloseHandle(Handle);
  if (Done) ++Closed;
  return Done;
}

}  // namespace ruvevid::test
