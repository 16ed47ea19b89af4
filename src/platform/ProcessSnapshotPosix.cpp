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
  const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const TFdCloser closer(fd);
  std::string contents;
  char buffer[4096];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) return contents;
    contents.append(buffer, static_cast<std::size_t>(count));
  }
}

// A process that has ended is no longer running and cannot be ended.
bool HasEnded(std::uint32_t ProcessId) {
  const std::optional<std::string> stat = ReadProcFile(ProcPath(ProcessId, "stat"));
  return !stat || HasEndedByStat(*stat);
}

// The bare file name of the process image: from the executable link, else from argv[0], else the
// command name the kernel keeps. Empty when the process is gone.
std::string ImageName(std::uint32_t ProcessId) {
  const std::string link = ReadSymbolicLink(ProcPath(ProcessId, "exe"));
  if (!link.empty()) return ImageNameFromExeLink(link);
  if (const std::optional<std::string> commandLine = ReadProcFile(ProcPath(ProcessId, "cmdline"))) {
    std::string name = ImageNameFromCommandLine(*commandLine);
    if (!name.empty()) return name;
  }
  if (const std::optional<std::string> command = ReadProcFile(ProcPath(ProcessId, "comm"))) {
    return ImageNameFromCommand(*command);
  }
  return {};
}

std::optional<std::uint32_t> ParseProcessId(const char* Name) {
  const std::string_view text(Name);
  std::uint32_t id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return id;
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
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return nullptr;
    const TDirCloser closer(proc);
    std::vector<TProcessEntry> entries;
    while (const dirent* item = ::readdir(proc)) {
      const std::optional<std::uint32_t> id = ParseProcessId(item->d_name);
      if (!id || HasEnded(*id)) continue;
      std::string name = ImageName(*id);
      if (name.empty()) continue;  // gone meanwhile
      entries.push_back(TProcessEntry{*id, std::move(name)});
    }
    return std::make_unique<TProcSnapshot>(std::move(entries));
  }

  int Terminate(const TProcessEntry& Entry) override {
    if (Entry.th32ProcessID == 0) return 0;
    const auto id = static_cast<pid_t>(Entry.th32ProcessID);
    // The descriptor holds on to this very process: if it ends and its id is given to another
    // process meanwhile, the signal below fails instead of reaching the newcomer.
    const int process = OpenProcessDescriptor(id);
    if (process < 0 && errno != ENOSYS) return 0;
    const TFdCloser closer(process);
    // The id may have been reused between the snapshot and the opening.
    if (ImageName(Entry.th32ProcessID) != Entry.szExeFile) return 0;
    const int result = process >= 0 ? SendSignal(process, SIGKILL) : ::kill(id, SIGKILL);
    return result == 0 ? 1 : 0;
  }

  std::uint32_t CurrentProcessId() const override { return static_cast<std::uint32_t>(::getpid()); }
};

}  // namespace

std::unique_ptr<IProcessTable> CreateSystemProcessTable() {
  return std::make_unique<TProcProcessTable>();
}

}  // namespace ruvevid
