#include "platform/WinInetTransport.h"

#include <windows.h>
#include <wininet.h>
// The transport's operations carry WinInet's names; the calls below use the W functions by name.
#undef InternetOpen
#undef InternetOpenUrl
#undef HttpQueryInfo

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/WideText.h"

namespace ruvevid {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kAccessDirect = 1;  // no proxy, whatever the system settings say
// The most one read on the wait thread takes in; the caller's reads are served from it.
constexpr DWORD kChunkSize = 64 * 1024;
// WinInet's own time limits sit this far beyond the stall time, so the stall rule decides; they
// only end calls that a request left behind when it was abandoned.
constexpr DWORD kSystemTimeoutMarginMs = 10000;

// The transport's name for a WinInet failure.
THttpError ErrorOf(DWORD Code) {
  switch (Code) {
    case ERROR_SUCCESS:
      return THttpError::heNone;
    case ERROR_INTERNET_TIMEOUT:
      return THttpError::heTimeout;
    case ERROR_INTERNET_INVALID_URL:
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
      return THttpError::heInvalidUrl;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return THttpError::heNameNotResolved;
    case ERROR_INTERNET_OPERATION_CANCELLED:
      return THttpError::heOperationCancelled;
    // An https server that cannot prove who it is counts as one that does not answer.
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
      return THttpError::heCannotConnect;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
    case ERROR_HTTP_HEADER_NOT_FOUND:
    case ERROR_HTTP_REDIRECT_FAILED:
    case ERROR_INTERNET_REDIRECT_SCHEME_CHANGE:
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

bool StartsWithNoCase(std::string_view Text, std::string_view Prefix) {
  return Text.size() >= Prefix.size() &&
         std::equal(Prefix.begin(), Prefix.end(), Text.begin(), [](char P, char T) {
           return P == (T >= 'A' && T <= 'Z' ? static_cast<char>(T - 'A' + 'a') : T);
         });
}

// Only http and https with a host are fetched: WinInet would also open ftp and file addresses.
bool IsHttpUrl(std::string_view URL) {
  std::string_view Rest;
  if (StartsWithNoCase(URL, "http://")) {
    Rest = URL.substr(7);
  } else if (StartsWithNoCase(URL, "https://")) {
    Rest = URL.substr(8);
  } else {
    return false;
  }
  return !Rest.empty() && Rest.front() != '/' && Rest.front() != '?' && Rest.front() != '#' &&
         Rest.find_first_of(" \t\r\n") == std::string_view::npos;
}

bool AllDigits(std::string_view Text) {
  return !Text.empty() &&
         std::all_of(Text.begin(), Text.end(), [](char C) { return C >= '0' && C <= '9'; });
}

// The value of a length made of digits, held at a bound far beyond any download.
std::int64_t LengthOf(std::string_view Digits) {
  constexpr std::int64_t kBound = std::int64_t{1} << 60;
  std::int64_t Value = 0;
  for (const char Digit : Digits) Value = std::min(kBound, Value * 10 + (Digit - '0'));
  return Value;
}

// Copies Value and its terminating zero into Buffer when they fit, as the query operation does.
bool PlaceValue(const std::string& Value, char* Buffer, std::uint32_t& BufferLength) {
  if (Buffer == nullptr || Value.size() + 1 > BufferLength) {
    BufferLength = static_cast<std::uint32_t>(Value.size() + 1);
    return false;
  }
  std::memcpy(Buffer, Value.data(), Value.size());
  Buffer[Value.size()] = '\0';
  BufferLength = static_cast<std::uint32_t>(Value.size());
  return true;
}

// The WinInet session, closed when its last user is gone: a request outlives the session handle
// it was opened on, as libcurl's do, and a call left running on an abandoned request keeps it.
class TSessionCore {
 public:
  explicit TSessionCore(HINTERNET Handle) : FHandle(Handle) {}
  ~TSessionCore() { ::InternetCloseHandle(FHandle); }
  TSessionCore(const TSessionCore&) = delete;
  TSessionCore& operator=(const TSessionCore&) = delete;
  HINTERNET Handle() const { return FHandle; }

 private:
  HINTERNET FHandle;
};

// What a request shares with its wait thread. The thread may outlive the request: a wait that is
// abandoned leaves the blocking call behind, and the call finishes on this state alone.
struct TWaitShared {
  std::shared_ptr<TSessionCore> Session;
  std::mutex Mutex;
  std::condition_variable Changed;
  std::function<void(TWaitShared&)> Job;  // the next blocking step, taken by the wait thread
  bool Busy = false;                      // a step is posted or running
  bool Quit = false;
  bool Abandoned = false;
  HINTERNET Request = nullptr;
  // The outcome of the last step.
  DWORD ErrorCode = ERROR_SUCCESS;
  std::vector<char> Chunk;
  DWORD ChunkFilled = 0;
};

void RunWaitThread(const std::shared_ptr<TWaitShared>& Shared) {
  std::unique_lock Lock(Shared->Mutex);
  for (;;) {
    Shared->Changed.wait(Lock, [&] { return Shared->Quit || Shared->Job; });
    if (Shared->Quit) return;
    std::function<void(TWaitShared&)> Job = std::move(Shared->Job);
    Shared->Job = nullptr;
    Lock.unlock();
    Job(*Shared);
    Lock.lock();
    Shared->Busy = false;
    Shared->Changed.notify_all();
  }
}

// The request handle unless the request was abandoned meanwhile.
HINTERNET LiveRequest(TWaitShared& Shared) {
  const std::lock_guard Lock(Shared.Mutex);
  return Shared.Abandoned ? nullptr : Shared.Request;
}

// The blocking steps, run on the wait thread.
void OpenStep(TWaitShared& Shared, const std::wstring& URL, DWORD Flags) {
  HINTERNET Request =
      ::InternetOpenUrlW(Shared.Session->Handle(), URL.c_str(), nullptr, 0, Flags, 0);
  const DWORD Code = Request != nullptr ? ERROR_SUCCESS : ::GetLastError();
  bool Abandoned = false;
  {
    const std::lock_guard Lock(Shared.Mutex);
    Abandoned = Shared.Abandoned;
    if (!Abandoned) {
      Shared.Request = Request;
      Shared.ErrorCode = Code;
    }
  }
  if (Abandoned && Request != nullptr) ::InternetCloseHandle(Request);
}

// Waits until body bytes are there, then takes in what has come (up to a chunk); none at the end.
void ReadStep(TWaitShared& Shared) {
  DWORD Code = ERROR_SUCCESS;
  DWORD Got = 0;
  HINTERNET Request = LiveRequest(Shared);
  DWORD Available = 0;
  if (Request == nullptr) {
    Code = ERROR_INTERNET_OPERATION_CANCELLED;
  } else if (!::InternetQueryDataAvailable(Request, &Available, 0, 0)) {
    Code = ::GetLastError();
  } else if (Available > 0 && (Request = LiveRequest(Shared)) != nullptr) {
    if (!::InternetReadFile(Request, Shared.Chunk.data(), std::min(Available, kChunkSize), &Got)) {
      Code = ::GetLastError();
      Got = 0;
    }
  }
  const std::lock_guard Lock(Shared.Mutex);
  Shared.ErrorCode = Code;
  Shared.ChunkFilled = Got;
}

// One GET. The blocking WinInet calls run on the request's wait thread while the calling thread
// waits in slices: it applies the stall rule and runs the wait callback between them, and
// abandons the call (closing its handle) when either says so.
class TWinInetRequest {
 public:
  TWinInetRequest(std::shared_ptr<TSessionCore> Session, const WinInetTransportOptions& Options,
                  const IHttpTransport::TWaitCallback* WaitCallback)
      : FShared(std::make_shared<TWaitShared>()),
        FStallWatch(Options.StallTimeMs, Options.StallBytes),
        FWaitCallbackIntervalMs(std::max(1L, Options.WaitCallbackIntervalMs)),
        FWaitCallback(WaitCallback) {
    FShared->Session = std::move(Session);
    FShared->Chunk.resize(kChunkSize);
    FThread = std::thread([Shared = FShared] { RunWaitThread(Shared); });
  }

  ~TWinInetRequest() {
    if (!FThread.joinable()) return;  // abandoned: the wait thread ends on its own
    HINTERNET Request = nullptr;
    {
      const std::lock_guard Lock(FShared->Mutex);
      FShared->Quit = true;
      Request = FShared->Request;
      FShared->Request = nullptr;
    }
    FShared->Changed.notify_all();
    FThread.join();
    if (Request != nullptr) ::InternetCloseHandle(Request);
  }

  TWinInetRequest(const TWinInetRequest&) = delete;
  TWinInetRequest& operator=(const TWinInetRequest&) = delete;

  // Sends the GET and waits for the final response's head (WinInet follows the redirects).
  bool Open(const std::string& URL, DWORD Flags) {
    if (!IsHttpUrl(URL)) return Fail(THttpError::heInvalidUrl);
    const std::wstring WideURL = Utf8ToWide(URL);
    if (!RunWaiting([WideURL, Flags](TWaitShared& Shared) { OpenStep(Shared, WideURL, Flags); })) {
      return false;
    }
    if (FShared->Request == nullptr) return Fail(ErrorOf(FShared->ErrorCode));
    // The head has come: it counts toward the stall rule like the body's bytes.
    if (const auto Head = QueryText(HTTP_QUERY_RAW_HEADERS_CRLF)) {
      FStallWatch.Received(Head->size());
    }
    DWORD Status = 0;
    DWORD Size = sizeof Status;
    if (::HttpQueryInfoW(FShared->Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &Status,
                         &Size, nullptr)) {
      FStatus = static_cast<int>(Status);
    }
    if (const auto Length = QueryText(HTTP_QUERY_CONTENT_LENGTH)) {
      // A length that is no number leaves the body unreadable, as libcurl has it.
      if (AllDigits(*Length)) {
        FContentLength = LengthOf(*Length);
      } else {
        FBadLength = true;
      }
    }
    return true;
  }

  std::optional<std::string> Header(HttpQuery Selector) const {
    switch (Selector) {
      case HttpQuery::StatusCode:
        if (FStatus == 0) return std::nullopt;
        return std::to_string(FStatus);
      case HttpQuery::ContentLength:
        if (FBadLength) return std::nullopt;
        return QueryText(HTTP_QUERY_CONTENT_LENGTH);
      case HttpQuery::ContentType:
        return QueryText(HTTP_QUERY_CONTENT_TYPE);
    }
    return std::nullopt;
  }

  // Fills Buffer with Count bytes of the body, fewer only when the body has ended or the
  // transfer failed after some bytes; false when it failed before any.
  bool Read(char* Buffer, std::size_t Count, std::size_t& Read) {
    Read = 0;
    if (FBadLength && FError == THttpError::heNone) Fail(THttpError::heInvalidResponse);
    while (Read < Count) {
      if (FChunkPos < FChunkEnd) {
        const std::size_t Take = std::min(Count - Read, FChunkEnd - FChunkPos);
        std::memcpy(Buffer + Read, FShared->Chunk.data() + FChunkPos, Take);
        FChunkPos += Take;
        Read += Take;
        continue;
      }
      if (FEnded || FError != THttpError::heNone || !FetchChunk()) break;
    }
    return Read > 0 || FError == THttpError::heNone;
  }

  THttpError Error() const { return FError; }

 private:
  bool Fail(THttpError Reason) {
    FError = Reason;
    return false;
  }

  std::optional<std::string> QueryText(DWORD Info) const {
    HINTERNET Request = FShared->Request;
    if (Request == nullptr || FAbandoned) return std::nullopt;
    std::wstring Value(128, L'\0');
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
      auto Size = static_cast<DWORD>(Value.size() * sizeof(wchar_t));
      if (::HttpQueryInfoW(Request, Info, Value.data(), &Size, nullptr)) {
        Value.resize(Size / sizeof(wchar_t));
        return std::string(TrimBlanks(WideToUtf8(Value)));
      }
      if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
      Value.assign(Size / sizeof(wchar_t) + 1, L'\0');
    }
    return std::nullopt;
  }

  // Brings the next bytes of the body into the chunk; false when the body has ended or failed.
  bool FetchChunk() {
    FChunkPos = 0;
    FChunkEnd = 0;
    if (!RunWaiting(ReadStep)) return false;
    if (FShared->ErrorCode != ERROR_SUCCESS) return Fail(ErrorOf(FShared->ErrorCode));
    FChunkEnd = FShared->ChunkFilled;
    if (FChunkEnd == 0) {
      FEnded = true;
      // WinInet ends a body quietly when the server closes early; the length says it was cut.
      if (FContentLength >= 0 && FDelivered < FContentLength) {
        return Fail(THttpError::heConnectionAborted);
      }
      return false;
    }
    FDelivered += static_cast<std::int64_t>(FChunkEnd);
    FStallWatch.Received(FChunkEnd);
    return true;
  }

  // Runs Step on the wait thread and waits for it; false when the wait was abandoned (the
  // request has then failed with the reason).
  bool RunWaiting(std::function<void(TWaitShared&)> Step) {
    std::unique_lock Lock(FShared->Mutex);
    FShared->Job = std::move(Step);
    FShared->Busy = true;
    FShared->Changed.notify_all();
    for (;;) {
      const auto Slice =
          std::clamp<std::int64_t>(FStallWatch.MsUntilStall(), 1, FWaitCallbackIntervalMs);
      const Clock::time_point Begin = Clock::now();
      const bool Done = FShared->Changed.wait_for(Lock, std::chrono::milliseconds(Slice),
                                                  [this] { return !FShared->Busy; });
      // Counted in microseconds: many short waits must add up.
      FWaitedUs +=
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - Begin).count();
      FStallWatch.Waited(FWaitedUs / 1000);
      FWaitedUs %= 1000;
      if (Done) return true;
      Lock.unlock();
      if (FStallWatch.Stalled()) return Abandon(THttpError::heTimeout);
      if (!CallWaitCallback()) return Abandon(THttpError::heOperationCancelled);
      Lock.lock();
    }
  }

  // False when the callback asks to stop.
  bool CallWaitCallback() {
    if (FWaitCallback == nullptr || !*FWaitCallback) return true;
    const Clock::time_point Now = Clock::now();
    if (Now - FLastWaitCallback < std::chrono::milliseconds(FWaitCallbackIntervalMs)) return true;
    // The callback may take its time (it handles the window's messages): that time is neither
    // waiting nor part of the next interval.
    const bool GoOn = (*FWaitCallback)();
    FLastWaitCallback = Clock::now();
    return GoOn;
  }

  // Leaves the blocking call behind: its handle is closed on a thread of its own (a close may wait
  // for the call in WinInet), and the wait thread ends once the call returns.
  bool Abandon(THttpError Reason) {
    HINTERNET Request = nullptr;
    {
      const std::lock_guard Lock(FShared->Mutex);
      FShared->Abandoned = true;
      FShared->Quit = true;
      Request = FShared->Request;
      FShared->Request = nullptr;
    }
    FShared->Changed.notify_all();
    FAbandoned = true;
    FThread.detach();
    if (Request != nullptr) {
      try {
        std::thread([Request, Keep = FShared] { ::InternetCloseHandle(Request); }).detach();
      } catch (const std::exception&) {
        // No thread for the close: the handle goes when WinInet's own time limit ends the call.
      }
    }
    return Fail(Reason);
  }

  std::shared_ptr<TWaitShared> FShared;
  std::thread FThread;
  bool FAbandoned = false;

  int FStatus = 0;
  std::int64_t FContentLength = -1;  // -1: none given
  bool FBadLength = false;
  std::int64_t FDelivered = 0;
  std::size_t FChunkPos = 0;
  std::size_t FChunkEnd = 0;
  bool FEnded = false;
  THttpError FError = THttpError::heNone;

  TStallWatch FStallWatch;
  std::int64_t FWaitedUs = 0;  // waiting not yet handed to the stall watch
  long FWaitCallbackIntervalMs;
  const IHttpTransport::TWaitCallback* FWaitCallback;
  Clock::time_point FLastWaitCallback = Clock::now();
};

struct TransportHandle {
  virtual ~TransportHandle() = default;
};

struct SessionHandle final : TransportHandle {
  explicit SessionHandle(std::shared_ptr<TSessionCore> SessionCore)
      : Core(std::move(SessionCore)) {}
  std::shared_ptr<TSessionCore> Core;
};

struct RequestHandle final : TransportHandle {
  template <class... Args>
  explicit RequestHandle(Args&&... Arguments) : Request(std::forward<Args>(Arguments)...) {}
  TWinInetRequest Request;
};

// The five operations on WinInet. Handles are owned here: a handle that is unknown or already
// closed is refused instead of being followed.
class WinInetTransport final : public IHttpTransport {
 public:
  explicit WinInetTransport(const WinInetTransportOptions& Options) : FOptions(Options) {}

  HttpHandle InternetOpen(const std::string& Agent, std::uint32_t AccessType) override {
    const DWORD Access =
        AccessType == kAccessDirect ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
    HINTERNET Session = ::InternetOpenW(Utf8ToWide(Agent).c_str(), Access, nullptr, nullptr, 0);
    if (Session == nullptr) {
      FLastError = ErrorOf(::GetLastError());
      return nullptr;
    }
    DWORD Limit = static_cast<DWORD>(std::max(0L, FOptions.StallTimeMs)) + kSystemTimeoutMarginMs;
    for (const DWORD Option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
      ::InternetSetOptionW(Session, Option, &Limit, sizeof Limit);
    }
    try {
      return Keep(std::make_unique<SessionHandle>(std::make_shared<TSessionCore>(Session)));
    } catch (const std::exception&) {
      ::InternetCloseHandle(Session);
      return nullptr;
    }
  }

  HttpHandle InternetOpenUrl(HttpHandle Session, const std::string& URL,
                             std::uint32_t Flags) override {
    const auto* Owner = Find<SessionHandle>(Session);
    if (Owner == nullptr) return nullptr;
    DWORD OpenFlags = INTERNET_FLAG_NO_UI;
    if ((Flags & FlagReload) != 0) {
      OpenFlags |=
          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    }
    try {
      auto Handle = std::make_unique<RequestHandle>(Owner->Core, FOptions, &FWaitCallback);
      if (!Handle->Request.Open(URL, OpenFlags)) {
        FLastError = Handle->Request.Error();
        return nullptr;
      }
      return Keep(std::move(Handle));
    } catch (const std::exception&) {
      // No thread or memory for the request.
      FLastError = THttpError::heCannotConnect;
      return nullptr;
    }
  }

  bool HttpQueryInfo(HttpHandle Request, HttpQuery Selector, char* Buffer,
                     std::uint32_t& BufferLength) override {
    auto* Owner = FindRequest(Request);
    if (Owner == nullptr) return false;
    const std::optional<std::string> Value = Owner->Request.Header(Selector);
    return Value && PlaceValue(*Value, Buffer, BufferLength);
  }

  bool InternetReadFile(HttpHandle Request, void* Buffer, std::uint32_t Count,
                        std::uint32_t& Read) override {
    Read = 0;
    auto* Owner = FindRequest(Request);
    if (Owner == nullptr || (Buffer == nullptr && Count > 0)) return false;
    std::size_t Delivered = 0;
    const bool Ok = Owner->Request.Read(static_cast<char*>(Buffer), Count, Delivered);
    Read = static_cast<std::uint32_t>(Delivered);
    if (!Ok) FLastError = Owner->Request.Error();
    return Ok;
  }

  bool InternetCloseHandle(HttpHandle Handle) override {
    if (Handle == FLastRequestKey) {
      FLastRequestKey = nullptr;
      FLastRequest = nullptr;
    }
    return FHandles.erase(Handle) == 1;
  }

  void SetWaitCallback(TWaitCallback Callback) override { FWaitCallback = std::move(Callback); }
  THttpError LastError() const override { return FLastError; }

 private:
  HttpHandle Keep(std::unique_ptr<TransportHandle> Handle) {
    HttpHandle Key = Handle.get();
    FHandles.emplace(Key, std::move(Handle));
    return Key;
  }

  template <class Kind>
  Kind* Find(HttpHandle Handle) {
    const auto Found = FHandles.find(Handle);
    return Found == FHandles.end() ? nullptr : dynamic_cast<Kind*>(Found->second.get());
  }

  // Reads come in long runs on one request: remember the last one found.
  RequestHandle* FindRequest(HttpHandle Handle) {
    if (Handle == nullptr) return nullptr;
    if (Handle != FLastRequestKey) {
      FLastRequest = Find<RequestHandle>(Handle);
      FLastRequestKey = FLastRequest != nullptr ? Handle : nullptr;
    }
    return FLastRequest;
  }

  WinInetTransportOptions FOptions;
  // The requests keep a pointer to it, so a callback set later reaches them too.
  TWaitCallback FWaitCallback;
  THttpError FLastError = THttpError::heNone;
  std::unordered_map<HttpHandle, std::unique_ptr<TransportHandle>> FHandles;
  HttpHandle FLastRequestKey = nullptr;
  RequestHandle* FLastRequest = nullptr;
};

}  // namespace

std::shared_ptr<IHttpTransport> MakeWinInetTransport(const WinInetTransportOptions& Options) {
  return std::make_shared<WinInetTransport>(Options);
}

std::shared_ptr<IHttpTransport> MakeWinInetTransport() {
  return MakeWinInetTransport(WinInetTransportOptions{});
}

std::shared_ptr<IHttpTransport> MakeSystemTransport() {
  return MakeWinInetTransport();
}

}  // namespace ruvevid
