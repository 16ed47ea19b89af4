#pragma once
// A small HTTP/1.1 file server on the loopback interface: GET and HEAD of the files under one
// folder, with Content-Length and Content-Type. The demo update server and the tests run it.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace ruvevid {

class UpdateServer {
 public:
  // Called for every answered request (from the connection's thread, one call at a time).
  using RequestLog = std::function<void(std::string_view Method, std::string_view Target,
                                        int Status, std::uint64_t BodyBytes)>;

  explicit UpdateServer(std::filesystem::path Root, RequestLog Log = nullptr);
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  // Binds 127.0.0.1:Port (0 picks a free port) and serves on threads of its own until Stop.
  // Throws std::system_error when the folder or the port cannot be used.
  void Start(std::uint16_t Port);
  // The bound port once started.
  std::uint16_t Port() const { return FPort; }
  // Closes the listener and every connection and waits for their threads. Idempotent.
  void Stop();

 private:
  struct Connection {
    int Socket = -1;
    std::thread Thread;
    std::atomic<bool> Done = false;
  };

  void AcceptLoop();
  void Serve(Connection& Client);
  void ReapFinished();
  void LogRequest(std::string_view Method, std::string_view Target, int Status,
                  std::uint64_t BodyBytes);

  std::filesystem::path FRoot;
  RequestLog FLog;
  std::mutex FLogMutex;
  std::uint16_t FPort = 0;
  int FListener = -1;
  int FWakeRead = -1;  // the accept loop leaves when the write end is written or closed
  int FWakeWrite = -1;
  std::thread FAcceptThread;
  std::mutex FConnectionsMutex;
  std::list<Connection> FConnections;
};

// What the server answers for a request target, decided from the text alone.
struct ResolvedTarget {
  int Status = 0;                  // 0: serve Path; otherwise the error status to send
  std::filesystem::path Relative;  // the file below the root, when Status is 0
};
// Strips the query, decodes %XX, and refuses what could leave the root: a '..' segment, a NUL,
// a target that does not start with '/'.
ResolvedTarget ResolveTarget(std::string_view Target);

// "application/zip" for a .zip file (any letter case), else "application/octet-stream".
std::string ContentTypeFor(const std::filesystem::path& File);

}  // namespace ruvevid
