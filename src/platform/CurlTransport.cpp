#include "platform/CurlTransport.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/CurlPullRequest.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t AccessDirect = 1;  // no proxy, whatever the environment says

struct TransportHandle {
  virtual ~TransportHandle() = default;
};

struct SessionHandle final : TransportHandle {
  SessionHandle(std::string AgentText, bool Direct)
      : Agent(std::move(AgentText)), DirectConnection(Direct) {}
  std::string Agent;
  bool DirectConnection;
};

struct RequestHandle final : TransportHandle {
  explicit RequestHandle(const CurlRequestSettings& Settings) : Request(Settings) {}
  CurlPullRequest Request;
};

const char* HeaderName(HttpQuery Selector) {
  switch (Selector) {
    case HttpQuery::ContentType:
      return "Content-Type";
    case HttpQuery::ContentLength:
      return "Content-Length";
    case HttpQuery::StatusCode:
      break;
  }
  return nullptr;
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

// The five operations on libcurl. Handles are owned here: a handle that is unknown or already
// closed is refused instead of being followed.
class CurlTransport final : public IHttpTransport {
 public:
  explicit CurlTransport(const CurlTransportOptions& Options) : FOptions(Options) {}

  HttpHandle InternetOpen(const std::string& Agent, std::uint32_t AccessType) override {
    return Keep(std::make_unique<SessionHandle>(Agent, AccessType == AccessDirect));
  }

  HttpHandle InternetOpenUrl(HttpHandle Session, const std::string& URL,
                             std::uint32_t Flags) override {
    const auto* Owner = Find<SessionHandle>(Session);
    if (Owner == nullptr) return nullptr;
    CurlRequestSettings Settings;
    Settings.URL = URL;
    Settings.Agent = Owner->Agent;
    Settings.Reload = (Flags & FlagReload) != 0;
    Settings.DirectConnection = Owner->DirectConnection;
    Settings.Options = FOptions;
    Settings.WaitCallback = &FWaitCallback;
    auto Handle = std::make_unique<RequestHandle>(Settings);
    if (!Handle->Request.Start()) {
      FLastError = Handle->Request.Error();
      return nullptr;
    }
    return Keep(std::move(Handle));
  }

  bool HttpQueryInfo(HttpHandle Request, HttpQuery Selector, char* Buffer,
                     std::uint32_t& BufferLength) override {
    auto* Owner = FindRequest(Request);
    if (Owner == nullptr) return false;
    if (Selector == HttpQuery::StatusCode) {
      const int Status = Owner->Request.Status();
      return Status != 0 && PlaceValue(std::to_string(Status), Buffer, BufferLength);
    }
    const char* Name = HeaderName(Selector);
    if (Name == nullptr) return false;
    const std::optional<std::string> Value = Owner->Request.Header(Name);
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

  CurlTransportOptions FOptions;
  // The requests keep a pointer to it, so a callback set later reaches them too.
  TWaitCallback FWaitCallback;
  THttpError FLastError = THttpError::heNone;
  std::unordered_map<HttpHandle, std::unique_ptr<TransportHandle>> FHandles;
  HttpHandle FLastRequestKey = nullptr;
  RequestHandle* FLastRequest = nullptr;
};

}  // namespace

std::shared_ptr<IHttpTransport> MakeCurlTransport(const CurlTransportOptions& Options) {
  return std::make_shared<CurlTransport>(Options);
}

std::shared_ptr<IHttpTransport> MakeCurlTransport() {
  return MakeCurlTransport(CurlTransportOptions{});
}

std::shared_ptr<IHttpTransport> MakeSystemTransport() {
  return MakeCurlTransport();
}

}  // namespace ruvevid
