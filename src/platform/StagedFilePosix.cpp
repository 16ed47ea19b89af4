#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
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

}  // namespace

TFileHandle CreateStagingFile(const std::string& Target, std::string& StagingPath,
                              const std::string& Replaced) {
  StagingPath.clear();
  struct stat Old {};
  const std::string& Model = Replaced.empty() ? Target : Replaced;
  const bool Exists = ::lstat(Model.c_str(), &Old) == 0;
  if (!Exists && errno != ENOENT) return {};
  if (Exists && S_ISDIR(Old.st_mode)) {
    errno = EISDIR;
    return {};
  }
  const bool KeepMode = Exists && S_ISREG(Old.st_mode);
  if (KeepMode && (Old.st_mode & kWriteBits) == 0) {
    errno = EACCES;
    return {};
  }
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
    if (KeepMode) ::fchmod(Handle, Old.st_mode & 0777);
    StagingPath = Name;
    return TFileHandle(Handle);
  }
  errno = EEXIST;
  return {};
}

bool CommitStagingFile(const std::string& StagingPath, const std::string& Target) {
  return ::rename(StagingPath.c_str(), Target.c_str()) == 0;
}

TFileHandle AdoptStagingFile(TNativeHandle Staged, const std::string& Decoded,
                             std::string& StagingPath) {
  struct stat Model {};
  if (::fstat(Staged, &Model) != 0) return {};
  int Handle = -1;
  do {
    Handle = ::open(Decoded.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  } while (Handle < 0 && errno == EINTR);
  if (Handle < 0) return {};
  TFileHandle File(Handle);
  if (::fchmod(Handle, Model.st_mode & 07777) != 0) return {};
  if (::rename(Decoded.c_str(), StagingPath.c_str()) != 0) return {};
  return File;
}

bool DiscardStagingFile(const std::string& StagingPath) {
  return !StagingPath.empty() && ::unlink(StagingPath.c_str()) == 0;
}

}  // namespace ruvevid
