#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ProgramLaunch.h"

extern char** environ;

namespace ruvevid {

namespace {

class TSpawnSettings {
 public:
  TSpawnSettings() {
    FAttributesReady = ::posix_spawnattr_init(&FAttributes) == 0;
    FActionsReady = ::posix_spawn_file_actions_init(&FActions) == 0;
  }
  ~TSpawnSettings() {
    if (FActionsReady) ::posix_spawn_file_actions_destroy(&FActions);
    if (FAttributesReady) ::posix_spawnattr_destroy(&FAttributes);
  }
  TSpawnSettings(const TSpawnSettings&) = delete;
  TSpawnSettings& operator=(const TSpawnSettings&) = delete;

  // Own session, default signal handling, nothing blocked, no descriptors beyond 0, 1 and 2.
  bool Prepare() {
    if (!FAttributesReady || !FActionsReady) return false;
    sigset_t All;
    sigset_t None;
    ::sigfillset(&All);
    ::sigemptyset(&None);
    const short Flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    return ::posix_spawnattr_setflags(&FAttributes, Flags) == 0 &&
           ::posix_spawnattr_setsigdefault(&FAttributes, &All) == 0 &&
           ::posix_spawnattr_setsigmask(&FAttributes, &None) == 0 &&
           ::posix_spawn_file_actions_addclosefrom_np(&FActions, STDERR_FILENO + 1) == 0;
  }

  const posix_spawnattr_t* Attributes() const { return &FAttributes; }
  const posix_spawn_file_actions_t* Actions() const { return &FActions; }

 private:
  posix_spawnattr_t FAttributes{};
  posix_spawn_file_actions_t FActions{};
  bool FAttributesReady = false;
  bool FActionsReady = false;
};

class TPipe {
 public:
  TPipe() { FReady = ::pipe2(FEnds, O_CLOEXEC) == 0; }
  ~TPipe() {
    CloseRead();
    CloseWrite();
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  bool Ready() const { return FReady; }
  int ReadEnd() const { return FEnds[0]; }
  int WriteEnd() const { return FEnds[1]; }
  void CloseRead() { CloseEnd(0); }
  void CloseWrite() { CloseEnd(1); }

 private:
  void CloseEnd(int Which) {
    if (FReady && FEnds[Which] >= 0) ::close(FEnds[Which]);
    FEnds[Which] = -1;
  }
  int FEnds[2] = {-1, -1};
  bool FReady = false;
};

// Reads the start result the intermediate process reports; false when it reported nothing.
bool ReadReport(int Fd, int& Report) {
  char* Target = reinterpret_cast<char*>(&Report);
  std::size_t Done = 0;
  while (Done < sizeof Report) {
    const ssize_t Count = ::read(Fd, Target + Done, sizeof Report - Done);
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0) return false;
    Done += static_cast<std::size_t>(Count);
  }
  return true;
}

// Waits for the intermediate process, which ends right after starting the program.
void Reap(pid_t Intermediate) {
  while (::waitpid(Intermediate, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

// The program is started by a short-lived intermediate process, so that it becomes a child of
// the system's reaper instead of ours: it outlives us, and when it ends before us it does not
// stay a zombie while we run. The intermediate reports posix_spawn's result through a pipe, so a
// missing or non-executable file is reported as a failure.
bool LaunchProgram(const std::string& Path) {
  if (Path.empty()) return false;
  TSpawnSettings Settings;
  if (!Settings.Prepare()) return false;
  TPipe Pipe;
  if (!Pipe.Ready()) return false;
  // Everything the intermediate process uses is made here: after fork it only spawns, writes
  // and exits.
  std::string File = Path;
  char* const Arguments[] = {File.data(), nullptr};

  const pid_t Intermediate = ::fork();
  if (Intermediate < 0) return false;
  if (Intermediate == 0) {
    pid_t Program = 0;
    const int Result = ::posix_spawn(&Program, File.c_str(), Settings.Actions(),
                                     Settings.Attributes(), Arguments, environ);
    const ssize_t Written = ::write(Pipe.WriteEnd(), &Result, sizeof Result);
    ::_exit(Written == static_cast<ssize_t>(sizeof Result) ? 0 : 1);
  }
  Pipe.CloseWrite();
  int Report = -1;
  const bool Reported = ReadReport(Pipe.ReadEnd(), Report);
  Reap(Intermediate);
  return Reported && Report == 0;
}

}  // namespace ruvevid
