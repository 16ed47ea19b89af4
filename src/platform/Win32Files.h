#pragma once
// What the Win32 implementations of the file services share: errors as errno-like codes, handles,
// file times, and the replacing move that waits for a file another program is letting go of.
// Included only by *Win32.cpp files, after <windows.h>.

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/FileHandle.h"

namespace ruvevid::win32 {

// The errno-like code of a Win32 error; EIO for one without a closer match.
int ErrnoOfWin32Error(unsigned long Win32Error);
// Sets errno from GetLastError() and returns it.
int ErrnoFromLastError();
// The Win32 error that best stands for an errno-like code (for its text).
unsigned long Win32ErrorOfErrno(int ErrorCode);

inline HANDLE HandleOf(TNativeHandle Native) {
  return reinterpret_cast<HANDLE>(Native);
}
inline TNativeHandle NativeOf(HANDLE Handle) {
  return reinterpret_cast<TNativeHandle>(Handle);
}

// FILETIME (100 ns since 1601) and calendar time.
std::time_t FileTimeToTime(const FILETIME& Time);
FILETIME TimeToFileTime(std::time_t Time);

// How long a replacing move waits for a file that is still open elsewhere, and how often it tries.
inline constexpr DWORD kReleaseWaitMs = 5000;
inline constexpr DWORD kReleaseStepMs = 100;

// Moves From to To, replacing a file at To. A file held open elsewhere without delete sharing, or
// one whose delete is still pending (a program that has just ended), is waited for up to
// kReleaseWaitMs. A file that can be renamed but not replaced (a running program's image) is
// renamed aside to "<To>.old" first and removed when that is possible. 0, or the errno-like code
// (EBUSY when the file was still held when the wait ended).
int MoveReplacing(const std::string& From, const std::string& To);

}  // namespace ruvevid::win32
