#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/base/Stream32.h"

namespace ruvevid {

std::int64_t THandleStream32::GetSize() {
  struct stat Info {};
  if (FHandle >= 0 && ::fstat(FHandle, &Info) == 0 && S_ISREG(Info.st_mode)) return Info.st_size;
  return TStream32::GetSize();
}

void THandleStream32::SetSize(std::int64_t NewSize) {
  Seek(NewSize, TSeekOrigin::soBeginning);
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0) {
    const int Error = errno;
    throw EOSError(std::strerror(Error), Error);
  }
}

std::int32_t THandleStream32::Read(void* Buffer, std::int32_t Count) {
  if (FHandle < 0 || Count <= 0) return 0;
  auto* P = static_cast<std::uint8_t*>(Buffer);
  std::int32_t Done = 0;
  while (Done < Count) {
    const ssize_t N = ::read(FHandle, P + Done, static_cast<std::size_t>(Count - Done));
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) break;
    Done += static_cast<std::int32_t>(N);
  }
  return Done;
}

std::int32_t THandleStream32::Write(const void* Buffer, std::int32_t Count) {
  FLastWriteError = 0;
  if (FHandle < 0) {
    FLastWriteError = EBADF;
    return 0;
  }
  if (Count <= 0) return 0;
  const auto* P = static_cast<const std::uint8_t*>(Buffer);
  std::int32_t Done = 0;
  while (Done < Count) {
    const ssize_t N = ::write(FHandle, P + Done, static_cast<std::size_t>(Count - Done));
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) {
      FLastWriteError = errno;
      break;
    }
    if (N == 0) {
      // A device that takes nothing and reports nothing: treat as full.
      FLastWriteError = ENOSPC;
      break;
    }
    Done += static_cast<std::int32_t>(N);
  }
  return Done;
}

std::int64_t THandleStream32::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  if (FHandle < 0) return -1;
  int Whence = SEEK_SET;
  if (Origin == TSeekOrigin::soCurrent) Whence = SEEK_CUR;
  if (Origin == TSeekOrigin::soEnd) Whence = SEEK_END;
  return ::lseek(FHandle, static_cast<off_t>(Offset), Whence);
}

TFileStream32::TFileStream32(const std::string& FileName, std::uint16_t Mode)
    : THandleStream32(-1), FFileName(FileName) {
  int Flags = O_CLOEXEC;
  if (Mode == fmCreate) {
    Flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (Mode & 0x0003u) {
      case fmOpenWrite:
        Flags |= O_WRONLY;
        break;
      case fmOpenReadWrite:
        Flags |= O_RDWR;
        break;
      default:
        Flags |= O_RDONLY;
        break;
    }
  }
  // A file opened for reading must be a regular file: a FIFO would block the open (and every read)
  // for as long as nobody writes to it, and a device or a directory is no archive. The open itself
  // does not wait; regular files ignore the flag.
  const bool Reading = Mode != fmCreate && (Mode & 0x0003u) == fmOpenRead;
  if (Reading) Flags |= O_NONBLOCK;
  int Handle = -1;
  do {
    Handle = ::open(FileName.c_str(), Flags, 0666);
  } while (Handle < 0 && errno == EINTR);
  if (Handle < 0) {
    FOpenError = errno;
    return;
  }
  struct stat Info {};
  const bool Examined = ::fstat(Handle, &Info) == 0;
  if (!Examined || S_ISDIR(Info.st_mode) || (Reading && !S_ISREG(Info.st_mode))) {
    FOpenError = Examined && !S_ISDIR(Info.st_mode) ? EINVAL : EISDIR;
    ::close(Handle);
    return;
  }
  FHandle = Handle;
}

TFileStream32::~TFileStream32() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
}

}  // namespace ruvevid
