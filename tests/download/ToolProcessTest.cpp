// The two command-line programs run as real child processes: the demo update server and the
// downloader fetching from it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DownloadTestSupport.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/ServerProcess.h"
#include "support/Signing.h"
#include "support/TestPaths.h"

extern char** environ;

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A child process whose standard output is read line by line; killed and reaped at the end.
class Program {
 public:
  explicit Program(const std::vector<std::string>& Arguments) {
    int Pipe[2];
    if (::pipe2(Pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
    std::vector<std::string> Copy = Arguments;
    std::vector<char*> Argv;
    for (std::string& Argument : Copy) Argv.push_back(Argument.data());
    Argv.push_back(nullptr);
    const int Result =
        ::posix_spawn(&FPid, Copy[0].c_str(), &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(Pipe[1]);
    FOutput = Pipe[0];
    if (Result != 0) throw std::runtime_error("cannot start " + Copy[0]);
  }
  ~Program() {
    if (!FStatus) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    ::close(FOutput);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The next output line, or nothing when none comes within Timeout.
  std::optional<std::string> ReadLine(std::chrono::milliseconds Timeout) {
    const auto Deadline = std::chrono::steady_clock::now() + Timeout;
    for (;;) {
      const std::size_t End = FBuffer.find('\n');
      if (End != std::string::npos) {
        std::string Line = FBuffer.substr(0, End);
        FBuffer.erase(0, End + 1);
        return Line;
      }
      const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
          Deadline - std::chrono::steady_clock::now());
      pollfd Wait{FOutput, POLLIN, 0};
      if (Left.count() <= 0 || ::poll(&Wait, 1, static_cast<int>(Left.count())) <= 0) return {};
      char Chunk[4096];
      const ssize_t Got = ::read(FOutput, Chunk, sizeof Chunk);
      if (Got <= 0) return {};
      FBuffer.append(Chunk, static_cast<std::size_t>(Got));
    }
  }
  // Every remaining line, up to the end of the output.
  std::vector<std::string> ReadAll(std::chrono::milliseconds Timeout) {
    std::vector<std::string> Lines;
    while (std::optional<std::string> Line = ReadLine(Timeout)) Lines.push_back(*Line);
    return Lines;
  }
  // The exit code, or nothing when the process does not exit normally within Timeout.
  std::optional<int> Wait(std::chrono::milliseconds Timeout) {
    const auto Deadline = std::chrono::steady_clock::now() + Timeout;
    while (!FStatus && std::chrono::steady_clock::now() < Deadline) {
      int Status = 0;
      if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
        FStatus = Status;
        break;
      }
      ::usleep(10000);
    }
    if (!FStatus || !WIFEXITED(*FStatus)) return {};
    return WEXITSTATUS(*FStatus);
  }
  void Signal(int Number) { ::kill(FPid, Number); }

 private:
  pid_t FPid = -1;
  int FOutput = -1;
  std::string FBuffer;
  std::optional<int> FStatus;
};

class ToolProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    ServerProgram = test::FindBuiltProgram("ruvevid-update-server");
    DownloadProgram = test::FindBuiltProgram("ruvevid-download");
    if (ServerProgram.empty() || DownloadProgram.empty()) {
      GTEST_SKIP() << "ruvevid-update-server and ruvevid-download are not built";
    }
    fs::create_directories(Root.path() / "srv" / "HTTP" / "Ruvevid");
    test::WriteBytes(Root.path() / "srv" / "HTTP" / "Ruvevid" / "Roduvov0.zip", Archive);
  }

  // Starts the server on a free port and waits for its "listening" line; returns the port.
  std::string StartServer(Program& Server) {
    const std::optional<std::string> Line = Server.ReadLine(10s);
    if (!Line || Line->rfind("listening on 127.0.0.1:", 0) != 0) return {};
    return Line->substr(std::string("listening on 127.0.0.1:").size());
  }

  test::TempDir Root;
  fs::path ServerProgram;
  fs::path DownloadProgram;
  std::string Archive = test::PatternBytes(1000);
};

TEST_F(ToolProcessTest, DownloadFromTheUpdateServerThenStopIt) {
  Program Server({ServerProgram.string(), "--port", "0", "--root", (Root / "srv").string()});
  const std::string Port = StartServer(Server);
  ASSERT_FALSE(Port.empty());

  Program Download({DownloadProgram.string(), "--all",
                    "127.0.0.1:" + Port + "/HTTP/Ruvevid/Roduvov0.zip", (Root / "out").string()});
  EXPECT_EQ(
      Download.ReadAll(10s),
      (std::vector<std::string>{"download-begin", "item-header Roduvov0.zip 1000 application/zip",
                                "item-begin Roduvov0.zip 1000", "progress 255 1000",
                                "progress 510 1000", "progress 765 1000", "progress 1000 1000",
                                "item-end Roduvov0.zip", "download-end", "error-msg "}));
  EXPECT_EQ(Download.Wait(10s), 0);
  EXPECT_EQ(test::ReadBytes(Root / "out" / "Roduvov0.zip"), Archive);
  EXPECT_EQ(Server.ReadLine(5s), "GET /HTTP/Ruvevid/Roduvov0.zip 200 1000");

  Server.Signal(SIGTERM);
  EXPECT_EQ(Server.ReadLine(5s), "stopped (SIGTERM)");
  EXPECT_EQ(Server.Wait(5s), 0);
}

TEST_F(ToolProcessTest, ProgressLinesAreThinnedWithoutAll) {
  test::WriteBytes(Root / "srv" / "big.bin", test::PatternBytes(300000));
  Program Server({ServerProgram.string(), "--port", "0", "--root", (Root / "srv").string()});
  const std::string Port = StartServer(Server);
  ASSERT_FALSE(Port.empty());
  Program Download(
      {DownloadProgram.string(), "http://127.0.0.1:" + Port + "/big.bin", (Root / "out").string()});
  const std::vector<std::string> Lines = Download.ReadAll(10s);
  EXPECT_EQ(Download.Wait(10s), 0);
  const auto Progress = std::count_if(Lines.begin(), Lines.end(), [](const std::string& Line) {
    return Line.rfind("progress ", 0) == 0;
  });
  EXPECT_EQ(Progress, 101);  // 0 % to 100 %
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "progress 300000 300000"), Lines.end());
}

TEST_F(ToolProcessTest, FailedDownloadsExitWithOne) {
  const int Closed = test::FreeLoopbackPort();
  const std::string Url = "http://127.0.0.1:" + std::to_string(Closed) + "/Roduvov0.zip";
  Program Unreachable({DownloadProgram.string(), Url, (Root / "out").string()});
  const std::vector<std::string> Lines = Unreachable.ReadAll(10s);
  EXPECT_EQ(Unreachable.Wait(10s), 1);
  EXPECT_EQ(Lines,
            (std::vector<std::string>{"download-begin", "item-end Roduvov0.zip", "download-end",
                                      "error-msg 다음을 열 수 없습니다 [" + Url + "]"}));

  test::ScriptedHttpServer Short;
  Short.On("/cut.zip",
           test::ResponseHead(200, {"Content-Length: 1000", "Connection: close"}) + "only this");
  Program Cut({DownloadProgram.string(), Short.Url("/cut.zip"), (Root / "out").string()});
  Cut.ReadAll(10s);
  EXPECT_EQ(Cut.Wait(10s), 1);
  EXPECT_EQ(test::ReadBytes(Root / "out" / "cut.zip"), "only this");

  Short.On("/missing.zip", test::FullResponse(404, "<html>not here</html>", "text/html"));
  Program Missing({DownloadProgram.string(), Short.Url("/missing.zip"), (Root / "out").string()});
  Missing.ReadAll(10s);
  EXPECT_EQ(Missing.Wait(10s), 1);
  EXPECT_FALSE(fs::exists(Root / "out" / "missing.zip"));

  test::WriteBytes(Root / "plain", "x");
  Program Unwritable({DownloadProgram.string(), Short.Url("/cut.zip"), (Root / "plain").string()});
  Unwritable.ReadAll(10s);
  EXPECT_EQ(Unwritable.Wait(10s), 1);
}

TEST_F(ToolProcessTest, PublishedSignatureIsCheckedBeforeTheFileIsKept) {
  const test::TSigningKey Key = test::MakeSigningKey(Root.path(), "publisher");
  const test::TSigningKey Other = test::MakeSigningKey(Root.path(), "stranger");
  const fs::path Published = Root.path() / "srv" / "HTTP" / "Ruvevid" / "Roduvov0.zip";
  test::WriteBytes(Root / "publisher.pub.pem", Key.PublicKeyPem);
  Program Server({ServerProgram.string(), "--port", "0", "--root", (Root / "srv").string()});
  const std::string Port = StartServer(Server);
  ASSERT_FALSE(Port.empty());
  const std::string Url = "127.0.0.1:" + Port + "/HTTP/Ruvevid/Roduvov0.zip";
  // Signed by the publisher's key, by another one, and not at all.
  for (const auto& [Signer, Status] : std::vector<std::pair<const test::TSigningKey*, int>>{
           {&Key, 0}, {&Other, 1}, {nullptr, 1}}) {
    fs::remove(Published.string() + ".sig");
    if (Signer != nullptr)
      test::WriteBytes(Published.string() + ".sig", test::SignFile(Published, *Signer));
    Program Download({DownloadProgram.string(), "--pubkey", (Root / "publisher.pub.pem").string(),
                      Url, (Root / "out").string()});
    Download.ReadAll(10s);
    EXPECT_EQ(Download.Wait(10s), Status);
    EXPECT_EQ(fs::exists(Root / "out" / "Roduvov0.zip"), Status == 0);
  }
}

TEST_F(ToolProcessTest, WrongArgumentsExitWithTwo) {
  for (const std::vector<std::string>& Arguments :
       {std::vector<std::string>{DownloadProgram.string()},
        std::vector<std::string>{DownloadProgram.string(), "--all", "url"},
        std::vector<std::string>{ServerProgram.string(), "--port", "70000"},
        std::vector<std::string>{ServerProgram.string(), "--port"},
        std::vector<std::string>{ServerProgram.string(), "--what", "x"}}) {
    Program Wrong(Arguments);
    EXPECT_EQ(Wrong.Wait(10s), 2) << Arguments.back();
  }
}

TEST_F(ToolProcessTest, ServerRefusesAMissingRoot) {
  Program Server(
      {ServerProgram.string(), "--port", "0", "--root", (Root / "does-not-exist").string()});
  EXPECT_EQ(Server.Wait(10s), 1);
}

}  // namespace
}  // namespace ruvevid
