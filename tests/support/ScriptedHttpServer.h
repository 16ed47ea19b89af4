#pragma once
// An HTTP server on 127.0.0.1 that answers each request path with a scripted reply: bytes to
// send, pauses, and an early close. It serves misbehaving replies (no length, lengths that do
// not read, bodies cut short, stalls) and records every request head it receives. Connections
// are handled one at a time and closed after their reply.

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ruvevid::test {

struct ReplyStep {
  std::string Bytes;                  // sent first
  std::chrono::milliseconds Pause{};  // then waited (cut short when the server stops)
};
using Reply = std::vector<ReplyStep>;

// A complete response head: status line, the given header lines (each without CRLF) and the
// blank line.
std::string ResponseHead(int Status, const std::vector<std::string>& Headers);
// Head with Content-Length and Connection: close, followed by Body.
std::string FullResponse(int Status, const std::string& Body,
                         const std::string& ContentType = "application/octet-stream");
// A body of Size bytes whose byte at offset I is a function of I (not of the block size).
std::string PatternBytes(std::size_t Size);

class ScriptedHttpServer {
 public:
  ScriptedHttpServer();
  ~ScriptedHttpServer();
  ScriptedHttpServer(const ScriptedHttpServer&) = delete;
  ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

  // The reply for requests of Path (query included, as sent). Unknown paths get a 404.
  void On(const std::string& Path, Reply Steps);
  void On(const std::string& Path, const std::string& Bytes) { On(Path, Reply{{Bytes, {}}}); }

  int Port() const { return FPort; }
  // "http://127.0.0.1:PORT" + Path.
  std::string Url(const std::string& Path) const;
  // The heads of the requests received so far, in order.
  std::vector<std::string> Requests() const;

 private:
  void Run();
  void Answer(int Socket);
  // Waits up to Time; false when the server is stopping.
  bool Wait(std::chrono::milliseconds Time) const;

  int FListener = -1;
  int FWakeRead = -1;
  int FWakeWrite = -1;
  int FPort = 0;
  mutable std::mutex FMutex;
  std::map<std::string, Reply> FReplies;
  std::vector<std::string> FRequests;
  std::thread FThread;
};

}  // namespace ruvevid::test
