#include "support/ChildProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ruvevid::test {

ChildProgram::ChildProgram(const std::filesystem::path& Image, const std::filesystem::path& Folder,
                           const std::string& FileName, const std::vector<std::string>& Arguments) {
  const std::filesystem::path copy = Folder / FileName;
  if (!std::filesystem::exists(copy)) {
    std::filesystem::copy_file(Image, copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
  }
  std::vector<std::string> texts{copy.string()};
  texts.insert(texts.end(), Arguments.begin(), Arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const int result = ::posix_spawn(&FPid, copy.c_str(), nullptr, nullptr, argv.data(), environ);
  if (result != 0) throw std::runtime_error("cannot start " + copy.string());
}

ChildProgram::~ChildProgram() {
  if (FPid <= 0 || FStatus) return;
  ::kill(FPid, SIGKILL);
  int status = 0;
  ::waitpid(FPid, &status, 0);
}

std::optional<int> ChildProgram::WaitForExit(std::chrono::milliseconds Timeout) {
  if (FStatus) return FStatus;
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    int status = 0;
    if (::waitpid(FPid, &status, WNOHANG) == FPid) {
      FStatus = status;
      return FStatus;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

BackgroundCommand::BackgroundCommand(const std::string& Command) {
  std::string Shell = "/bin/sh";
  std::string Flag = "-c";
  std::string Line = "exec " + Command;
  char* Argv[] = {Shell.data(), Flag.data(), Line.data(), nullptr};
  if (::posix_spawn(&FPid, Shell.c_str(), nullptr, nullptr, Argv, environ) != 0)
    throw std::runtime_error("cannot run " + Command);
}

BackgroundCommand::~BackgroundCommand() {
  ::kill(FPid, SIGKILL);
  ::waitpid(FPid, nullptr, 0);
}

int RunToEnd(const std::vector<std::string>& Arguments, std::chrono::milliseconds Timeout) {
  std::vector<std::string> Texts = Arguments;
  std::vector<char*> Argv;
  for (std::string& Text : Texts) Argv.push_back(Text.data());
  Argv.push_back(nullptr);
  posix_spawn_file_actions_t Actions;
  ::posix_spawn_file_actions_init(&Actions);
  ::posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t Pid = -1;
  const int Result = ::posix_spawn(&Pid, Texts[0].c_str(), &Actions, nullptr, Argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&Actions);
  if (Result != 0) throw std::runtime_error("cannot start " + Texts[0]);
  const auto Deadline = std::chrono::steady_clock::now() + Timeout;
  int Status = 0;
  while (::waitpid(Pid, &Status, WNOHANG) != Pid) {
    if (std::chrono::steady_clock::now() >= Deadline) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, &Status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return Status;
}

bool RunShellIn(const std::filesystem::path& Folder, const std::string& Command) {
  const std::string Line = "cd '" + Folder.string() + "' && " + Command + " >/dev/null 2>&1";
  return std::system(Line.c_str()) == 0;
}

bool HaveProgram(const std::string& Name) {
  return std::system(("command -v '" + Name + "' >/dev/null 2>&1").c_str()) == 0;
}

TCommandRun RunCapturing(const std::string& Command) {
  TCommandRun Run;
  FILE* Pipe = ::popen(Command.c_str(), "r");
  if (Pipe == nullptr) return Run;
  char Buffer[4096];
  for (std::size_t Got; (Got = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
    Run.Output.append(Buffer, Got);
  const int Status = ::pclose(Pipe);
  Run.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  return Run;
}

ChildProgram SleepingProgram(const std::filesystem::path& Folder, const std::string& FileName) {
  return ChildProgram("/bin/sleep", Folder, FileName, {"60"});
}

}  // namespace ruvevid::test
