#pragma once
// The HTTP client service behind the download component: five operations shaped like the
// platform's internet API. The default implementation is built on libcurl.

#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

using HttpHandle = void*;  // null means failure

enum class HttpQuery { ContentType = 1, ContentLength = 5 };

class IHttpTransport {
 public:
  static constexpr std::uint32_t FlagReload = 0x80000000u;  // fetch from the server, never a cache
  static constexpr std::uint32_t QueryBufferSize = 260;

  virtual ~IHttpTransport() = default;
  // Opens the internet handle; AccessType 0 takes the proxy settings from the environment.
  virtual HttpHandle InternetOpen(const std::string& Agent, std::uint32_t AccessType) = 0;
  // Sends a GET and returns once the response headers are in; null on failure.
  virtual HttpHandle InternetOpenUrl(HttpHandle Session, const std::string& URL,
                                     std::uint32_t Flags) = 0;
  // Places the header's value in Buffer (at most BufferLength bytes including the terminating
  // zero). False when the header is absent or does not fit; BufferLength then holds the size
  // needed.
  virtual bool HttpQueryInfo(HttpHandle Request, HttpQuery Selector, char* Buffer,
                             std::uint32_t& BufferLength) = 0;
  // Blocks until Count bytes have arrived or the body has ended; false on failure.
  virtual bool InternetReadFile(HttpHandle Request, void* Buffer, std::uint32_t Count,
                                std::uint32_t& Read) = 0;
  virtual bool InternetCloseHandle(HttpHandle Handle) = 0;
};

std::shared_ptr<IHttpTransport> MakeCurlTransport();

}  // namespace ruvevid
