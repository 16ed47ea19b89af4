#include "server/UpdateServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace ruvevid {

namespace {

constexpr std::size_t MaxRequestHead = 16 * 1024;
constexpr int IdleSeconds = 60;

[[noreturn]] void RaiseSystemError(const char* What) {
  throw std::system_error(errno, std::generic_category(), What);
}

class FileCloser {
 public:
  explicit FileCloser(int Handle) : FHandle(Handle) {}
  ~FileCloser() {
    if (FHandle >= 0) ::close(FHandle);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int FHandle;
};

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

bool EqualsNoCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return (X | 0x20) == (Y | 0x20);
         });
}

std::string_view Trim(std::string_view Text) {
  while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r')) {
    Text.remove_suffix(1);
  }
  return Text;
}

const char* ReasonOf(int Status) {
  switch (Status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 431:
      return "Request Header Fields Too Large";
    default:
      return "Error";
  }
}

std::string ErrorPage(int Status) {
  const std::string Title = std::to_string(Status) + " " + ReasonOf(Status);
  return "<!DOCTYPE html>\n<html><head><title>" + Title + "</title></head><body><h1>" + Title +
         "</h1></body></html>\n";
}

bool SendAll(int Socket, std::string_view Data, int Flags) {
  while (!Data.empty()) {
    const ssize_t Sent = ::send(Socket, Data.data(), Data.size(), Flags | MSG_NOSIGNAL);
    if (Sent < 0 && errno == EINTR) continue;
    if (Sent <= 0) return false;
    Data.remove_prefix(static_cast<std::size_t>(Sent));
  }
  return true;
}

bool SendFile(int Socket, int File, std::uint64_t Size) {
  off_t Offset = 0;
  while (static_cast<std::uint64_t>(Offset) < Size) {
    const std::uint64_t Left = Size - static_cast<std::uint64_t>(Offset);
    const ssize_t Sent =
        ::sendfile(Socket, File, &Offset,
                   static_cast<std::size_t>(std::min<std::uint64_t>(Left, std::uint64_t{1} << 30)));
    if (Sent < 0 && errno == EINTR) continue;
    if (Sent <= 0) return false;  // a failure, or the file became shorter than announced
  }
  return true;
}

// One parsed request head.
struct RequestHead {
  std::string Method;
  std::string Target;
  bool KeepAlive = false;
  bool HasBody = false;
};

bool ParseHead(std::string_view Head, RequestHead& Request) {
  const std::size_t LineEnd = Head.find("\r\n");
  const std::string_view Line = Head.substr(0, LineEnd);
  const std::size_t First = Line.find(' ');
  const std::size_t Last = Line.rfind(' ');
  if (First == std::string_view::npos || Last == First) return false;
  Request.Method = Line.substr(0, First);
  Request.Target = Line.substr(First + 1, Last - First - 1);
  const std::string_view Version = Line.substr(Last + 1);
  if (!Version.starts_with("HTTP/1.")) return false;
  Request.KeepAlive = Version != "HTTP/1.0";

  std::size_t Pos = LineEnd == std::string_view::npos ? Head.size() : LineEnd + 2;
  while (Pos < Head.size()) {
    std::size_t End = Head.find("\r\n", Pos);
    if (End == std::string_view::npos) End = Head.size();
    const std::string_view Field = Head.substr(Pos, End - Pos);
    Pos = End + 2;
    const std::size_t Colon = Field.find(':');
    if (Colon == std::string_view::npos) continue;
    const std::string_view Name = Trim(Field.substr(0, Colon));
    const std::string_view Value = Trim(Field.substr(Colon + 1));
    if (EqualsNoCase(Name, "Connection")) {
      if (EqualsNoCase(Value, "close")) Request.KeepAlive = false;
      if (EqualsNoCase(Value, "keep-alive")) Request.KeepAlive = true;
    } else if (EqualsNoCase(Name, "Transfer-Encoding") ||
               (EqualsNoCase(Name, "Content-Length") && Value != "0")) {
      Request.HasBody = true;
    }
  }
  return true;
}

// Reads up to the blank line that ends a request head; false when the client is gone.
enum class HeadResult { Complete, Closed, TooLarge };
HeadResult ReadHead(int Socket, std::string& Pending, std::string& Head) {
  for (;;) {
    const std::size_t End = Pending.find("\r\n\r\n");
    if (End != std::string::npos) {
      Head = Pending.substr(0, End + 2);
      Pending.erase(0, End + 4);
      return HeadResult::Complete;
    }
    if (Pending.size() > MaxRequestHead) return HeadResult::TooLarge;
    char Buffer[4096];
    const ssize_t Got = ::recv(Socket, Buffer, sizeof Buffer, 0);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) return HeadResult::Closed;
    Pending.append(Buffer, static_cast<std::size_t>(Got));
  }
}

std::string ResponseHead(int Status, std::uint64_t Length, std::string_view Type, bool KeepAlive,
                         std::string_view Extra = {}) {
  std::string Head = "HTTP/1.1 " + std::to_string(Status) + " " + ReasonOf(Status) + "\r\n";
  Head += "Server: ruvevid-update-server\r\n";
  Head += "Content-Length: " + std::to_string(Length) + "\r\n";
  Head += "Content-Type: " + std::string(Type) + "\r\n";
  Head += Extra;
  Head += KeepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  return Head;
}

// Whether Path, with every link resolved, lies strictly inside the canonical folder Root.
bool InsideRoot(const std::filesystem::path& Root, const std::filesystem::path& Path) {
  char Resolved[PATH_MAX];
  if (::realpath(Path.c_str(), Resolved) == nullptr) return false;
  const std::string Prefix = Root.string() == "/" ? "/" : Root.string() + "/";
  return std::string_view(Resolved).starts_with(Prefix);
}

}  // namespace

ResolvedTarget ResolveTarget(std::string_view Target) {
  if (Target.empty() || Target.front() != '/') return {400, {}};
  Target = Target.substr(0, Target.find_first_of("?#"));

  std::string Decoded;
  for (std::size_t I = 0; I < Target.size(); ++I) {
    if (Target[I] != '%') {
      Decoded += Target[I];
      continue;
    }
    if (I + 2 >= Target.size()) return {400, {}};
    const int High = HexValue(Target[I + 1]);
    const int Low = HexValue(Target[I + 2]);
    if (High < 0 || Low < 0) return {400, {}};
    Decoded += static_cast<char>(High * 16 + Low);
    I += 2;
  }
  if (Decoded.find('\0') != std::string::npos) return {400, {}};

  std::filesystem::path Relative;
  std::string_view Rest = Decoded;
  while (!Rest.empty()) {
    const std::size_t Slash = Rest.find('/');
    const std::string_view Segment = Rest.substr(0, Slash);
    Rest = Slash == std::string_view::npos ? std::string_view() : Rest.substr(Slash + 1);
    if (Segment == "..") return {403, {}};
    if (Segment.empty() || Segment == ".") continue;
    Relative /= std::string(Segment);
  }
  if (Relative.empty()) return {404, {}};
  return {0, Relative};
}

std::string ContentTypeFor(const std::filesystem::path& File) {
  const std::string Extension = File.extension().string();
  return EqualsNoCase(Extension, ".zip") ? "application/zip" : "application/octet-stream";
}

UpdateServer::UpdateServer(std::filesystem::path Root, RequestLog Log)
    : FRoot(std::move(Root)), FLog(std::move(Log)) {}

UpdateServer::~UpdateServer() {
  Stop();
}

void UpdateServer::Start(std::uint16_t Port) {
  FRoot = std::filesystem::canonical(FRoot);
  if (!std::filesystem::is_directory(FRoot)) {
    throw std::system_error(std::make_error_code(std::errc::not_a_directory), FRoot.string());
  }
  int Wake[2];
  if (::pipe2(Wake, O_CLOEXEC) != 0) RaiseSystemError("pipe");
  FWakeRead = Wake[0];
  FWakeWrite = Wake[1];

  FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (FListener < 0) RaiseSystemError("socket");
  const int On = 1;
  ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &On, sizeof On);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_port = htons(Port);
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(FListener, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) != 0) {
    RaiseSystemError("bind");
  }
  if (::listen(FListener, 64) != 0) RaiseSystemError("listen");
  socklen_t Length = sizeof Address;
  if (::getsockname(FListener, reinterpret_cast<sockaddr*>(&Address), &Length) != 0) {
    RaiseSystemError("getsockname");
  }
  FPort = ntohs(Address.sin_port);
  FAcceptThread = std::thread([this] { AcceptLoop(); });
}

void UpdateServer::Stop() {
  if (FWakeWrite >= 0) {
    ::close(FWakeWrite);
    FWakeWrite = -1;
  }
  if (FAcceptThread.joinable()) FAcceptThread.join();
  for (int* Handle : {&FListener, &FWakeRead}) {
    if (*Handle >= 0) ::close(*Handle);
    *Handle = -1;
  }
  {
    const std::lock_guard Lock(FConnectionsMutex);
    for (Connection& Client : FConnections) {
      if (Client.Socket >= 0) ::shutdown(Client.Socket, SHUT_RDWR);
    }
  }
  // The accept loop is gone, so the list no longer grows.
  for (Connection& Client : FConnections) {
    if (Client.Thread.joinable()) Client.Thread.join();
  }
  FConnections.clear();
}

void UpdateServer::AcceptLoop() {
  for (;;) {
    pollfd Waits[2] = {{FListener, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
    if (::poll(Waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (Waits[1].revents != 0) return;
    if ((Waits[0].revents & POLLIN) == 0) continue;
    const int Socket = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (Socket < 0) continue;
    ReapFinished();
    const std::lock_guard Lock(FConnectionsMutex);
    Connection& Client = FConnections.emplace_back();
    Client.Socket = Socket;
    Client.Thread = std::thread([this, &Client] { Serve(Client); });
  }
}

void UpdateServer::ReapFinished() {
  std::list<Connection> Finished;
  {
    const std::lock_guard Lock(FConnectionsMutex);
    for (auto It = FConnections.begin(); It != FConnections.end();) {
      const auto Next = std::next(It);
      if (It->Done) Finished.splice(Finished.end(), FConnections, It);
      It = Next;
    }
  }
  for (Connection& Client : Finished) Client.Thread.join();
}

void UpdateServer::Serve(Connection& Client) {
  // A client that goes away mid-body must not end the process.
  sigset_t Pipe;
  sigemptyset(&Pipe);
  sigaddset(&Pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &Pipe, nullptr);

  const int Socket = Client.Socket;
  const int On = 1;
  ::setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, &On, sizeof On);
  const timeval Idle{IdleSeconds, 0};
  ::setsockopt(Socket, SOL_SOCKET, SO_RCVTIMEO, &Idle, sizeof Idle);

  std::string Pending;
  std::string Head;
  bool KeepGoing = true;
  while (KeepGoing) {
    const HeadResult Got = ReadHead(Socket, Pending, Head);
    if (Got == HeadResult::Closed) break;
    RequestHead Request;
    int Status = 0;
    if (Got == HeadResult::TooLarge) {
      Status = 431;
    } else if (!ParseHead(Head, Request)) {
      Status = 400;
    } else if (Request.Method != "GET" && Request.Method != "HEAD") {
      Status = 405;
    }
    // A request body is not expected: answer, then part.
    KeepGoing = Status == 0 && Request.KeepAlive && !Request.HasBody;
    const bool WithBody = Request.Method != "HEAD";

    ResolvedTarget Resolved = Status == 0 ? ResolveTarget(Request.Target) : ResolvedTarget{};
    if (Status == 0) Status = Resolved.Status;
    int File = -1;
    struct stat Info {};
    if (Status == 0) {
      const std::filesystem::path Path = FRoot / Resolved.Relative;
      File = InsideRoot(FRoot, Path) ? ::open(Path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
      Status = File >= 0 && ::fstat(File, &Info) == 0 && S_ISREG(Info.st_mode) ? 200 : 404;
    }
    const FileCloser CloseFile(File);

    std::uint64_t BodyBytes = 0;
    if (Status == 200) {
      const auto Size = static_cast<std::uint64_t>(Info.st_size);
      const std::string Answer =
          ResponseHead(200, Size, ContentTypeFor(Resolved.Relative), KeepGoing);
      const bool SendBody = WithBody && Size > 0;
      KeepGoing = SendAll(Socket, Answer, SendBody ? MSG_MORE : 0) &&
                  (!SendBody || SendFile(Socket, File, Size)) && KeepGoing;
      BodyBytes = SendBody ? Size : 0;
    } else {
      const std::string Page = ErrorPage(Status);
      const std::string Extra = Status == 405 ? "Allow: GET, HEAD\r\n" : "";
      std::string Answer =
          ResponseHead(Status, Page.size(), "text/html; charset=utf-8", KeepGoing, Extra);
      if (WithBody) Answer += Page;
      KeepGoing = SendAll(Socket, Answer, 0) && KeepGoing;
      BodyBytes = WithBody ? Page.size() : 0;
    }
    LogRequest(Request.Method, Request.Target, Status, BodyBytes);
  }

  const std::lock_guard Lock(FConnectionsMutex);
  ::close(Client.Socket);
  Client.Socket = -1;
  Client.Done = true;
}

void UpdateServer::LogRequest(std::string_view Method, std::string_view Target, int Status,
                              std::uint64_t BodyBytes) {
  if (!FLog) return;
  const std::lock_guard Lock(FLogMutex);
  FLog(Method, Target, Status, BodyBytes);
}

}  // namespace ruvevid
