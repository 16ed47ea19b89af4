#include "support/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace ruvevid::test {

namespace {

constexpr std::size_t MaxHead = 64 * 1024;

bool SendAll(int Socket, const std::string& Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    const ssize_t Sent = ::send(Socket, Bytes.data() + Done, Bytes.size() - Done, MSG_NOSIGNAL);
    if (Sent <= 0) return false;
    Done += static_cast<std::size_t>(Sent);
  }
  return true;
}

// The target of a request head's first line.
std::string TargetOf(const std::string& Head) {
  const std::size_t First = Head.find(' ');
  const std::size_t Second = Head.find(' ', First + 1);
  if (First == std::string::npos || Second == std::string::npos) return {};
  return Head.substr(First + 1, Second - First - 1);
}

}  // namespace

std::string ResponseHead(int Status, const std::vector<std::string>& Headers) {
  std::string Head = "HTTP/1.1 " + std::to_string(Status) + " Scripted\r\n";
  for (const std::string& Line : Headers) Head += Line + "\r\n";
  return Head + "\r\n";
}

std::string FullResponse(int Status, const std::string& Body, const std::string& ContentType) {
  return ResponseHead(Status, {"Content-Length: " + std::to_string(Body.size()),
                               "Content-Type: " + ContentType, "Connection: close"}) +
         Body;
}

std::string PatternBytes(std::size_t Size) {
  std::string Bytes(Size, '\0');
  for (std::size_t I = 0; I < Size; ++I) {
    Bytes[I] = static_cast<char>((I * 131 + I / 251) & 0xFF);
  }
  return Bytes;
}

ScriptedHttpServer::ScriptedHttpServer() {
  int Wake[2];
  if (::pipe2(Wake, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  FWakeRead = Wake[0];
  FWakeWrite = Wake[1];
  FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t Length = sizeof Address;
  if (FListener < 0 ||
      ::bind(FListener, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) != 0 ||
      ::listen(FListener, 16) != 0 ||
      ::getsockname(FListener, reinterpret_cast<sockaddr*>(&Address), &Length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  FPort = ntohs(Address.sin_port);
  FThread = std::thread([this] { Run(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
  ::close(FWakeWrite);
  FThread.join();
  ::close(FWakeRead);
  ::close(FListener);
}

void ScriptedHttpServer::On(const std::string& Path, Reply Steps) {
  const std::lock_guard Lock(FMutex);
  FReplies[Path] = std::move(Steps);
}

std::string ScriptedHttpServer::Url(const std::string& Path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + Path;
}

std::vector<std::string> ScriptedHttpServer::Requests() const {
  const std::lock_guard Lock(FMutex);
  return FRequests;
}

bool ScriptedHttpServer::Wait(std::chrono::milliseconds Time) const {
  pollfd Wake{FWakeRead, POLLIN, 0};
  return ::poll(&Wake, 1, static_cast<int>(Time.count())) == 0;
}

void ScriptedHttpServer::Run() {
  for (;;) {
    pollfd Waits[2] = {{FListener, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
    if (::poll(Waits, 2, -1) < 0 || Waits[1].revents != 0) return;
    const int Socket = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (Socket < 0) continue;
    Answer(Socket);
    ::close(Socket);
  }
}

void ScriptedHttpServer::Answer(int Socket) {
  std::string Head;
  while (Head.find("\r\n\r\n") == std::string::npos) {
    if (Head.size() > MaxHead) return;
    pollfd Waits[2] = {{Socket, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
    if (::poll(Waits, 2, 10000) <= 0 || Waits[1].revents != 0) return;
    char Buffer[4096];
    const ssize_t Got = ::recv(Socket, Buffer, sizeof Buffer, 0);
    if (Got <= 0) return;
    Head.append(Buffer, static_cast<std::size_t>(Got));
  }
  Reply Steps;
  {
    const std::lock_guard Lock(FMutex);
    FRequests.push_back(Head);
    const auto Found = FReplies.find(TargetOf(Head));
    if (Found != FReplies.end()) {
      Steps = Found->second;
    } else {
      Steps = {{FullResponse(404, "no script for this path\n", "text/plain"), {}}};
    }
  }
  for (const ReplyStep& Step : Steps) {
    if (!SendAll(Socket, Step.Bytes)) return;
    if (Step.Pause.count() > 0 && !Wait(Step.Pause)) return;
  }
}

}  // namespace ruvevid::test
