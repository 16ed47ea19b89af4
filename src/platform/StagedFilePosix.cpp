#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>

#include "platform/StagedFile.h"

namespace ruvevid {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int kNameAttempts = 16;
constexpr std::size_t kMaxNameLength = NAME_MAX;

// A hidden name in Target's folder: ".<file name>.<random>~", or ".rv<random>~" when that would
// be longer than a file name may be.
std::string StagingName(const std::string& Target, std::uint64_t Random) {
  const std::size_t Slash = Target.rfind('/');
  const std::string Folder =
      Slash == std::string::npos ? std::string() : Target.substr(0, Slash + 1);
  const std::string File = Slash == std::string::npos ? Target : Target.substr(Slash + 1);
  const std::string Tag = std::to_string(Random % 1000000000000ULL);
  std::string Name = "." + File + "." + Tag + "~";
  if (Name.size() > kMaxNameLength) Name = ".rv" + Tag + "~";
  return Folder + Name;
}

// What the file Model that an output replaces says about it: refused (false, errno EISDIR for a
// directory, EACCES for a regular file without any write permission bit), or the permission bits
// its replacement keeps (nothing when Model is not a regular file or does not exist).
bool CheckReplaced(const std::string& Model, struct stat& Old, std::optional<mode_t>& KeepMode) {
  KeepMode.reset();
  if (::lstat(Model.c_str(), &Old) != 0) {
    Old.st_mode = 0;
    return errno == ENOENT;
  }
  if (S_ISDIR(Old.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (S_ISREG(Old.st_mode)) {
    if ((Old.st_mode & kWriteBits) == 0) {
      errno = EACCES;
      return false;
    }
    KeepMode = Old.st_mode & 0777;
  }
  return true;
}

}  // namespace

TFileHandle CreateStagingFile(const std::string& Target, std::string& StagingPath,
                              const std::string& Replaced) {
  StagingPath.clear();
  struct stat Old {};
  std::optional<mode_t> KeepMode;
  if (!CheckReplaced(Replaced.empty() ? Target : Replaced, Old, KeepMode)) return {};
  // Names only need to differ from the files already there (O_EXCL checks that): a sequence
  // seeded from the clock and the target's name is enough and costs no system call.
  const auto Clock =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937_64 Random(Clock ^ std::hash<std::string>{}(Target));
  for (int Attempt = 0; Attempt < kNameAttempts; ++Attempt) {
    const std::string Name = StagingName(Target, Random());
    int Handle = -1;
    do {
      Handle = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (Handle < 0 && errno == EINTR);
    if (Handle < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    if (KeepMode) ::fchmod(Handle, *KeepMode);
    StagingPath = Name;
    return TFileHandle(Handle);
  }
  errno = EEXIST;
  return {};
}

bool CommitStagingFile(const std::string& StagingPath, const std::string& Target) {
  return ::rename(StagingPath.c_str(), Target.c_str()) == 0;
}

bool TakeStagingFile(TNativeHandle File, const std::string& Decoded, const std::string& Target,
                     std::string& StagingPath, const std::string& Replaced) {
  StagingPath.clear();
  struct stat Old {};
  std::optional<mode_t> KeepMode;
  if (!CheckReplaced(Replaced.empty() ? Target : Replaced, Old, KeepMode)) return false;
  struct stat Taken {};
  if (::fstat(File, &Taken) != 0) return false;
  // A rename cannot move the file to another file system. A file standing at Target tells where
  // Target lies; without one, its folder does.
  dev_t Device = Old.st_dev;
  if (Old.st_mode == 0 || (!Replaced.empty() && Replaced != Target)) {
    struct stat Folder {};
    const std::size_t Slash = Target.rfind('/');
    const std::string Parent = Slash == std::string::npos ? "." : Target.substr(0, Slash + 1);
    if (::stat(Parent.c_str(), &Folder) != 0) return false;
    Device = Folder.st_dev;
  }
  if (Device != Taken.st_dev) {
    errno = EXDEV;
    return false;
  }
  if (KeepMode && ::fchmod(File, *KeepMode) != 0) return false;
  StagingPath = Decoded;
  return true;
}

bool DiscardStagingFile(const std::string& StagingPath) {
  return !StagingPath.empty() && ::unlink(StagingPath.c_str()) == 0;
}

}  // namespace ruvevid
