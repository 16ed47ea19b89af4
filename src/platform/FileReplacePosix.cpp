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
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
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
  std::size_t done = 0;
  while (done < Contents.size()) {
    const ssize_t written = ::write(Fd, Contents.data() + done, Contents.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

std::string FolderOf(const std::string& Path) {
  const std::size_t slash = Path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : Path.substr(0, slash);
}

// Creates a new file beside Path with a name no other file has; -1 when it cannot.
int CreateTempBeside(const std::string& Path, std::string& TempPath) {
  std::random_device seed;
  std::mt19937_64 random(static_cast<std::uint64_t>(seed()) << 32 | seed());
  constexpr int kAttempts = 16;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    TempPath = Path + ".tmp" + std::to_string(random() % 1000000000U);
    const int fd =
        ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

TFileReadResult ReadWholeFile(const std::string& Path, std::string& Contents) {
  Contents.clear();
  TFd fd(::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return TFileReadResult::frMissing;
    return errno == ELOOP ? TFileReadResult::frNotAFile : TFileReadResult::frFailed;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) return TFileReadResult::frFailed;
  if (!S_ISREG(info.st_mode)) return TFileReadResult::frNotAFile;
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      return TFileReadResult::frFailed;
    }
    if (count == 0) return TFileReadResult::frRead;
    Contents.append(buffer, static_cast<std::size_t>(count));
  }
}

bool ReplaceFile(const std::string& Path, const std::string& Contents) {
  struct stat old {};
  const bool exists = ::lstat(Path.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !S_ISREG(old.st_mode)) return false;

  std::string tempPath;
  TFd fd(CreateTempBeside(Path, tempPath));
  if (fd.Get() < 0) return false;
  TTempFile temp(tempPath);
  if (!WriteAll(fd.Get(), Contents)) return false;
  if (exists) {
    if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) return false;
    // Only a privileged writer can give the file back to its owner; others own what they write.
    if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0 && errno != EPERM) return false;
  }
  if (::fsync(fd.Get()) != 0) return false;
  if (!fd.Close()) return false;
  // Between the check above and here a link may have been put in place: rename replaces the
  // link itself and never writes through it.
  if (::rename(temp.Path().c_str(), Path.c_str()) != 0) return false;
  temp.Keep();

  // Make the rename itself durable; the file is in place already, so this cannot fail the write.
  TFd folder(::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) ::fsync(folder.Get());
  return true;
}

}  // namespace ruvevid
