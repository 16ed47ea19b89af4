#include "platform/CurlPullRequest.h"

#include <algorithm>
#include <cctype>

namespace ruvevid {

namespace {

// libcurl's process-wide set-up, made once before the first request and undone at exit.
class CurlLibrary {
 public:
  CurlLibrary() : FResult(curl_global_init(CURL_GLOBAL_DEFAULT)) {}
  ~CurlLibrary() {
    if (FResult == CURLE_OK) curl_global_cleanup();
  }
  CurlLibrary(const CurlLibrary&) = delete;
  CurlLibrary& operator=(const CurlLibrary&) = delete;
  bool Ready() const { return FResult == CURLE_OK; }

 private:
  CURLcode FResult;
};

bool CurlReady() {
  static const CurlLibrary Library;
  return Library.Ready();
}

// The internet API's name for a libcurl failure.
THttpError ErrorOf(CURLcode Result) {
  switch (Result) {
    case CURLE_OK:
      return THttpError::heNone;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return THttpError::heInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return THttpError::heNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
      return THttpError::heCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return THttpError::heTimeout;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_TOO_MANY_REDIRECTS:
      return THttpError::heInvalidResponse;
    default:
      return THttpError::heConnectionAborted;
  }
}

std::string_view TrimBlanks(std::string_view Text) {
  const auto IsBlank = [](char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; };
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

bool SameName(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return std::tolower(static_cast<unsigned char>(X)) ==
                  std::tolower(static_cast<unsigned char>(Y));
         });
}

// The status code of a status line such as "HTTP/1.1 200 OK"; 0 when there is none.
int StatusOf(std::string_view Line) {
  const std::size_t Space = Line.find(' ');
  if (Space == std::string_view::npos || Line.size() < Space + 4) return 0;
  int Status = 0;
  for (std::size_t I = Space + 1; I < Space + 4; ++I) {
    if (Line[I] < '0' || Line[I] > '9') return 0;
    Status = Status * 10 + (Line[I] - '0');
  }
  return Status;
}

}  // namespace

CurlPullRequest::CurlPullRequest(const CurlRequestSettings& Settings)
    : FStallWatch(Settings.Options.StallTimeMs, Settings.Options.StallBytes),
      FWaitCallbackIntervalMs(std::max(1L, Settings.Options.WaitCallbackIntervalMs)),
      FWaitCallback(Settings.WaitCallback) {
  if (!CurlReady() || (FEasy = curl_easy_init()) == nullptr ||
      (FMulti = curl_multi_init()) == nullptr) {
    Finish(CURLE_FAILED_INIT);
    return;
  }
  const CurlTransportOptions& Options = Settings.Options;
  curl_easy_setopt(FEasy, CURLOPT_ERRORBUFFER, FErrorText);
  curl_easy_setopt(FEasy, CURLOPT_URL, Settings.URL.c_str());
  curl_easy_setopt(FEasy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(FEasy, CURLOPT_USERAGENT, Settings.Agent.c_str());
  curl_easy_setopt(FEasy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(FEasy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(FEasy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(FEasy, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(FEasy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(FEasy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(FEasy, CURLOPT_BUFFERSIZE, Options.ReceiveBufferSize);
  // An https server must prove who it is (libcurl checks the certificate and the name by default).
  if (!Options.CaFile.empty()) curl_easy_setopt(FEasy, CURLOPT_CAINFO, Options.CaFile.c_str());
  // Room for what one receive brings beyond a read, and for a second one.
  FOverflow.reserve(
      2 * static_cast<std::size_t>(std::max<long>(Options.ReceiveBufferSize, CURL_MAX_WRITE_SIZE)));
  curl_easy_setopt(FEasy, CURLOPT_WRITEFUNCTION, &CurlPullRequest::OnBody);
  curl_easy_setopt(FEasy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(FEasy, CURLOPT_HEADERFUNCTION, &CurlPullRequest::OnHeader);
  curl_easy_setopt(FEasy, CURLOPT_HEADERDATA, this);
  if (Settings.DirectConnection) curl_easy_setopt(FEasy, CURLOPT_PROXY, "");
  if (Settings.Reload) {
    for (const char* Line : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
      curl_slist* Extended = curl_slist_append(FRequestHeaders, Line);
      if (Extended == nullptr) {
        Finish(CURLE_OUT_OF_MEMORY);
        return;
      }
      FRequestHeaders = Extended;
    }
    curl_easy_setopt(FEasy, CURLOPT_HTTPHEADER, FRequestHeaders);
  }
  if (curl_multi_add_handle(FMulti, FEasy) != CURLM_OK) Finish(CURLE_FAILED_INIT);
}

CurlPullRequest::~CurlPullRequest() {
  if (FMulti != nullptr && FEasy != nullptr) curl_multi_remove_handle(FMulti, FEasy);
  if (FEasy != nullptr) curl_easy_cleanup(FEasy);
  if (FMulti != nullptr) curl_multi_cleanup(FMulti);
  curl_slist_free_all(FRequestHeaders);
}

bool CurlPullRequest::Start() {
  while (!FHeadersDone && !FFinished) Advance();
  if (!FHeadersDone && FResult == CURLE_WEIRD_SERVER_REPLY && FStatus >= 200) {
    // The final response came, but libcurl refused one of its header lines (a Content-Length
    // that is not a number or is negative, say). The request opens with the lines before that
    // one; its body cannot be read.
    FHeadersDone = true;
  }
  return FHeadersDone;
}

bool CurlPullRequest::ReadSlow(char* Buffer, std::size_t Count, std::size_t& Read) {
  Read = 0;
  // Nothing asked for: fine unless the transfer is known to have failed with nothing left.
  if (Count == 0) return FOverflowPos < FOverflow.size() || FResult == CURLE_OK;

  // What is kept is less than asked for: hand it over, then let the transfer bring the rest
  // straight into the caller's buffer.
  Read = FOverflow.size() - FOverflowPos;
  if (Read > 0) std::memcpy(Buffer, FOverflow.data() + FOverflowPos, Read);
  FOverflow.clear();
  FOverflowPos = 0;

  FTarget = Buffer;
  FTargetSize = Count;
  FTargetFilled = Read;
  if (FPaused) Resume();
  while (FTargetFilled < FTargetSize && !FFinished) Advance();
  Read = FTargetFilled;
  FTarget = nullptr;
  FTargetSize = 0;
  FTargetFilled = 0;
  return Read > 0 || FResult == CURLE_OK;
}

std::optional<std::string> CurlPullRequest::Header(std::string_view Name) const {
  for (const auto& [HeaderName, Value] : FHeaders) {
    if (SameName(HeaderName, Name)) return Value;
  }
  return std::nullopt;
}

THttpError CurlPullRequest::Error() const {
  return FAbandoned != THttpError::heNone ? FAbandoned : ErrorOf(FResult);
}

// The stall rule and the wait callback are applied here, around every wait: the socket is never
// waited on for longer than the callback's interval or the time left before a stall.
void CurlPullRequest::Advance() {
  const Clock::time_point Begin = Clock::now();
  const std::size_t Before = FTargetFilled + FOverflow.size();
  const bool HeadersBefore = FHeadersDone;
  Perform();
  const bool Moved =
      FFinished || FTargetFilled + FOverflow.size() != Before || FHeadersDone != HeadersBefore;
  if (!Moved) {
    const auto Timeout =
        std::clamp<std::int64_t>(FStallWatch.MsUntilStall(), 1, FWaitCallbackIntervalMs);
    if (curl_multi_poll(FMulti, nullptr, 0, static_cast<int>(Timeout), nullptr) != CURLM_OK) {
      Finish(CURLE_RECV_ERROR);
    }
  }
  // Counted in microseconds: many short waits must add up.
  FWaitedUs += std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - Begin).count();
  FStallWatch.Waited(FWaitedUs / 1000);
  FWaitedUs %= 1000;
  if (FFinished) return;
  if (FStallWatch.Stalled()) {
    Abandon(THttpError::heTimeout);
    return;
  }
  CallWaitCallback();
}

void CurlPullRequest::CallWaitCallback() {
  if (FWaitCallback == nullptr || !*FWaitCallback) return;
  const Clock::time_point Now = Clock::now();
  if (Now - FLastWaitCallback < std::chrono::milliseconds(FWaitCallbackIntervalMs)) return;
  // The callback may take its time (it handles the window's messages): that time is neither
  // waiting nor part of the next interval.
  const bool GoOn = (*FWaitCallback)();
  FLastWaitCallback = Clock::now();
  if (!GoOn) Abandon(THttpError::heOperationCancelled);
}

void CurlPullRequest::Abandon(THttpError Reason) {
  FAbandoned = Reason;
  Finish(CURLE_ABORTED_BY_CALLBACK);
}

void CurlPullRequest::Perform() {
  int Running = 0;
  if (curl_multi_perform(FMulti, &Running) != CURLM_OK) {
    Finish(CURLE_RECV_ERROR);
    return;
  }
  int Queued = 0;
  while (const CURLMsg* Message = curl_multi_info_read(FMulti, &Queued)) {
    if (Message->msg == CURLMSG_DONE) Finish(Message->data.result);
  }
  // A transfer that is gone without a word counts as failed rather than waited for.
  if (Running == 0 && !FFinished) Finish(CURLE_RECV_ERROR);
}

void CurlPullRequest::Finish(CURLcode Result) {
  FFinished = true;
  FResult = Result;
  // A transfer that ended well has had its final response, whatever the header lines said.
  if (Result == CURLE_OK) FHeadersDone = true;
}

std::size_t CurlPullRequest::OnBody(char* Data, std::size_t Size, std::size_t Count, void* Self) {
  auto& Request = *static_cast<CurlPullRequest*>(Self);
  Request.FHeadersDone = true;
  if (Request.TakeBody(Data, Size * Count)) {
    Request.FStallWatch.Received(Size * Count);
    return Size * Count;
  }
  Request.FPaused = true;
  return CURL_WRITEFUNC_PAUSE;
}

bool CurlPullRequest::TakeBody(const char* Data, std::size_t Count) {
  const std::size_t Direct = std::min(Count, FTargetSize - FTargetFilled);
  const std::size_t Rest = Count - Direct;
  // All or nothing: a paused chunk is handed over again whole. An empty overflow takes any
  // chunk, so the transfer never waits on bytes that no read could collect.
  if (Rest > FOverflow.capacity() - FOverflow.size() && !FOverflow.empty()) return false;
  if (Direct > 0) {
    std::memcpy(FTarget + FTargetFilled, Data, Direct);
    FTargetFilled += Direct;
  }
  if (Rest > 0) FOverflow.insert(FOverflow.end(), Data + Direct, Data + Count);
  return true;
}

void CurlPullRequest::Resume() {
  FPaused = false;
  const CURLcode Result = curl_easy_pause(FEasy, CURLPAUSE_CONT);
  if (Result != CURLE_OK) Finish(Result);
}

std::size_t CurlPullRequest::OnHeader(char* Data, std::size_t Size, std::size_t Count, void* Self) {
  auto& Request = *static_cast<CurlPullRequest*>(Self);
  Request.FStallWatch.Received(Size * Count);
  Request.TakeHeaderLine(std::string_view(Data, Size * Count));
  return Size * Count;
}

void CurlPullRequest::TakeHeaderLine(std::string_view Line) {
  // Trailers of a chunked body come after the final block; they change nothing.
  if (FHeadersDone) return;
  if (Line.starts_with("HTTP/")) {
    FHeaders.clear();
    FStatus = StatusOf(Line);
    FHasLocation = false;
    return;
  }
  if (TrimBlanks(Line).empty()) {
    // The end of one response's headers. An interim response (1xx) or a redirect that libcurl
    // follows is followed by another block; any other is the final one.
    const bool Interim = FStatus >= 100 && FStatus < 200;
    const bool Redirect = FStatus >= 300 && FStatus < 400 && FStatus != 304 && FHasLocation;
    if (!Interim && !Redirect) FHeadersDone = true;
    return;
  }
  const std::size_t Colon = Line.find(':');
  if (Colon == std::string_view::npos) return;
  const std::string_view Name = TrimBlanks(Line.substr(0, Colon));
  if (SameName(Name, "Location")) FHasLocation = true;
  FHeaders.emplace_back(std::string(Name), std::string(TrimBlanks(Line.substr(Colon + 1))));
}

}  // namespace ruvevid
