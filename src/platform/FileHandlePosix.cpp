#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileHandle.h"

namespace ruvevid {

TFileHandle& TFileHandle::operator=(TFileHandle&& Other) noexcept {
  if (this != &Other) {
    Close();
    FNative = Other.Release();
  }
  return *this;
}

TNativeHandle TFileHandle::Release() {
  const TNativeHandle Native = FNative;
  FNative = kNoHandle;
  return Native;
}

int TFileHandle::Close() {
  if (FNative == kNoHandle) return 0;
  const int Result = ::close(Release());
  // After an interrupted close the descriptor is gone on this system; nothing is to be retried.
  return Result == 0 || errno == EINTR ? 0 : errno;
}

TFileHandle OpenFile(const std::string& Path, TOpenFor Mode, int& Error) {
  int Flags = O_CLOEXEC;
  switch (Mode) {
    case TOpenFor::ofRead:
      // Regular files ignore O_NONBLOCK; a FIFO would otherwise block the open until a writer came.
      Flags |= O_RDONLY | O_NONBLOCK;
      break;
    case TOpenFor::ofWrite:
      Flags |= O_WRONLY;
      break;
    case TOpenFor::ofReadWrite:
      Flags |= O_RDWR;
      break;
    case TOpenFor::ofCreate:
      Flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case TOpenFor::ofCreateToWrite:
      Flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case TOpenFor::ofAppend:
      Flags |= O_WRONLY | O_CREAT | O_APPEND;
      break;
  }
  int Native = -1;
  do {
    Native = ::open(Path.c_str(), Flags, 0666);
  } while (Native < 0 && errno == EINTR);
  if (Native < 0) {
    Error = errno;
    return {};
  }
  TFileHandle Handle(Native);
  struct stat Info {};
  if (::fstat(Native, &Info) != 0) {
    Error = errno;
    return {};
  }
  if (S_ISDIR(Info.st_mode)) {
    Error = EISDIR;
    return {};
  }
  if (Mode == TOpenFor::ofRead && !S_ISREG(Info.st_mode)) {
    Error = EINVAL;
    return {};
  }
  Error = 0;
  return Handle;
}

std::size_t ReadFull(TNativeHandle Handle, void* Buffer, std::size_t Count) {
  auto* Into = static_cast<std::uint8_t*>(Buffer);
  std::size_t Done = 0;
  while (Done < Count) {
    const ssize_t Read = ::read(Handle, Into + Done, Count - Done);
    if (Read < 0 && errno == EINTR) continue;
    if (Read <= 0) break;
    Done += static_cast<std::size_t>(Read);
  }
  return Done;
}

int WriteAll(TNativeHandle Handle, const void* Data, std::size_t Count, std::size_t* Written) {
  const auto* From = static_cast<const std::uint8_t*>(Data);
  std::size_t Done = 0;
  int Failure = 0;
  while (Done < Count) {
    const ssize_t Wrote = ::write(Handle, From + Done, Count - Done);
    if (Wrote < 0 && errno == EINTR) continue;
    if (Wrote < 0) {
      Failure = errno;
      break;
    }
    if (Wrote == 0) {
      // A device that takes nothing and reports nothing: treated as full.
      Failure = ENOSPC;
      break;
    }
    Done += static_cast<std::size_t>(Wrote);
  }
  if (Written != nullptr) *Written = Done;
  return Failure;
}

std::int64_t SeekFile(TNativeHandle Handle, std::int64_t Offset, TSeekFrom From) {
  int Whence = SEEK_SET;
  if (From == TSeekFrom::sfCurrent) Whence = SEEK_CUR;
  if (From == TSeekFrom::sfEnd) Whence = SEEK_END;
  return ::lseek(Handle, static_cast<off_t>(Offset), Whence);
}

std::optional<std::int64_t> RegularFileSize(TNativeHandle Handle) {
  struct stat Info {};
  if (::fstat(Handle, &Info) != 0 || !S_ISREG(Info.st_mode)) return std::nullopt;
  return Info.st_size;
}

int ResizeFile(TNativeHandle Handle, std::int64_t Size) {
  return ::ftruncate(Handle, static_cast<off_t>(Size)) == 0 ? 0 : errno;
}

std::optional<std::time_t> FileBirthTime(TNativeHandle Handle) {
  struct statx Info {};
  if (::statx(Handle, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &Info) != 0)
    return std::nullopt;
  return (Info.stx_mask & STATX_BTIME) != 0 ? static_cast<std::time_t>(Info.stx_btime.tv_sec)
                                            : static_cast<std::time_t>(Info.stx_mtime.tv_sec);
}

std::string SystemErrorText(int ErrorCode) {
  char Text[256] = {};
  // The GNU variant returns a pointer that may or may not be Text.
  return ::strerror_r(ErrorCode, Text, sizeof Text);
}

}  // namespace ruvevid
