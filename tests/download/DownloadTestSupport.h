#pragma once
// Shared pieces of the download tests: an event recorder and a transport wrapper that watches
// the calls going to the real libcurl transport.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "download/WinHTTPDownload.h"
#include "platform/HttpTransport.h"

namespace ruvevid::test {

// Records the component's events as text lines: "begin", "header NAME SIZE TYPE",
// "item-begin NAME SIZE", "progress CURRENT TOTAL", "item-end NAME", "stop", "end".
class EventLog {
 public:
  void Attach(TWinHTTPDownload& Download);
  std::vector<std::string> Lines;
  // Only the "progress ..." lines.
  std::vector<std::string> Progress() const;
  // Every event carried the component as its sender.
  bool SenderAlwaysRight = true;
};

// Passes every call to an inner transport and notes what was asked.
class WatchingTransport : public IHttpTransport {
 public:
  explicit WatchingTransport(std::shared_ptr<IHttpTransport> Inner) : FInner(std::move(Inner)) {}

  HttpHandle InternetOpen(const std::string& Agent, std::uint32_t AccessType) override;
  HttpHandle InternetOpenUrl(HttpHandle Session, const std::string& URL,
                             std::uint32_t Flags) override;
  bool HttpQueryInfo(HttpHandle Request, HttpQuery Selector, char* Buffer,
                     std::uint32_t& BufferLength) override;
  bool InternetReadFile(HttpHandle Request, void* Buffer, std::uint32_t Count,
                        std::uint32_t& Read) override;
  bool InternetCloseHandle(HttpHandle Handle) override;

  std::vector<std::string> Agents;
  std::vector<std::uint32_t> AccessTypes;
  std::vector<std::uint32_t> OpenFlags;
  std::uint32_t LargestRead = 0;
  int Reads = 0;
  int Opened = 0;  // handles handed out
  int Closed = 0;  // handles closed successfully

 private:
  std::shared_ptr<IHttpTransport> FInner;
};

}  // namespace ruvevid::test
