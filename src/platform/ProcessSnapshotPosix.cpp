// The process table of a Linux system, read from /proc.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/ProcessImageName.h"
#include "platform/ProcessSnapshot.h"

namespace ruvevid {

namespace {

std::string ProcPath(std::uint32_t ProcessId, const char* Leaf) {
  return "/proc/" + std::to_string(ProcessId) + "/" + Leaf;
}

class TFdCloser {
 public:
  explicit TFdCloser(int Fd) : FFd(Fd) {}
  ~TFdCloser() {
    if (FFd >= 0) ::close(FFd);
  }
  TFdCloser(const TFdCloser&) = delete;
  TFdCloser& operator=(const TFdCloser&) = delete;

 private:
  int FFd;
};

std::optional<std::string> ReadProcFile(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return std::nullopt;
  const TFdCloser Closer(Fd);
  std::string Contents;
  char Buffer[4096];
  for (;;) {
    const ssize_t Count = ::read(Fd, Buffer, sizeof Buffer);
    if (Count < 0 && errno == EINTR) continue;
    if (Count < 0) return std::nullopt;
    if (Count == 0) return Contents;
    Contents.append(Buffer, static_cast<std::size_t>(Count));
  }
}

// A process that has ended is no longer running and cannot be ended.
bool HasEnded(std::uint32_t ProcessId) {
  const std::optional<std::string> Stat = ReadProcFile(ProcPath(ProcessId, "stat"));
  return !Stat || HasEndedByStat(*Stat);
}

// The bare file name of the process image: from the executable link, else from argv[0], else the
// command name the kernel keeps. Empty when the process is gone.
std::string ImageName(std::uint32_t ProcessId) {
  const std::string Link = ReadSymbolicLink(ProcPath(ProcessId, "exe"));
  if (!Link.empty()) return ImageNameFromExeLink(Link);
  if (const std::optional<std::string> CommandLine = ReadProcFile(ProcPath(ProcessId, "cmdline"))) {
    std::string Name = ImageNameFromCommandLine(*CommandLine);
    if (!Name.empty()) return Name;
  }
  if (const std::optional<std::string> Command = ReadProcFile(ProcPath(ProcessId, "comm"))) {
    return ImageNameFromCommand(*Command);
  }
  return {};
}

std::optional<std::uint32_t> ParseProcessId(const char* Name) {
  const std::string_view Text(Name);
  std::uint32_t Id = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Id);
  if (error != std::errc() || end != Text.data() + Text.size() || Text.empty()) return std::nullopt;
  return Id;
}

// Process descriptors, called directly: the C library's declarations are not usable from C++ in
// every version.
int OpenProcessDescriptor(pid_t ProcessId) {
  return static_cast<int>(::syscall(SYS_pidfd_open, ProcessId, 0U));
}

int SendSignal(int ProcessDescriptor, int Signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, ProcessDescriptor, Signal, nullptr, 0U));
}

class TProcSnapshot final : public IProcessSnapshot {
 public:
  explicit TProcSnapshot(std::vector<TProcessEntry> Entries) : FEntries(std::move(Entries)) {}

  bool First(TProcessEntry& Entry) override {
    FNext = 0;
    return Next(Entry);
  }

  bool Next(TProcessEntry& Entry) override {
    if (FNext >= FEntries.size()) return false;
    Entry = FEntries[FNext++];
    return true;
  }

 private:
  std::vector<TProcessEntry> FEntries;
  std::size_t FNext = 0;
};

class TDirCloser {
 public:
  explicit TDirCloser(DIR* Dir) : FDir(Dir) {}
  ~TDirCloser() {
    if (FDir != nullptr) ::closedir(FDir);
  }
  TDirCloser(const TDirCloser&) = delete;
  TDirCloser& operator=(const TDirCloser&) = delete;

 private:
  DIR* FDir;
};

class TProcProcessTable final : public IProcessTable {
 public:
  std::unique_ptr<IProcessSnapshot> CreateSnapshot() override {
    DIR* Proc = ::opendir("/proc");
    if (Proc == nullptr) return nullptr;
    const TDirCloser Closer(Proc);
    std::vector<TProcessEntry> Entries;
    while (const dirent* Item = ::readdir(Proc)) {
      const std::optional<std::uint32_t> Id = ParseProcessId(Item->d_name);
      if (!Id || HasEnded(*Id)) continue;
      std::string Name = ImageName(*Id);
      if (Name.empty()) continue;  // gone meanwhile
      Entries.push_back(TProcessEntry{*Id, std::move(Name)});
    }
    return std::make_unique<TProcSnapshot>(std::move(Entries));
  }

  int Terminate(const TProcessEntry& Entry) override {
    if (Entry.th32ProcessID == 0) return 0;
    const auto Id = static_cast<pid_t>(Entry.th32ProcessID);
    // The descriptor holds on to this very process: if it ends and its id is given to another
    // process meanwhile, the signal below fails instead of reaching the newcomer.
    const int Process = OpenProcessDescriptor(Id);
    if (Process < 0 && errno != ENOSYS) return 0;
    const TFdCloser Closer(Process);
    // The id may have been reused between the snapshot and the opening.
    if (ImageName(Entry.th32ProcessID) != Entry.szExeFile) return 0;
    const int Result = Process >= 0 ? SendSignal(Process, SIGKILL) : ::kill(Id, SIGKILL);
    return Result == 0 ? 1 : 0;
  }

  std::uint32_t CurrentProcessId() const override { return static_cast<std::uint32_t>(::getpid()); }
};

}  // namespace

std::unique_ptr<IProcessTable> CreateSystemProcessTable() {
  return std::make_unique<TProcProcessTable>();
}

}  // namespace ruvevid
