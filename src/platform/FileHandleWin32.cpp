#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/FileHandle.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

using win32::ErrnoOfWin32Error;
using win32::HandleOf;

namespace {

// The largest piece one ReadFile or WriteFile call is given.
constexpr std::size_t kMaxPiece = 1U << 30;

bool IsFolder(const std::wstring& Path) {
  const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

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
  return ::CloseHandle(HandleOf(Release())) ? 0 : ErrnoOfWin32Error(::GetLastError());
}

TFileHandle OpenFile(const std::string& Path, TOpenFor Mode, int& Error) {
  DWORD Access = 0;
  DWORD Disposition = OPEN_EXISTING;
  bool Truncate = false;
  switch (Mode) {
    case TOpenFor::ofRead:
      Access = GENERIC_READ;
      break;
    case TOpenFor::ofWrite:
      Access = GENERIC_WRITE;
      break;
    case TOpenFor::ofReadWrite:
      Access = GENERIC_READ | GENERIC_WRITE;
      break;
    case TOpenFor::ofCreate:
      Access = GENERIC_READ | GENERIC_WRITE;
      Disposition = OPEN_ALWAYS;
      Truncate = true;
      break;
    case TOpenFor::ofCreateToWrite:
      Access = GENERIC_WRITE;
      Disposition = OPEN_ALWAYS;
      Truncate = true;
      break;
    case TOpenFor::ofAppend:
      // Without FILE_WRITE_DATA every write goes to the end of the file.
      Access = FILE_APPEND_DATA | SYNCHRONIZE;
      Disposition = OPEN_ALWAYS;
      break;
  }
  const std::wstring Wide = LongPath(Path);
  if (Wide.empty()) {
    Error = ENOENT;
    return {};
  }
  // Others may read, write, rename and delete the file while it is open, as on POSIX systems.
  // OPEN_ALWAYS and an explicit cut rather than CREATE_ALWAYS: the latter refuses an existing
  // hidden or system file.
  const HANDLE Native =
      ::CreateFileW(Wide.c_str(), Access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Native == INVALID_HANDLE_VALUE) {
    const DWORD Win32Error = ::GetLastError();
    Error = Win32Error == ERROR_ACCESS_DENIED && IsFolder(Wide) ? EISDIR
                                                                : ErrnoOfWin32Error(Win32Error);
    return {};
  }
  TFileHandle Handle(win32::NativeOf(Native));
  if (::GetFileType(Native) != FILE_TYPE_DISK) {
    Error = EINVAL;
    return {};
  }
  BY_HANDLE_FILE_INFORMATION Info{};
  if (!::GetFileInformationByHandle(Native, &Info)) {
    Error = ErrnoOfWin32Error(::GetLastError());
    return {};
  }
  if ((Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Error = EISDIR;
    return {};
  }
  if (Truncate && !::SetEndOfFile(Native)) {
    Error = ErrnoOfWin32Error(::GetLastError());
    return {};
  }
  Error = 0;
  return Handle;
}

std::size_t ReadFull(TNativeHandle Handle, void* Buffer, std::size_t Count) {
  auto* Into = static_cast<std::uint8_t*>(Buffer);
  std::size_t Done = 0;
  while (Done < Count) {
    const auto Piece = static_cast<DWORD>(std::min(Count - Done, kMaxPiece));
    DWORD Read = 0;
    if (!::ReadFile(HandleOf(Handle), Into + Done, Piece, &Read, nullptr) || Read == 0) break;
    Done += Read;
  }
  return Done;
}

int WriteAll(TNativeHandle Handle, const void* Data, std::size_t Count, std::size_t* Written) {
  const auto* From = static_cast<const std::uint8_t*>(Data);
  std::size_t Done = 0;
  int Failure = 0;
  while (Done < Count) {
    const auto Piece = static_cast<DWORD>(std::min(Count - Done, kMaxPiece));
    DWORD Wrote = 0;
    if (!::WriteFile(HandleOf(Handle), From + Done, Piece, &Wrote, nullptr)) {
      Failure = ErrnoOfWin32Error(::GetLastError());
      Done += Wrote;
      break;
    }
    if (Wrote == 0) {
      // A device that takes nothing and reports nothing: treated as full.
      Failure = ENOSPC;
      break;
    }
    Done += Wrote;
  }
  if (Written != nullptr) *Written = Done;
  return Failure;
}

std::int64_t SeekFile(TNativeHandle Handle, std::int64_t Offset, TSeekFrom From) {
  DWORD Method = FILE_BEGIN;
  if (From == TSeekFrom::sfCurrent) Method = FILE_CURRENT;
  if (From == TSeekFrom::sfEnd) Method = FILE_END;
  LARGE_INTEGER Distance{};
  Distance.QuadPart = Offset;
  LARGE_INTEGER Position{};
  if (!::SetFilePointerEx(HandleOf(Handle), Distance, &Position, Method)) return -1;
  return Position.QuadPart;
}

std::optional<std::int64_t> RegularFileSize(TNativeHandle Handle) {
  const HANDLE Native = HandleOf(Handle);
  if (::GetFileType(Native) != FILE_TYPE_DISK) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION Info{};
  if (!::GetFileInformationByHandle(Native, &Info) ||
      (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return std::nullopt;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(Info.nFileSizeHigh) << 32) |
                                   Info.nFileSizeLow);
}

int ResizeFile(TNativeHandle Handle, std::int64_t Size) {
  // SetEndOfFile cuts at the file position; the position is put back as ftruncate leaves it.
  const HANDLE Native = HandleOf(Handle);
  LARGE_INTEGER Zero{};
  LARGE_INTEGER Position{};
  if (!::SetFilePointerEx(Native, Zero, &Position, FILE_CURRENT))
    return ErrnoOfWin32Error(::GetLastError());
  LARGE_INTEGER End{};
  End.QuadPart = Size;
  int Failure = 0;
  if (!::SetFilePointerEx(Native, End, nullptr, FILE_BEGIN) || !::SetEndOfFile(Native))
    Failure = ErrnoOfWin32Error(::GetLastError());
  ::SetFilePointerEx(Native, Position, nullptr, FILE_BEGIN);
  return Failure;
}

std::optional<std::time_t> FileBirthTime(TNativeHandle Handle) {
  FILETIME Created{};
  FILETIME Written{};
  if (!::GetFileTime(HandleOf(Handle), &Created, nullptr, &Written)) return std::nullopt;
  const bool HasBirth = Created.dwHighDateTime != 0 || Created.dwLowDateTime != 0;
  return win32::FileTimeToTime(HasBirth ? Created : Written);
}

std::string SystemErrorText(int ErrorCode) {
  // The codes are errno-like; the text is the system's own, in the user's language.
  const DWORD Win32Error = win32::Win32ErrorOfErrno(ErrorCode);
  if (Win32Error != ERROR_SUCCESS) {
    wchar_t* Text = nullptr;
    const DWORD Length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, Win32Error, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
    if (Length > 0 && Text != nullptr) {
      std::wstring Message(Text, Length);
      ::LocalFree(Text);
      while (!Message.empty() && (Message.back() == L'\n' || Message.back() == L'\r' ||
                                  Message.back() == L' ' || Message.back() == L'.'))
        Message.pop_back();
      if (!Message.empty()) return WideToUtf8(Message);
    }
  }
  return std::strerror(ErrorCode);
}

}  // namespace ruvevid
