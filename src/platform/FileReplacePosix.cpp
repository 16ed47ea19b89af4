#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/FileReplace.h"

namespace ruvevid {

namespace {

class TFd {
 public:
  explicit TFd(int Fd) : FFd(Fd) {}
  ~TFd() { Close(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  bool Close() {
    if (FFd < 0) return true;
    const int Fd = FFd;
    FFd = -1;
    return ::close(Fd) == 0;
  }

 private:
  int FFd;
};

// Removes the temporary file unless it has been renamed into place.
class TTempFile {
 public:
  explicit TTempFile(std::string Path) : FPath(std::move(Path)) {}
  ~TTempFile() {
    if (!FPath.empty()) ::unlink(FPath.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Path() const { return FPath; }
  void Keep() { FPath.clear(); }

 private:
  std::string FPath;
};

bool WriteAll(int Fd, const std::string& Contents) {
  std::size_t Done = 0;
  while (Done < Contents.size()) {
    const ssize_t Written = ::write(Fd, Contents.data() + Done, Contents.size() - Done);
    if (Written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Done += static_cast<std::size_t>(Written);
  }
  return true;
}

std::string FolderOf(const std::string& Path) {
  const std::size_t Slash = Path.rfind('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

// Creates a new file beside Path with a name no other file has; -1 when it cannot.
int CreateTempBeside(const std::string& Path, std::string& TempPath) {
  std::random_device Seed;
  std::mt19937_64 Random(static_cast<std::uint64_t>(Seed()) << 32 | Seed());
  constexpr int kAttempts = 16;
  for (int Attempt = 0; Attempt < kAttempts; ++Attempt) {
    TempPath = Path + ".tmp" + std::to_string(Random() % 1000000000U);
    const int Fd =
        ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (Fd >= 0 || errno != EEXIST) return Fd;
  }
  return -1;
}

}  // namespace

TFileReadResult ReadWholeFile(const std::string& Path, std::string& Contents) {
  Contents.clear();
  TFd Fd(::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (Fd.Get() < 0) {
    if (errno == ENOENT) return TFileReadResult::frMissing;
    return errno == ELOOP ? TFileReadResult::frNotAFile : TFileReadResult::frFailed;
  }
  struct stat Info {};
  if (::fstat(Fd.Get(), &Info) != 0) return TFileReadResult::frFailed;
  if (!S_ISREG(Info.st_mode)) return TFileReadResult::frNotAFile;
  char Buffer[16384];
  for (;;) {
    const ssize_t Count = ::read(Fd.Get(), Buffer, sizeof Buffer);
    if (Count < 0) {
      if (errno == EINTR) continue;
      return TFileReadResult::frFailed;
    }
    if (Count == 0) return TFileReadResult::frRead;
    Contents.append(Buffer, static_cast<std::size_t>(Count));
  }
}

bool ReplaceFile(const std::string& Path, const std::string& Contents) {
  struct stat Old {};
  const bool Exists = ::lstat(Path.c_str(), &Old) == 0;
  if (!Exists && errno != ENOENT) return false;
  if (Exists && !S_ISREG(Old.st_mode)) return false;

  std::string TempPath;
  TFd Fd(CreateTempBeside(Path, TempPath));
  if (Fd.Get() < 0) return false;
  TTempFile Temp(TempPath);
  if (!WriteAll(Fd.Get(), Contents)) return false;
  if (Exists) {
    if (::fchmod(Fd.Get(), Old.st_mode & 07777) != 0) return false;
    // Only a privileged writer can give the file back to its owner; others own what they write.
    if (::fchown(Fd.Get(), Old.st_uid, Old.st_gid) != 0 && errno != EPERM) return false;
  }
  if (::fsync(Fd.Get()) != 0) return false;
  if (!Fd.Close()) return false;
  // Between the check above and here a link may have been put in place: rename replaces the
  // link itself and never writes through it.
  if (::rename(Temp.Path().c_str(), Path.c_str()) != 0) return false;
  Temp.Keep();

  // Make the rename itself durable; the file is in place already, so this cannot fail the write.
  TFd Folder(::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (Folder.Get() >= 0) ::fsync(Folder.Get());
  return true;
}

}  // namespace ruvevid
