#pragma once
// The HTTP client service behind the download component: five operations shaped like the
// platform's internet API, with its last-error codes and a callback that runs while an operation
// waits on the network. Linux builds it on libcurl, Windows on WinInet.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ruvevid {

using HttpHandle = void*;  // null means failure

enum class HttpQuery { ContentType = 1, ContentLength = 5, StatusCode = 19 };

// Why the last operation failed, as the platform's internet API numbers it.
enum class THttpError : std::uint32_t {
  heNone = 0,
  heTimeout = 12002,             // fewer bytes came than the stall rule allows
  heInvalidUrl = 12005,          // the address cannot be sent
  heNameNotResolved = 12007,     // no such host
  heOperationCancelled = 12017,  // the wait callback asked to stop
  heCannotConnect = 12029,       // nothing answered the connection
  heConnectionAborted = 12030,   // the connection ended before the body did
  heInvalidResponse = 12152,     // the server's reply cannot be read
};

class IHttpTransport {
 public:
  static constexpr std::uint32_t FlagReload = 0x80000000u;  // fetch from the server, never a cache
  static constexpr std::uint32_t QueryBufferSize = 260;

  // Runs while an operation waits on the network, at least every few tens of milliseconds.
  // Returning false abandons the wait: the operation fails with heOperationCancelled.
  using TWaitCallback = std::function<bool()>;

  virtual ~IHttpTransport() = default;
  // Opens the internet handle; AccessType 0 takes the proxy settings from the environment.
  virtual HttpHandle InternetOpen(const std::string& Agent, std::uint32_t AccessType) = 0;
  // Sends a GET and returns once the response headers are in; null on failure.
  virtual HttpHandle InternetOpenUrl(HttpHandle Session, const std::string& URL,
                                     std::uint32_t Flags) = 0;
  // Places the header's value in Buffer (at most BufferLength bytes including the terminating
  // zero). False when the header is absent or does not fit; BufferLength then holds the size
  // needed. StatusCode gives the final response's status as decimal text.
  virtual bool HttpQueryInfo(HttpHandle Request, HttpQuery Selector, char* Buffer,
                             std::uint32_t& BufferLength) = 0;
  // Blocks until Count bytes have arrived or the body has ended; false on failure.
  virtual bool InternetReadFile(HttpHandle Request, void* Buffer, std::uint32_t Count,
                                std::uint32_t& Read) = 0;
  virtual bool InternetCloseHandle(HttpHandle Handle) = 0;

  // The callback for every later wait; an empty one removes it.
  virtual void SetWaitCallback(TWaitCallback Callback) { (void)Callback; }
  // Why the last failed open or read failed; heNone when nothing has failed yet.
  virtual THttpError LastError() const { return THttpError::heNone; }
};

std::shared_ptr<IHttpTransport> MakeCurlTransport();     // Linux only
std::shared_ptr<IHttpTransport> MakeWinInetTransport();  // Windows only
// The system's own transport: libcurl's on Linux, WinInet's on Windows.
std::shared_ptr<IHttpTransport> MakeSystemTransport();

}  // namespace ruvevid
