#pragma once
// One HTTP GET driven by libcurl's multi interface and read by pulling: the caller asks for a
// number of bytes and the request runs the transfer until they are there. Bytes that libcurl
// hands over beyond the caller's buffer are kept until the next read.

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/CurlTransport.h"
#include "platform/HttpTransport.h"
#include "platform/StallWatch.h"

namespace ruvevid {

struct CurlRequestSettings {
  std::string URL;
  std::string Agent;
  bool Reload = false;            // ask every cache on the way for a fresh copy
  bool DirectConnection = false;  // ignore the proxy settings of the environment
  CurlTransportOptions Options;
  // Called while the request waits (may be null or empty); false abandons the request.
  const IHttpTransport::TWaitCallback* WaitCallback = nullptr;
};

class CurlPullRequest {
 public:
  explicit CurlPullRequest(const CurlRequestSettings& Settings);
  ~CurlPullRequest();
  CurlPullRequest(const CurlPullRequest&) = delete;
  CurlPullRequest& operator=(const CurlPullRequest&) = delete;

  // Runs the transfer until the final response's headers are in (after any redirects). False
  // when the transfer failed before that: bad URL, name lookup, connection, stall, the wait
  // callback's stop. A response
  // whose head libcurl refuses part-way (a malformed Content-Length) opens with the header
  // lines before the refused one, and its reads fail.
  bool Start();

  // Fills Buffer with Count bytes of the body, fewer only when the body has ended or the
  // transfer failed after some bytes. False when no byte could be delivered because the transfer
  // failed; a body that ended cleanly gives true with Read = 0.
  bool Read(char* Buffer, std::size_t Count, std::size_t& Read) {
    if (Count != 0 && Count <= FOverflow.size() - FOverflowPos) {
      // The common case of small reads: the bytes are already here.
      std::memcpy(Buffer, FOverflow.data() + FOverflowPos, Count);
      FOverflowPos += Count;
      Read = Count;
      return true;
    }
    return ReadSlow(Buffer, Count, Read);
  }

  // The value of the first header of that name (any letter case) in the final response, without
  // surrounding blanks; nothing when the header is absent.
  std::optional<std::string> Header(std::string_view Name) const;

  // The libcurl result of the finished transfer; CURLE_OK while it is running.
  CURLcode Result() const { return FResult; }
  // Why the transfer failed, in the internet API's terms; heNone while it has not.
  THttpError Error() const;
  // The final response's status code; 0 before it is known.
  int Status() const { return FHeadersDone ? FStatus : 0; }

 private:
  static std::size_t OnBody(char* Data, std::size_t Size, std::size_t Count, void* Self);
  static std::size_t OnHeader(char* Data, std::size_t Size, std::size_t Count, void* Self);
  // False when the bytes do not fit now: the transfer then pauses and libcurl keeps them.
  bool TakeBody(const char* Data, std::size_t Count);
  // Lets a paused transfer go on; libcurl hands over the bytes it kept at once.
  void Resume();
  void TakeHeaderLine(std::string_view Line);

  bool ReadSlow(char* Buffer, std::size_t Count, std::size_t& Read);
  // One step of the transfer: let libcurl work, and wait for the socket when it brought nothing.
  void Advance();
  void Perform();
  void Finish(CURLcode Result);
  // Ends the transfer for a reason of our own (a stall, the wait callback's stop).
  void Abandon(THttpError Reason);
  // Runs the wait callback when its interval has passed since the last call.
  void CallWaitCallback();

  CURL* FEasy = nullptr;
  CURLM* FMulti = nullptr;
  curl_slist* FRequestHeaders = nullptr;
  char FErrorText[CURL_ERROR_SIZE] = {};

  // Where OnBody puts bytes first: the caller's buffer during a read.
  char* FTarget = nullptr;
  std::size_t FTargetSize = 0;
  std::size_t FTargetFilled = 0;
  // Bytes that arrived beyond the caller's buffer; the unread ones start at FOverflowPos. Its
  // room is fixed (it is only written when empty or while it has room), so the transfer pauses
  // rather than let it grow, and no byte is copied twice into fresh memory.
  std::vector<char> FOverflow;
  std::size_t FOverflowPos = 0;
  bool FPaused = false;

  // The header block being received; the final one stays once FHeadersDone is set.
  std::vector<std::pair<std::string, std::string>> FHeaders;
  int FStatus = 0;
  bool FHasLocation = false;
  bool FHeadersDone = false;

  bool FFinished = false;
  CURLcode FResult = CURLE_OK;
  THttpError FAbandoned = THttpError::heNone;

  using Clock = std::chrono::steady_clock;
  TStallWatch FStallWatch;
  std::int64_t FWaitedUs = 0;  // waiting not yet handed to the stall watch
  long FWaitCallbackIntervalMs;
  const IHttpTransport::TWaitCallback* FWaitCallback;
  Clock::time_point FLastWaitCallback = Clock::now();
};

}  // namespace ruvevid
