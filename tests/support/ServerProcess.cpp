#include "support/ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TestPaths.h"

extern char** environ;

namespace ruvevid::test {

int FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("bind failed");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

bool CanConnect(int Port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(Port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

ServerProcess::ServerProcess(const std::filesystem::path& Root) {
  const std::filesystem::path program = FindBuiltProgram("ruvevid-update-server");
  if (program.empty()) throw std::runtime_error("ruvevid-update-server is not built");
  FPort = FreeLoopbackPort();
  std::vector<std::string> args = {program.string(), "--port", std::to_string(FPort), "--root",
                                   Root.string()};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const int rc = ::posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start ruvevid-update-server");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!CanConnect(FPort)) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
      throw std::runtime_error("ruvevid-update-server did not start listening");
    }
    ::poll(nullptr, 0, 10);
  }
}

ServerProcess::~ServerProcess() {
  if (FPid > 0) {
    ::kill(FPid, SIGTERM);
    ::waitpid(FPid, nullptr, 0);
  }
}

std::string ServerProcess::url(const std::string& Path) const {
  return "127.0.0.1:" + std::to_string(FPort) + Path;
}

}  // namespace ruvevid::test
