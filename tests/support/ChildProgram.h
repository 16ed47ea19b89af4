#pragma once
// A real child process running a copy of a system program under a chosen file name, for tests
// that look processes up by image name. The process is killed and reaped when the object goes.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ruvevid::test {

class ChildProgram {
 public:
  // Copies Image to Folder/FileName (unless already there), makes it executable and runs it with
  // Arguments (argv[0] is the copy's full path).
  ChildProgram(const std::filesystem::path& Image, const std::filesystem::path& Folder,
               const std::string& FileName, const std::vector<std::string>& Arguments);
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  pid_t pid() const { return FPid; }
  // Waits up to Timeout for the process to end and reaps it; its wait status, or nothing when it
  // still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds Timeout);

 private:
  pid_t FPid = -1;
  std::optional<int> FStatus;
};

// A running copy of /bin/sleep named FileName in Folder that sleeps for a minute.
ChildProgram SleepingProgram(const std::filesystem::path& Folder, const std::string& FileName);

// A shell command running in the background for the length of a test (a peer server, say); it
// is killed and reaped when the object goes.
class BackgroundCommand {
 public:
  explicit BackgroundCommand(const std::string& Command);
  ~BackgroundCommand();
  BackgroundCommand(const BackgroundCommand&) = delete;
  BackgroundCommand& operator=(const BackgroundCommand&) = delete;

 private:
  pid_t FPid = -1;
};

// Runs a shell command in Folder, its output discarded; true when it exited with 0.
bool RunShellIn(const std::filesystem::path& Folder, const std::string& Command);

// True when Name is a program on the PATH (zip, unzip, 7zz, python3, ...).
bool HaveProgram(const std::string& Name);

// A shell command's standard output and exit code (-1 when it did not exit normally). The
// command chooses where its standard error goes ("2>&1", "2>/dev/null").
struct TCommandRun {
  std::string Output;
  int Status = -1;
};
TCommandRun RunCapturing(const std::string& Command);

// Runs Arguments[0] with the rest as its arguments, its output discarded, and waits up to Timeout
// for it to end; its wait status (killed after Timeout if need be).
int RunToEnd(const std::vector<std::string>& Arguments, std::chrono::milliseconds Timeout);

}  // namespace ruvevid::test
