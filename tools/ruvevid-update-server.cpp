// The demo update server: serves the files under a folder over HTTP on 127.0.0.1.
//
//   ruvevid-update-server [--port N] [--root DIR]
//
// Defaults: port 280, the current folder. Prints "listening on 127.0.0.1:PORT" once it accepts
// connections (port 0 picks a free one), one line per answered request, and stops on SIGTERM or
// SIGINT.

#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "server/UpdateServer.h"

namespace {

constexpr int UsageExit = 2;

int Usage() {
  std::fprintf(stderr, "usage: ruvevid-update-server [--port N] [--root DIR]\n");
  return UsageExit;
}

bool ParsePort(std::string_view Text, std::uint16_t& Port) {
  unsigned Value = 0;
  const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  if (Error != std::errc() || End != Text.data() + Text.size() || Value > 65535) return false;
  Port = static_cast<std::uint16_t>(Value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint16_t Port = 280;
  std::string Root = ".";
  for (int Index = 1; Index < argc; ++Index) {
    const std::string_view Option = argv[Index];
    if (Index + 1 >= argc) return Usage();
    if (Option == "--port") {
      if (!ParsePort(argv[++Index], Port)) return Usage();
    } else if (Option == "--root") {
      Root = argv[++Index];
    } else {
      return Usage();
    }
  }

  // The signals are taken by sigwait below; every thread started from here inherits the mask.
  sigset_t Signals;
  sigemptyset(&Signals);
  sigaddset(&Signals, SIGTERM);
  sigaddset(&Signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &Signals, nullptr);

  try {
    ruvevid::UpdateServer Server(Root, [](std::string_view Method, std::string_view Target,
                                          int Status, std::uint64_t BodyBytes) {
      std::printf("%.*s %.*s %d %llu\n", static_cast<int>(Method.size()), Method.data(),
                  static_cast<int>(Target.size()), Target.data(), Status,
                  static_cast<unsigned long long>(BodyBytes));
      std::fflush(stdout);
    });
    Server.Start(Port);
    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(Server.Port()));
    std::fflush(stdout);

    int Received = 0;
    sigwait(&Signals, &Received);
    Server.Stop();
    std::printf("stopped (%s)\n", Received == SIGTERM ? "SIGTERM" : "SIGINT");
    return 0;
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "ruvevid-update-server: %s\n", Error.what());
    return 1;
  }
}
