#pragma once
// Runs the project's own update server (ruvevid-update-server) on a free loopback port for the
// length of a test, serving one folder.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace ruvevid::test {

class ServerProcess {
 public:
  explicit ServerProcess(const std::filesystem::path& Root);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return FPort; }
  // "127.0.0.1:PORT" + Path, without a scheme.
  std::string url(const std::string& Path) const;

 private:
  pid_t FPid = -1;
  int FPort = 0;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();
// True when something accepts a connection on 127.0.0.1:Port.
bool CanConnect(int Port);

}  // namespace ruvevid::test
