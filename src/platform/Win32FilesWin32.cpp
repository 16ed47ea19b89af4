#include <windows.h>

#include <cerrno>

#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid::win32 {

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;
constexpr std::int64_t kFileTimePerSecond = 10000000LL;

bool DeletePending(const std::wstring& Path) {
  const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
  if (Attributes != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD Error = ::GetLastError();
  return Error == ERROR_DELETE_PENDING || Error == ERROR_ACCESS_DENIED;
}

// A file that stands at Path, can be renamed but refused to be replaced: a running image.
bool RenameAsideAndMove(const std::wstring& From, const std::wstring& To) {
  const DWORD Attributes = ::GetFileAttributesW(To.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES ||
      (Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
    return false;
  const std::wstring Aside = To + L".old";
  if (!::MoveFileExW(To.c_str(), Aside.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  if (!::MoveFileExW(From.c_str(), To.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD Error = ::GetLastError();
    ::MoveFileExW(Aside.c_str(), To.c_str(), MOVEFILE_REPLACE_EXISTING);
    ::SetLastError(Error);
    return false;
  }
  // A running image cannot go yet; the next replacement or start takes it away.
  ::DeleteFileW(Aside.c_str());
  return true;
}

}  // namespace

std::time_t FileTimeToTime(const FILETIME& Time) {
  const std::int64_t Ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime);
  return static_cast<std::time_t>((Ticks - kUnixEpochInFileTime) / kFileTimePerSecond);
}

FILETIME TimeToFileTime(std::time_t Time) {
  const auto Ticks = static_cast<std::uint64_t>(
      static_cast<std::int64_t>(Time) * kFileTimePerSecond + kUnixEpochInFileTime);
  FILETIME Result;
  Result.dwLowDateTime = static_cast<DWORD>(Ticks & 0xFFFFFFFFu);
  Result.dwHighDateTime = static_cast<DWORD>(Ticks >> 32);
  return Result;
}

int MoveReplacing(const std::string& From, const std::string& To) {
  const std::wstring WideFrom = LongPath(From);
  const std::wstring WideTo = LongPath(To);
  const ULONGLONG Deadline = ::GetTickCount64() + kReleaseWaitMs;
  for (;;) {
    if (::MoveFileExW(WideFrom.c_str(), WideTo.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return 0;
    DWORD Error = ::GetLastError();
    if (Error == ERROR_ACCESS_DENIED && !DeletePending(WideTo)) {
      if (RenameAsideAndMove(WideFrom, WideTo)) return 0;
      // Renaming aside meets the same holder: wait for it like for any other.
      if (::GetLastError() == ERROR_SHARING_VIOLATION) Error = ERROR_SHARING_VIOLATION;
    }
    const bool Held = Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION ||
                      (Error == ERROR_ACCESS_DENIED && DeletePending(WideTo));
    if (!Held) {
      errno = ErrnoOfWin32Error(Error);
      return errno;
    }
    if (::GetTickCount64() >= Deadline) {
      errno = EBUSY;
      return EBUSY;
    }
    ::Sleep(kReleaseStepMs);
  }
}

int ErrnoOfWin32Error(unsigned long Win32Error) {
  switch (Win32Error) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_DELETE_PENDING:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
    case ERROR_USER_MAPPED_FILE:
      return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
      return EINVAL;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_READY:
      return ENXIO;
    case ERROR_BROKEN_PIPE:
      return EPIPE;
    default:
      return EIO;
  }
}

int ErrnoFromLastError() {
  const int Code = ErrnoOfWin32Error(::GetLastError());
  errno = Code;
  return Code;
}

unsigned long Win32ErrorOfErrno(int ErrorCode) {
  switch (ErrorCode) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOTDIR:
      return ERROR_DIRECTORY;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EMFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENXIO:
      return ERROR_NOT_READY;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    default:
      return ERROR_SUCCESS;
  }
}

}  // namespace ruvevid::win32
